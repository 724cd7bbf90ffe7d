#include "platform/DispatchingDiskSpaceProbe.h"
#include "platform/ProbeFailure.h"
#include "platform/ProbeSweep.h"
#include "platform/SmbDiskSpaceProbe.h"
#include "support/SambaServer.h"
#include "support/ServerFixtures.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>
#include <thread>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(QList<ShareCredential>)

namespace {

constexpr qint64 MiB = 1'048'576;
const QString User = u"vardosmb"_s;
const QString Password = u"Pa55-w0rd;$(x)"_s;

struct ProcessEntry {
    int pid = 0;
    int parent = 0;
    QString name;
};

QList<ProcessEntry> processes()
{
    QList<ProcessEntry> all;
    for (const QString& entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        QFile stat(u"/proc/%1/stat"_s.arg(entry));
        if (!entry.front().isDigit() || !stat.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromLatin1(stat.readAll());
        const qsizetype open = text.indexOf(u'(');
        const qsizetype close = text.lastIndexOf(u')');
        const QStringList rest = text.mid(close + 2).split(u' ');
        if (open > 0 && rest.size() > 1)
            all << ProcessEntry{entry.toInt(), rest[1].toInt(),
                                text.mid(open + 1, close - open - 1)};
    }
    return all;
}

// Our SMB worker servers (children of this test) and the measurements they forked; the
// kernel keeps 15 characters of a program's name.
QList<int> smbWorkers(bool measurementsOnly)
{
    const QList<ProcessEntry> all = processes();
    QList<int> servers, measurements;
    for (const ProcessEntry& p : all)
        if (p.name == u"vardometer-smb-" && p.parent == ::getpid())
            servers << p.pid;
    for (const ProcessEntry& p : all)
        if (p.name == u"vardometer-smb-" && servers.contains(p.parent))
            measurements << p.pid;
    return measurementsOnly ? measurements : servers + measurements;
}

QByteArray procFile(int pid, const char* name)
{
    QFile file(u"/proc/%1/%2"_s.arg(pid).arg(QLatin1StringView(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSmbProbe : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void exactFigures_data();
    void exactFigures();
    void failures_data();
    void failures();
    void passwordTravelsOnlyThroughThePipe();
    void sweepOfSharesAndDeadHosts();
    void missingWorker();

private:
    QString url(const QString& rest) const
    {
        return u"smb://127.0.0.1:%1/"_s.arg(m_samba.port()) + rest;
    }
    QList<ShareCredential> rows() const
    {
        return {{u"127.0.0.1"_s, {}, User, Password}, {u"::1"_s, {}, User, Password}};
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TestUser> m_user;
    std::unique_ptr<TmpfsMount> m_guestVolume;
    std::unique_ptr<TmpfsMount> m_privateVolume;
    SilentListeners m_deadHosts{2};
    SambaServer m_samba;
    bool m_uncPort = false;
    bool m_ipv6 = false;
};

void TestSmbProbe::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("a private smbd, its account and tmpfs volumes of known size need root");
    QVERIFY(m_dir.isValid());
    QVERIFY(m_deadHosts.error().isEmpty());
    // The guest account and the test user must reach the volumes.
    QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ExeOwner | QFile::ReadOther |
                                                    QFile::ExeOther));
    const QDir dir(m_dir.path());
    QVERIFY(dir.mkdir(u"guest"_s) && dir.mkdir(u"private"_s));
    m_guestVolume = std::make_unique<TmpfsMount>(dir.filePath(u"guest"_s), 64 * MiB);
    m_privateVolume = std::make_unique<TmpfsMount>(dir.filePath(u"private"_s), 32 * MiB);
    QVERIFY2(m_guestVolume->mounted(), qPrintable(m_guestVolume->error()));
    QVERIFY2(m_privateVolume->mounted(), qPrintable(m_privateVolume->error()));
    QVERIFY(dir.mkpath(u"guest/sub/folder"_s));
    QFile data(dir.filePath(u"guest/afile"_s));
    QVERIFY(data.open(QIODevice::WriteOnly));
    QCOMPARE(data.write(QByteArray(5 * MiB + 17, 'v')), 5 * MiB + 17);
    data.close();

    m_user = std::make_unique<TestUser>(User);
    QVERIFY2(m_user->error().isEmpty(), qPrintable(m_user->error()));

    // The \\server\share form has no port: it needs 445, when nothing else holds it.
    m_uncPort = !acceptsConnections("127.0.0.1", 445);
    START_SAMBA_SERVER(m_samba,
                       {{u"guest"_s, dir.filePath(u"guest"_s), true, {}},
                        {u"private"_s, dir.filePath(u"private"_s), false, User},
                        {u"forbidden"_s, dir.filePath(u"private"_s), false, u"root"_s}},
                       {{User, Password}}, m_uncPort ? QList<int>{445} : QList<int>{});
    m_uncPort = m_uncPort && acceptsConnections("127.0.0.1", 445);
    m_ipv6 = acceptsConnections("::1", m_samba.port());
}

void TestSmbProbe::exactFigures_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QList<ShareCredential>>("credentials");
    QTest::addColumn<QString>("volume"); // the shared folder whose statvfs must match
    QTest::addColumn<QString>("needs");

    const QString guest = m_dir.filePath(u"guest"_s);
    const QString priv = m_dir.filePath(u"private"_s);
    QTest::newRow("guest share, smb:// with a port")
        << url(u"guest"_s) << QList<ShareCredential>() << guest << QString();
    QTest::newRow("folder below the share")
        << url(u"guest/sub/folder"_s) << QList<ShareCredential>() << guest << QString();
    QTest::newRow("user share, credentials found by the server")
        << url(u"private"_s) << rows() << priv << QString();
    QTest::newRow("the address names the user")
        << u"smb://%1@127.0.0.1:%2/private"_s.arg(User).arg(m_samba.port()) << rows() << priv
        << QString();
    QTest::newRow("the address names domain and user")
        << u"smb://WORKGROUP;%1@127.0.0.1:%2/private"_s.arg(User).arg(m_samba.port()) << rows()
        << priv << QString();
    QTest::newRow("guest share while the server has a row")
        << url(u"guest"_s) << rows() << guest << QString();
    QTest::newRow("IPv6 literal") << u"smb://[::1]:%1/private"_s.arg(m_samba.port()) << rows()
                                  << priv << u"ipv6"_s;
    QTest::newRow("\\\\ form, guest")
        << u"\\\\127.0.0.1\\guest\\sub"_s << QList<ShareCredential>() << guest << u"445"_s;
    QTest::newRow("\\\\ form, user") << u"\\\\127.0.0.1\\private"_s << rows() << priv << u"445"_s;
}

void TestSmbProbe::exactFigures()
{
    QFETCH(QString, address);
    QFETCH(QList<ShareCredential>, credentials);
    QFETCH(QString, volume);
    QFETCH(QString, needs);
    if (needs == u"ipv6" && !m_ipv6)
        QSKIP("smbd does not listen on ::1 here");
    if (needs == u"445" && !m_uncPort)
        QSKIP("another server holds port 445 of 127.0.0.1");

    const std::unique_ptr<DiskSpaceProbe> probe = createDiskSpaceProbe();
    probe->setShareCredentials(credentials);
    const ProbeOutcome outcome = probe->measure(address);

    QVERIFY2(outcome.space, qPrintable(outcome.failure));
    const FolderFigures expected = folderFigures(volume);
    QCOMPARE(outcome.space->totalBytes, expected.totalBytes);
    QCOMPARE(outcome.space->freeBytesAvailable, expected.freeBytesAvailable);
    QVERIFY(outcome.space->freeBytesAvailable < outcome.space->totalBytes ||
            volume.endsWith(u"private"));
}

void TestSmbProbe::failures_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QList<ShareCredential>>("credentials");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<QString>("failure");

    const QList<ShareCredential> none;
    const QList<ShareCredential> wrong{{u"127.0.0.1"_s, {}, User, u"not-it"_s}};
    QTest::newRow("wrong password")
        << url(u"private"_s) << wrong << 10'000 << QString(ProbeFailure::LogonFailure);
    QTest::newRow("wrong password at a guest share")
        << url(u"guest"_s) << wrong << 10'000 << QString(ProbeFailure::LogonFailure);
    QTest::newRow("a user without a row has no password")
        << u"smb://%1@127.0.0.1:%2/private"_s.arg(User).arg(m_samba.port()) << none << 10'000
        << QString(ProbeFailure::LogonFailure);
    QTest::newRow("guest at a user share")
        << url(u"private"_s) << none << 10'000 << QString(ProbeFailure::GuestAccessDenied);
    QTest::newRow("right user, share not for them")
        << url(u"forbidden"_s) << rows() << 10'000 << QString(ProbeFailure::AccessDenied);
    QTest::newRow("missing share")
        << url(u"no-such-share"_s) << rows() << 10'000 << QString(ProbeFailure::NoSuchShare);
    QTest::newRow("missing folder")
        << url(u"guest/no/such"_s) << none << 10'000 << QString(ProbeFailure::NoSuchFolder);
    QTest::newRow("a file, not a folder")
        << url(u"guest/afile"_s) << none << 10'000 << QString(ProbeFailure::NotAFolder);
    QTest::newRow("nothing listens") << u"smb://127.0.0.1:%1/guest"_s.arg(freeLoopbackPort())
                                     << none << 10'000 << QString(ProbeFailure::ConnectionRefused);
    QTest::newRow("a host that never answers")
        << u"smb://127.0.0.1:%1/guest"_s.arg(m_deadHosts.ports()[0]) << rows() << 1500
        << QString(ProbeFailure::TimedOut);
    QTest::newRow("a password in the address")
        << u"smb://%1:%2@127.0.0.1/private"_s.arg(User, Password) << none << 10'000
        << u"invalid address: a password does not belong in the address"_s;
}

void TestSmbProbe::failures()
{
    QFETCH(QString, address);
    QFETCH(QList<ShareCredential>, credentials);
    QFETCH(int, timeoutMs);
    QFETCH(QString, failure);

    SmbDiskSpaceProbe probe;
    probe.setShareCredentials(credentials);
    const ProbeOutcome outcome = probe.measure(address, std::chrono::milliseconds(timeoutMs));

    QVERIFY(!outcome.space);
    QCOMPARE(outcome.failure, failure);
    QVERIFY(!outcome.failure.contains(Password));
    QTRY_COMPARE(smbWorkers(true), QList<int>()); // even one that timed out
}

void TestSmbProbe::passwordTravelsOnlyThroughThePipe()
{
    auto probe = std::make_unique<SmbDiskSpaceProbe>();
    probe->setShareCredentials(rows());
    ProbeOutcome outcome;
    // A host that never answers keeps the measurement alive long enough to be looked at.
    const QString address = u"smb://127.0.0.1:%1/private"_s.arg(m_deadHosts.ports()[1]);
    std::thread measuring([&] { outcome = probe->measure(address, 5s); });

    QTRY_COMPARE(smbWorkers(true).size(), 1);
    const QList<int> workers = smbWorkers(false);
    QCOMPARE(workers.size(), 2); // the server and its one measurement
    const QByteArray secret = Password.toUtf8();
    QByteArrayList seen;
    for (const int pid : workers)
        seen << procFile(pid, "cmdline") << procFile(pid, "environ");
    measuring.join();

    QVERIFY(!seen.front().isEmpty());
    for (const QByteArray& text : std::as_const(seen))
        QVERIFY(!text.contains(secret));
    QCOMPARE(outcome.failure, QString(ProbeFailure::TimedOut));
    QTRY_COMPARE(smbWorkers(true), QList<int>()); // killed at the time-out
    probe.reset();
    QCOMPARE(smbWorkers(false), QList<int>()); // the server ends with its probe
}

void TestSmbProbe::sweepOfSharesAndDeadHosts()
{
    const std::unique_ptr<DiskSpaceProbe> probe = createDiskSpaceProbe();
    probe->setShareCredentials(rows());
    const QStringList addresses{
        url(u"guest"_s),         u"smb://127.0.0.1:%1/guest"_s.arg(m_deadHosts.ports()[0]),
        url(u"private"_s),       u"smb://127.0.0.1:%1/private"_s.arg(m_deadHosts.ports()[1]),
        url(u"no-such-share"_s), m_dir.filePath(u"guest/sub"_s),
    };
    SweepSettings settings;
    settings.timeout = 2s;

    const QList<ProbeOutcome> outcomes = sweepAddresses(*probe, addresses, settings);

    QCOMPARE(outcomes.size(), addresses.size());
    const FolderFigures guest = folderFigures(m_dir.filePath(u"guest"_s));
    const FolderFigures priv = folderFigures(m_dir.filePath(u"private"_s));
    QVERIFY2(outcomes[0].space, qPrintable(outcomes[0].failure));
    QCOMPARE(outcomes[0].space->freeBytesAvailable, guest.freeBytesAvailable);
    QCOMPARE(outcomes[1].failure, QString(ProbeFailure::TimedOut));
    QVERIFY2(outcomes[2].space, qPrintable(outcomes[2].failure));
    QCOMPARE(outcomes[2].space->totalBytes, priv.totalBytes);
    QCOMPARE(outcomes[3].failure, QString(ProbeFailure::TimedOut));
    QCOMPARE(outcomes[4].failure, QString(ProbeFailure::NoSuchShare));
    QVERIFY2(outcomes[5].space, qPrintable(outcomes[5].failure));
    QCOMPARE(outcomes[5].space->totalBytes, guest.totalBytes);
    // Abandoned measurements are killed at their own deadlines a moment later.
    QTRY_COMPARE(smbWorkers(true), QList<int>());
}

void TestSmbProbe::missingWorker()
{
    SmbDiskSpaceProbe probe(m_dir.filePath(u"no-such-worker"_s));
    QCOMPARE(probe.measure(u"\\\\fs1\\data"_s).failure, QString(ProbeFailure::SmbWorkerMissing));
}

QTEST_GUILESS_MAIN(TestSmbProbe)
#include "test_smb_probe.moc"
