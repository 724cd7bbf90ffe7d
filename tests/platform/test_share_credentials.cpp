#include "platform/SmbLogon.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(SmbLogon)

namespace {

SmbLogon guest()
{
    return SmbLogon{};
}

SmbLogon user(QString domain, QString name, QString password)
{
    return SmbLogon{false, std::move(domain), std::move(name), std::move(password)};
}

const QList<ShareCredential> Rows{
    {u"fs1"_s, u"CORP"_s, u"backup"_s, u"b-pass"_s},
    {u"fs1"_s, u""_s, u"alice"_s, u"a-pass"_s},
    {u"[::1]"_s, u""_s, u"local"_s, u"l-pass"_s},
    {u" Nas.Example.org "_s, u"HOME"_s, u"bob"_s, u"n-pass"_s},
    {u"printer"_s, u""_s, u""_s, u""_s},
};

} // namespace

class TestShareCredentials : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void logons_data();
    void logons();
};

void TestShareCredentials::logons_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<SmbLogon>("logon");

    QTest::newRow("no row: guest") << u"\\\\fs9\\data"_s << guest();
    QTest::newRow("no user in the address: the server's first row")
        << u"\\\\fs1\\data"_s << user(u"CORP"_s, u"backup"_s, u"b-pass"_s);
    QTest::newRow("the port plays no part")
        << u"smb://fs1:4445/data"_s << user(u"CORP"_s, u"backup"_s, u"b-pass"_s);
    QTest::newRow("server without case, row trimmed")
        << u"smb://NAS.example.ORG/data"_s << user(u"HOME"_s, u"bob"_s, u"n-pass"_s);
    QTest::newRow("IPv6 literal against a bracketed row")
        << u"smb://[::1]:4445/data"_s << user({}, u"local"_s, u"l-pass"_s);
    QTest::newRow("the address's user takes its own row")
        << u"smb://alice@fs1/data"_s << user({}, u"alice"_s, u"a-pass"_s);
    QTest::newRow("user matched without case, row's domain taken")
        << u"smb://BACKUP@fs1/data"_s << user(u"CORP"_s, u"BACKUP"_s, u"b-pass"_s);
    QTest::newRow("the address's domain agrees with the row")
        << u"smb://corp;backup@fs1/data"_s << user(u"corp"_s, u"backup"_s, u"b-pass"_s);
    QTest::newRow("another domain: not that row's password")
        << u"smb://LAB;backup@fs1/data"_s << user(u"LAB"_s, u"backup"_s, {});
    QTest::newRow("a user without a row of its own gets no password")
        << u"smb://carol@fs1/data"_s << user({}, u"carol"_s, {});
    QTest::newRow("a user at a server without rows")
        << u"smb://carol@fs9/data"_s << user({}, u"carol"_s, {});
    QTest::newRow("a row without a user name: guest") << u"\\\\printer\\spool"_s << guest();
}

void TestShareCredentials::logons()
{
    QFETCH(QString, address);
    QFETCH(SmbLogon, logon);

    const std::optional<SmbAddress> parsed = parseSmbAddress(address);
    QVERIFY(parsed);
    const SmbLogon found = smbLogonFor(*parsed, Rows);
    QCOMPARE(found.guest, logon.guest);
    QCOMPARE(found.domain, logon.domain);
    QCOMPARE(found.username, logon.username);
    QCOMPARE(found.password, logon.password);
}

QTEST_GUILESS_MAIN(TestShareCredentials)
#include "test_share_credentials.moc"
