#include "platform/DispatchingDiskSpaceProbe.h"
#include "platform/ProbeFailure.h"
#include "platform/ProbeSweep.h"
#include "platform/SftpDiskSpaceProbe.h"
#include "support/ServerFixtures.h"
#include "support/SshServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <memory>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace {

constexpr qint64 MiB = 1'048'576;
const QString User = u"vardossh"_s;

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

} // namespace

class TestSftpProbe : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void exactFigures_data();
    void exactFigures();
    void failures_data();
    void failures();
    void keyFromTheAgent();
    void sweepOfHosts();

private:
    QString address(const QString& path, const QString& host = u"127.0.0.1"_s) const
    {
        return u"sftp://%1@%2:%3%4"_s.arg(User, host).arg(m_ssh.port()).arg(path);
    }
    QString hostEntry(const QString& hosts) const { return hosts + u' ' + m_ssh.hostKey(); }
    QString bracketed(const QString& host = u"127.0.0.1"_s) const
    {
        return u"[%1]:%2"_s.arg(host).arg(m_ssh.port());
    }
    // $HOME/.ssh as a row wants it: these known_hosts lines and these key files only.
    bool arrangeHome(const QStringList& knownHosts, const QStringList& keyFiles, bool hash);

    QTemporaryDir m_dir;
    QTemporaryDir m_home;
    QTemporaryDir m_keys;
    std::unique_ptr<TestUser> m_user;
    std::unique_ptr<TmpfsMount> m_volume;
    SilentListeners m_deadHost{1};
    SshServer m_ssh;
    QString m_otherHostKey;
    bool m_ipv6 = false;
};

bool TestSftpProbe::arrangeHome(const QStringList& knownHosts, const QStringList& keyFiles,
                                bool hash)
{
    QDir ssh(m_home.filePath(u".ssh"_s));
    if (!ssh.removeRecursively() || !ssh.mkpath(u"."_s))
        return false;
    const QString knownHostsPath = ssh.filePath(u"known_hosts"_s);
    if (!knownHosts.isEmpty() &&
        !writeFile(knownHostsPath, (knownHosts.join(u'\n') + u'\n').toLatin1()))
        return false;
    if (hash && !runTool(u"ssh-keygen"_s, {u"-H"_s, u"-f"_s, knownHostsPath}).isEmpty())
        return false;
    for (const QString& name : keyFiles)
        if (!QFile::copy(QDir(m_keys.path()).filePath(name), ssh.filePath(name)))
            return false;
    return true;
}

void TestSftpProbe::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("a private sshd, its user and a tmpfs volume of known size need root");
    QVERIFY(m_dir.isValid() && m_home.isValid() && m_keys.isValid());
    QVERIFY(m_deadHost.error().isEmpty());
    // The SFTP user measures inside; it must get there.
    QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ExeOwner | QFile::ReadOther |
                                                    QFile::ExeOther));
    const QDir dir(m_dir.path());
    QVERIFY(dir.mkdir(u"volume"_s));
    m_volume = std::make_unique<TmpfsMount>(dir.filePath(u"volume"_s), 48 * MiB);
    QVERIFY2(m_volume->mounted(), qPrintable(m_volume->error()));
    QVERIFY(dir.mkpath(u"volume/sub folder/#2"_s));
    QVERIFY(writeFile(dir.filePath(u"volume/afile"_s), QByteArray(3 * MiB + 5, 'v')));

    QString error;
    const QDir keys(m_keys.path());
    for (const auto& [name, type] :
         {std::pair{u"id_ed25519"_s, u"ed25519"_s}, std::pair{u"id_ecdsa"_s, u"ecdsa"_s},
          std::pair{u"agent_key"_s, u"ed25519"_s}, std::pair{u"stranger"_s, u"ed25519"_s},
          std::pair{u"other_host"_s, u"ed25519"_s}})
        QVERIFY2(!makeSshKey(keys.filePath(name), type, &error).isEmpty(), qPrintable(error));
    m_otherHostKey = publicKeyOf(keys.filePath(u"other_host"_s));

    m_user = std::make_unique<TestUser>(User);
    QVERIFY2(m_user->error().isEmpty(), qPrintable(m_user->error()));
    START_SSH_SERVER(m_ssh, User,
                     {publicKeyOf(keys.filePath(u"id_ed25519"_s)),
                      publicKeyOf(keys.filePath(u"id_ecdsa"_s)),
                      publicKeyOf(keys.filePath(u"agent_key"_s))});
    m_ipv6 = acceptsConnections("::1", m_ssh.port());

    // The probe reads ~/.ssh of $HOME; the caller's own agent must not help.
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qunsetenv("SSH_AUTH_SOCK");
}

void TestSftpProbe::cleanupTestCase()
{
    m_ssh.stop();
}

void TestSftpProbe::exactFigures_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("knownHosts");
    QTest::addColumn<bool>("hashed");
    QTest::addColumn<QStringList>("keyFiles");

    const QString volume = m_dir.filePath(u"volume"_s);
    const QStringList ed25519{u"id_ed25519"_s};
    QTest::newRow("ed25519 key, [host]:port entry")
        << address(volume) << QStringList{hostEntry(bracketed())} << false << ed25519;
    QTest::newRow("hashed entry, as Debian writes them")
        << address(volume) << QStringList{hostEntry(bracketed())} << true << ed25519;
    QTest::newRow("ECDSA key when there is no ed25519 key")
        << address(volume) << QStringList{hostEntry(bracketed())} << false
        << QStringList{u"id_ecdsa"_s};
    QTest::newRow("one of several keys and hosts")
        << address(volume)
        << QStringList{u"127.0.0.1 "_s + m_otherHostKey, hostEntry(u"fs9,"_s + bracketed())}
        << false << QStringList{u"id_ed25519"_s, u"id_ecdsa"_s};
    QTest::newRow("escaped folder below the volume")
        << address(volume + u"/sub%20folder/%232"_s) << QStringList{hostEntry(bracketed())} << false
        << ed25519;
    QTest::newRow("IPv6 literal") << address(volume, u"[::1]"_s)
                                  << QStringList{hostEntry(bracketed(u"::1"_s))} << false
                                  << ed25519;
}

void TestSftpProbe::exactFigures()
{
    QFETCH(QString, address);
    QFETCH(QStringList, knownHosts);
    QFETCH(bool, hashed);
    QFETCH(QStringList, keyFiles);
    if (address.contains(u"[::1]") && !m_ipv6)
        QSKIP("sshd does not listen on ::1 here");
    QVERIFY(arrangeHome(knownHosts, keyFiles, hashed));

    const ProbeOutcome outcome = createDiskSpaceProbe()->measure(address);

    QVERIFY2(outcome.space, qPrintable(outcome.failure));
    const FolderFigures expected = folderFigures(m_dir.filePath(u"volume"_s));
    QCOMPARE(outcome.space->totalBytes, expected.totalBytes);
    QCOMPARE(outcome.space->freeBytesAvailable, expected.freeBytesAvailable);
    QVERIFY(outcome.space->freeBytesAvailable < outcome.space->totalBytes);
}

void TestSftpProbe::failures_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("knownHosts");
    QTest::addColumn<QStringList>("keyFiles");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<QString>("failure");

    const QString volume = m_dir.filePath(u"volume"_s);
    const QStringList known{hostEntry(bracketed())};
    const QStringList ed25519{u"id_ed25519"_s};
    QTest::newRow("no known_hosts") << address(volume) << QStringList() << ed25519 << 10'000
                                    << QString(ProbeFailure::HostKeyUnknown);
    QTest::newRow("a plain line does not vouch for another port")
        << address(volume) << QStringList{hostEntry(u"127.0.0.1"_s)} << ed25519 << 10'000
        << QString(ProbeFailure::HostKeyUnknown);
    QTest::newRow("changed host key")
        << address(volume) << QStringList{bracketed() + u' ' + m_otherHostKey} << ed25519 << 10'000
        << QString(ProbeFailure::HostKeyChanged);
    QTest::newRow("revoked host key")
        << address(volume) << QStringList{u"@revoked * "_s + m_ssh.hostKey()} + known << ed25519
        << 10'000 << QString(ProbeFailure::HostKeyRevoked);
    QTest::newRow("missing path") << address(volume + u"/no/such"_s) << known << ed25519 << 10'000
                                  << QString(ProbeFailure::NoSuchFolder);
    QTest::newRow("a file, not a folder") << address(volume + u"/afile"_s) << known << ed25519
                                          << 10'000 << QString(ProbeFailure::NotAFolder);
    QTest::newRow("no key to offer") << address(volume) << known << QStringList() << 10'000
                                     << QString(ProbeFailure::AuthenticationFailed);
    QTest::newRow("a key the server does not know")
        << address(volume) << known << QStringList() << 10'000
        << QString(ProbeFailure::AuthenticationFailed);
    QTest::newRow("a user the server does not admit")
        << u"sftp://root@127.0.0.1:%1%2"_s.arg(m_ssh.port()).arg(volume) << known << ed25519
        << 10'000 << QString(ProbeFailure::AuthenticationFailed);
    QTest::newRow("nothing listens")
        << u"sftp://%1@127.0.0.1:%2/"_s.arg(User).arg(freeLoopbackPort()) << known << ed25519
        << 10'000 << QString(ProbeFailure::ConnectionRefused);
    QTest::newRow("a host that never answers")
        << u"sftp://%1@127.0.0.1:%2/"_s.arg(User).arg(m_deadHost.ports()[0]) << known << ed25519
        << 1500 << QString(ProbeFailure::TimedOut);
}

void TestSftpProbe::failures()
{
    QFETCH(QString, address);
    QFETCH(QStringList, knownHosts);
    QFETCH(QStringList, keyFiles);
    QFETCH(int, timeoutMs);
    QFETCH(QString, failure);
    QVERIFY(arrangeHome(knownHosts, keyFiles, false));
    if (QByteArray(QTest::currentDataTag()) == "a key the server does not know")
        QVERIFY(QFile::copy(QDir(m_keys.path()).filePath(u"stranger"_s),
                            m_home.filePath(u".ssh/id_ed25519"_s)));

    const ProbeOutcome outcome =
        SftpDiskSpaceProbe().measure(address, std::chrono::milliseconds(timeoutMs));

    QVERIFY(!outcome.space);
    QCOMPARE(outcome.failure, failure);
}

void TestSftpProbe::keyFromTheAgent()
{
    QVERIFY(arrangeHome({hostEntry(bracketed())}, {}, false));
    const QString socket = m_keys.filePath(u"agent.sock"_s);
    QProcess agent;
    agent.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    agent.start(u"ssh-agent"_s, {u"-D"_s, u"-a"_s, socket});
    QVERIFY2(agent.waitForStarted(), qPrintable(agent.errorString()));
    QTRY_VERIFY(QFile::exists(socket));
    qputenv("SSH_AUTH_SOCK", QFile::encodeName(socket));
    QString added = runTool(u"ssh-add"_s, {QDir(m_keys.path()).filePath(u"agent_key"_s)});

    const ProbeOutcome outcome = SftpDiskSpaceProbe().measure(address(m_dir.filePath(u"volume"_s)));

    qunsetenv("SSH_AUTH_SOCK");
    agent.terminate();
    QVERIFY(agent.waitForFinished());
    QVERIFY2(added.isEmpty(), qPrintable(added));
    QVERIFY2(outcome.space, qPrintable(outcome.failure));
    QCOMPARE(outcome.space->totalBytes, folderFigures(m_dir.filePath(u"volume"_s)).totalBytes);
}

void TestSftpProbe::sweepOfHosts()
{
    QVERIFY(arrangeHome({hostEntry(bracketed())}, {u"id_ed25519"_s}, false));
    const QString volume = m_dir.filePath(u"volume"_s);
    QStringList addresses; // connections side by side, each on a thread of its own
    for (const QString& below : {u""_s, u"/"_s, u"/sub%20folder"_s, u"/sub%20folder/"_s,
                                 u"/sub%20folder/%232"_s, u"/./sub%20folder"_s})
        addresses << address(volume + below);
    addresses << u"sftp://%1@127.0.0.1:%2/"_s.arg(User).arg(m_deadHost.ports()[0])
              << address(volume + u"/no/such"_s);
    SweepSettings settings;
    settings.timeout = 2s;

    const QList<ProbeOutcome> outcomes =
        sweepAddresses(*createDiskSpaceProbe(), addresses, settings);

    const FolderFigures expected = folderFigures(volume);
    for (int i = 0; i < 6; ++i) {
        QVERIFY2(outcomes[i].space, qPrintable(outcomes[i].failure));
        QCOMPARE(outcomes[i].space->totalBytes, expected.totalBytes);
    }
    QCOMPARE(outcomes[6].failure, QString(ProbeFailure::TimedOut));
    QCOMPARE(outcomes[7].failure, QString(ProbeFailure::NoSuchFolder));
}

QTEST_GUILESS_MAIN(TestSftpProbe)
#include "test_sftp_probe.moc"
