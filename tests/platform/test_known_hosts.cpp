#include "platform/KnownHosts.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(HostKeyStatus)

namespace {

// Three public keys (two ed25519, one ECDSA) and known_hosts lines hashed by ssh-keygen -H
// for "fs1.example.org" (key A) and "[fs1.example.org]:2222" (key B).
const QByteArray KeyA = "AAAAC3NzaC1lZDI1NTE5AAAAIARzNBFs2GyEoCTfquuB/GlXMrI6mLo3+bS3+VnLJjHZ";
const QByteArray KeyB = "AAAAC3NzaC1lZDI1NTE5AAAAIGm9DlUZyDJ9ca2hXzYKM7PSlUQuraDoP0gBeq1ipAqN";
const QByteArray KeyC = "AAAAE2VjZHNhLXNoYTItbmlzdHAyNTYAAAAIbmlzdHAyNTYAAABBBCoAl2G0vOOil2Kvup4T6"
                        "VWxRI6pedBnY+WYolfIPgJevOUo1vDdyasJgUukOYdwhvSmJvT25w2ubKuxigHYyGw=";
const QByteArray HashedFs1 = "|1|hhk4Z41s5bdjBb4MmsaC8Qh3Njk=|4VtoS/9mqU9oNUYQaOGl+O2TPqY=";
const QByteArray HashedFs1Port2222 = "|1|s2jxTmYhuLuN4h7Zf2efAc9May8=|x1Up6HNhagQ02cDJ3GkRSX//nuI=";

QByteArray blob(const QByteArray& base64)
{
    return QByteArray::fromBase64(base64);
}

QByteArray ed25519Line(const QByteArray& hosts, const QByteArray& key)
{
    return hosts + " ssh-ed25519 " + key + " comment\n";
}

} // namespace

class TestKnownHosts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void names_data();
    void names();
    void hostFields_data();
    void hostFields();
    void hostKeys_data();
    void hostKeys();
    void keyTypesForTheHost();
    void keyBlobTypes();
};

void TestKnownHosts::names_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("name");

    QTest::newRow("port 22: the host alone") << u"fs1"_s << 22 << u"fs1"_s;
    QTest::newRow("another port: bracketed") << u"fs1"_s << 2222 << u"[fs1]:2222"_s;
    QTest::newRow("lower case") << u"FS1.Example.ORG"_s << 22 << u"fs1.example.org"_s;
    QTest::newRow("IPv6 at port 22") << u"::1"_s << 22 << u"::1"_s;
    QTest::newRow("IPv6 at another port") << u"::1"_s << 2222 << u"[::1]:2222"_s;
}

void TestKnownHosts::names()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, name);
    QCOMPARE(knownHostsName(host, port), name);
}

void TestKnownHosts::hostFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");

    QTest::newRow("plain name") << u"fs1.example.org"_s << u"fs1.example.org"_s << true;
    QTest::newRow("another name") << u"fs2.example.org"_s << u"fs1.example.org"_s << false;
    QTest::newRow("one of a list") << u"fs0,fs1.example.org,10.0.0.7"_s << u"10.0.0.7"_s << true;
    QTest::newRow("pattern of any case") << u"FS1.Example.org"_s << u"fs1.example.org"_s << true;
    QTest::newRow("star") << u"*.example.org"_s << u"fs1.example.org"_s << true;
    QTest::newRow("star matches nothing too") << u"fs1*"_s << u"fs1"_s << true;
    QTest::newRow("question mark is one character") << u"fs?"_s << u"fs1"_s << true;
    QTest::newRow("question mark is not two") << u"fs?"_s << u"fs12"_s << false;
    QTest::newRow("star backtracks") << u"*a*b"_s << u"xaxab"_s << true;
    QTest::newRow("negation rules the line out")
        << u"*.example.org,!fs1.example.org"_s << u"fs1.example.org"_s << false;
    QTest::newRow("negation alone names nobody")
        << u"!fs2.example.org"_s << u"fs1.example.org"_s << false;
    QTest::newRow("bracketed port") << u"[fs1]:2222"_s << u"[fs1]:2222"_s << true;
    QTest::newRow("brackets are not a character class") << u"[fs1]:2222"_s << u"f:2222"_s << false;
    QTest::newRow("hashed name") << QString::fromLatin1(HashedFs1) << u"fs1.example.org"_s << true;
    QTest::newRow("hashed name is exact")
        << QString::fromLatin1(HashedFs1) << u"fs2.example.org"_s << false;
    QTest::newRow("hashed bracketed port")
        << QString::fromLatin1(HashedFs1Port2222) << u"[fs1.example.org]:2222"_s << true;
    QTest::newRow("hash of another version") << u"|2|abc=|def="_s << u"fs1"_s << false;
    QTest::newRow("broken hash") << u"|1|!!!|def="_s << u"fs1"_s << false;
}

void TestKnownHosts::hostFields()
{
    QFETCH(QString, field);
    QFETCH(QString, name);
    QFETCH(bool, matches);
    QCOMPARE(hostFieldMatches(field, name), matches);
}

void TestKnownHosts::hostKeys_data()
{
    QTest::addColumn<QByteArray>("knownHosts");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<HostKeyStatus>("status");

    const QString fs1 = u"fs1.example.org"_s;
    QTest::newRow("plain line") << ed25519Line("fs1.example.org", KeyA) << fs1 << 22 << KeyA
                                << HostKeyStatus::Known;
    QTest::newRow("hashed line, as Debian writes them")
        << ed25519Line(HashedFs1, KeyA) << fs1 << 22 << KeyA << HostKeyStatus::Known;
    QTest::newRow("host name of another case")
        << ed25519Line(HashedFs1, KeyA) << u"FS1.example.ORG"_s << 22 << KeyA
        << HostKeyStatus::Known;
    QTest::newRow("no file") << QByteArray() << fs1 << 22 << KeyA << HostKeyStatus::Unknown;
    QTest::newRow("another host's line")
        << ed25519Line("fs2.example.org", KeyA) << fs1 << 22 << KeyA << HostKeyStatus::Unknown;
    QTest::newRow("another key of the same type")
        << ed25519Line("fs1.example.org", KeyB) << fs1 << 22 << KeyA << HostKeyStatus::Changed;
    QTest::newRow("hashed line with another key")
        << ed25519Line(HashedFs1, KeyB) << fs1 << 22 << KeyA << HostKeyStatus::Changed;
    QTest::newRow("only a key of another type")
        << ("fs1.example.org ecdsa-sha2-nistp256 " + KeyC + "\n") << fs1 << 22 << KeyA
        << HostKeyStatus::Unknown;
    QTest::newRow("one of the host's keys matches")
        << ed25519Line("fs1.example.org", KeyB) + ed25519Line("fs1.example.org", KeyA) << fs1 << 22
        << KeyA << HostKeyStatus::Known;
    QTest::newRow("other port: a plain line does not count")
        << ed25519Line("fs1.example.org", KeyA) << fs1 << 2222 << KeyA << HostKeyStatus::Unknown;
    QTest::newRow("other port: the bracketed line") << ed25519Line("[fs1.example.org]:2222", KeyB)
                                                    << fs1 << 2222 << KeyB << HostKeyStatus::Known;
    QTest::newRow("other port: hashed bracketed line")
        << ed25519Line(HashedFs1Port2222, KeyB) << fs1 << 2222 << KeyB << HostKeyStatus::Known;
    QTest::newRow("other port: bracketed line with another key")
        << ed25519Line("[fs1.example.org]:2222", KeyA) << fs1 << 2222 << KeyB
        << HostKeyStatus::Changed;
    QTest::newRow("other port: the port-22 key is not a change")
        << ed25519Line("fs1.example.org", KeyA) << fs1 << 2222 << KeyB << HostKeyStatus::Unknown;
    QTest::newRow("port 22: a bracketed :22 line does not count")
        << ed25519Line("[fs1.example.org]:22", KeyA) << fs1 << 22 << KeyA << HostKeyStatus::Unknown;
    QTest::newRow("wildcard line")
        << ed25519Line("*.example.org", KeyA) << fs1 << 22 << KeyA << HostKeyStatus::Known;
    QTest::newRow("negated by the line") << ed25519Line("*.example.org,!fs1.example.org", KeyA)
                                         << fs1 << 22 << KeyA << HostKeyStatus::Unknown;
    QTest::newRow("revoked key") << "@revoked * ssh-ed25519 " + KeyA + "\n"
                                 << fs1 << 22 << KeyA << HostKeyStatus::Revoked;
    QTest::newRow("revoked wins over a matching line")
        << ed25519Line("fs1.example.org", KeyA) + "@revoked * ssh-ed25519 " + KeyA + "\n"
        << fs1 << 22 << KeyA << HostKeyStatus::Revoked;
    QTest::newRow("a revoked other key is no change")
        << "@revoked fs1.example.org ssh-ed25519 " + KeyB + "\n"
        << fs1 << 22 << KeyA << HostKeyStatus::Unknown;
    QTest::newRow("certificate authorities are passed over")
        << "@cert-authority *.example.org ssh-ed25519 " + KeyA + "\n"
        << fs1 << 22 << KeyA << HostKeyStatus::Unknown;
    QTest::newRow("comments, blank and broken lines around the match")
        << "# fs1.example.org ssh-ed25519 " + KeyB + "\n\n   \nfs1.example.org ssh-ed25519\n" +
               "fs1.example.org ssh-ed25519 ***\n\tfs1.example.org\tssh-ed25519\t" + KeyA + "\r\n"
        << fs1 << 22 << KeyA << HostKeyStatus::Known;
    QTest::newRow("IPv6 at port 22")
        << ed25519Line("::1", KeyA) << u"::1"_s << 22 << KeyA << HostKeyStatus::Known;
    QTest::newRow("IPv6 at another port")
        << ed25519Line("[::1]:2222", KeyA) << u"::1"_s << 2222 << KeyA << HostKeyStatus::Known;
}

void TestKnownHosts::hostKeys()
{
    QFETCH(QByteArray, knownHosts);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QByteArray, key);
    QFETCH(HostKeyStatus, status);
    QCOMPARE(checkHostKey(knownHosts, host, port, blob(key)), status);
}

void TestKnownHosts::keyTypesForTheHost()
{
    const QByteArray file = "fs1 ecdsa-sha2-nistp256 " + KeyC + "\n" + ed25519Line("fs2", KeyB) +
                            ed25519Line("fs1", KeyA) + ed25519Line("fs1", KeyB) +
                            "@revoked fs1 ssh-rsa " + KeyA + "\n";
    QCOMPARE(knownHostKeyTypes(file, u"fs1"_s, 22),
             (QStringList{u"ecdsa-sha2-nistp256"_s, u"ssh-ed25519"_s}));
    QCOMPARE(knownHostKeyTypes(file, u"fs1"_s, 2222), QStringList());
}

void TestKnownHosts::keyBlobTypes()
{
    QCOMPARE(keyBlobType(blob(KeyA)), u"ssh-ed25519"_s);
    QCOMPARE(keyBlobType(blob(KeyC)), u"ecdsa-sha2-nistp256"_s);
    QCOMPARE(keyBlobType(QByteArray("\0\0\0\x40ssh", 7)), QString());
    QCOMPARE(keyBlobType(QByteArray()), QString());
}

QTEST_GUILESS_MAIN(TestKnownHosts)
#include "test_known_hosts.moc"
