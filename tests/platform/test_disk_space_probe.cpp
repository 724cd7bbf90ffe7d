#include "platform/DiskAddress.h"
#include "platform/DispatchingDiskSpaceProbe.h"
#include "platform/LocalDiskSpaceProbe.h"
#include "platform/ProbeFailure.h"
#include "support/ServerFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 MiB = 1'048'576;
constexpr qint64 TmpfsBytes = 64 * MiB;

bool isDirectoryByPlainStat(const QString& path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Answers every address with a fixed result and notes who was asked.
class ScriptedProbe : public DiskSpaceProbe {
public:
    ScriptedProbe(QStringList* asked, QString name, std::optional<DiskSpace> answer)
        : m_asked(asked)
        , m_name(std::move(name))
        , m_answer(answer)
    {
    }
    Measurement prepare(const QString&, std::chrono::milliseconds) override
    {
        m_asked->append(m_name);
        return [answer = m_answer] {
            return answer ? ProbeOutcome::measured(*answer) : ProbeOutcome::failed(u"not found"_s);
        };
    }

private:
    QStringList* m_asked;
    QString m_name;
    std::optional<DiskSpace> m_answer;
};

} // namespace

class TestDiskSpaceProbe : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void tmpfsFigures_data();
    void tmpfsFigures();
    void failures_data();
    void failures();
    void failureReasons_data();
    void failureReasons();
    void routing_data();
    void routing();
    void zeroTotalFromAnyProbeFails();

private:
    QTemporaryDir m_dir;
};

void TestDiskSpaceProbe::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Relative addresses are resolved against the working directory.
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QDir here(m_dir.path());
    QVERIFY(here.mkdir(u"mnt"_s));
    QVERIFY(QFile::link(u"mnt"_s, u"link-to-mnt"_s));
    QFile file(u"a-file"_s);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write("not a directory"), 15);
    file.close();
    // Directories a remote address would name if it were taken as a relative path.
    QVERIFY(here.mkpath(u"smb:/server/share"_s));
    QVERIFY(here.mkpath(u"sftp:/host/srv"_s));
    QVERIFY(here.mkdir(u"\\\\server\\share"_s));
}

void TestDiskSpaceProbe::tmpfsFigures_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<qint64>("bytesWritten");

    QTest::newRow("empty volume: all of it available") << u"mnt"_s << 0LL;
    QTest::newRow("whole pages written") << u"mnt"_s << 3 * MiB;
    QTest::newRow("a partial page takes a whole page") << u"mnt"_s << 10 * MiB + 1;
    QTest::newRow("absolute path") << m_dir.filePath(u"mnt"_s) << MiB;
    QTest::newRow("subdirectory measures its volume") << u"mnt/sub/dir"_s << MiB;
    QTest::newRow("symlink to the volume") << u"link-to-mnt"_s << MiB;
    QTest::newRow("shell metacharacters are part of the name")
        << u"mnt/$(touch pwned); rm -rf 'x\" *"_s << MiB;
}

void TestDiskSpaceProbe::tmpfsFigures()
{
    QFETCH(QString, address);
    QFETCH(qint64, bytesWritten);

    if (::geteuid() != 0)
        QSKIP("mounting a tmpfs of known size needs root");
    const TmpfsMount tmpfs(m_dir.filePath(u"mnt"_s), TmpfsBytes);
    if (!tmpfs.mounted())
        QSKIP(qPrintable(u"cannot mount a tmpfs here: "_s + tmpfs.error()));

    QDir mnt(m_dir.filePath(u"mnt"_s));
    QVERIFY(mnt.mkpath(u"sub/dir"_s));
    QVERIFY(mnt.mkdir(u"$(touch pwned); rm -rf 'x\" *"_s));
    QFile data(mnt.filePath(u"data"_s));
    QVERIFY(data.open(QIODevice::WriteOnly));
    const QByteArray chunk(static_cast<int>(MiB), 'v');
    for (qint64 left = bytesWritten; left > 0; left -= chunk.size())
        QCOMPARE(data.write(chunk.constData(), std::min<qint64>(left, chunk.size())),
                 std::min<qint64>(left, chunk.size()));
    data.close();

    // tmpfs counts its space in whole pages and reserves nothing for the administrator.
    const qint64 page = ::sysconf(_SC_PAGESIZE);
    const qint64 pagesUsed = (bytesWritten + page - 1) / page;
    const qint64 expectedFree = TmpfsBytes - pagesUsed * page;

    LocalDiskSpaceProbe local;
    const std::optional<DiskSpace> space = local.measure(address).space;
    QVERIFY(space);
    QCOMPARE(space->totalBytes, TmpfsBytes);
    QCOMPARE(space->freeBytesAvailable, expectedFree);

    const std::optional<DiskSpace> viaDefault = createDiskSpaceProbe()->measure(address).space;
    QVERIFY(viaDefault);
    QCOMPARE(viaDefault->totalBytes, TmpfsBytes);
    QCOMPARE(viaDefault->freeBytesAvailable, expectedFree);
}

void TestDiskSpaceProbe::failures_data()
{
    QTest::addColumn<QString>("address");
    // The address also names an existing directory when taken as a plain path, so only its
    // form can make it fail.
    QTest::addColumn<bool>("existsAsPlainPath");

    QTest::newRow("missing directory") << m_dir.filePath(u"no-such-dir"_s) << false;
    QTest::newRow("empty address") << QString() << false;
    QTest::newRow("a file, not a directory") << u"a-file"_s << false;
    QTest::newRow("NUL cuts nothing short: the part before it exists")
        << m_dir.path() + QChar(0) + u"/elsewhere"_s << false;
    QTest::newRow("smb:// is no relative path") << u"smb://server/share"_s << true;
    QTest::newRow("UNC share is no relative path") << u"\\\\server\\share"_s << true;
    QTest::newRow("sftp:// is no relative path") << u"sftp://host/srv"_s << true;
    QTest::newRow("unknown scheme") << u"http://example.invalid/share"_s << false;
}

void TestDiskSpaceProbe::failures()
{
    QFETCH(QString, address);
    QFETCH(bool, existsAsPlainPath);

    if (existsAsPlainPath)
        QVERIFY(isDirectoryByPlainStat(address));
    QVERIFY(!LocalDiskSpaceProbe().measure(address).space);
    QVERIFY(!createDiskSpaceProbe()->measure(address).space);
}

void TestDiskSpaceProbe::failureReasons_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("failure");

    QTest::newRow("missing directory") << u"no-such-dir"_s << QString(ProbeFailure::NoSuchFolder);
    QTest::newRow("below a file") << u"a-file/below"_s << QString(ProbeFailure::NoSuchFolder);
    QTest::newRow("a file") << u"a-file"_s << QString(ProbeFailure::NotAFolder);
    QTest::newRow("empty address") << QString() << QString(ProbeFailure::InvalidAddress);
    QTest::newRow("unknown scheme")
        << u"http://example.invalid/share"_s << QString(ProbeFailure::UnsupportedAddress);
    QTest::newRow("invalid share address")
        << u"smb://server"_s << QString(ProbeFailure::InvalidAddress) + u": no share named"_s;
}

void TestDiskSpaceProbe::failureReasons()
{
    QFETCH(QString, address);
    QFETCH(QString, failure);

    const ProbeOutcome outcome = createDiskSpaceProbe()->measure(address);
    QVERIFY(!outcome.space);
    QCOMPARE(outcome.failure, failure);
    if (diskAddressKind(address) == DiskAddressKind::Local)
        QCOMPARE(LocalDiskSpaceProbe().measure(address).failure, failure);
}

void TestDiskSpaceProbe::routing_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("askedProbe"); // empty: nobody is asked and the measurement fails

    QTest::newRow("absolute path goes to the local probe") << u"/srv/data"_s << u"local"_s;
    QTest::newRow("relative path goes to the local probe") << u"data/share"_s << u"local"_s;
    QTest::newRow("a drive letter is not a scheme") << u"C://data"_s << u"local"_s;
    QTest::newRow("UNC share goes to the SMB probe") << u"\\\\server\\share"_s << u"smb"_s;
    QTest::newRow("smb:// goes to the SMB probe") << u"smb://server/share"_s << u"smb"_s;
    QTest::newRow("scheme is matched without case") << u"SMB://server/share"_s << u"smb"_s;
    QTest::newRow("sftp:// goes to the SSH probe") << u"sftp://alice@host:2222/srv"_s << u"sftp"_s;
    QTest::newRow("unknown scheme asks nobody") << u"http://host/share"_s << QString();
    QTest::newRow("empty address asks nobody") << QString() << QString();
    QTest::newRow("address with NUL asks nobody") << u"/srv"_s + QChar(0) << QString();
}

void TestDiskSpaceProbe::routing()
{
    QFETCH(QString, address);
    QFETCH(QString, askedProbe);

    QStringList asked;
    const DiskSpace answer{5, 10};
    DispatchingDiskSpaceProbe probe;
    probe.setProbe(DiskAddressKind::Local,
                   std::make_unique<ScriptedProbe>(&asked, u"local"_s, answer));
    probe.setProbe(DiskAddressKind::Smb, std::make_unique<ScriptedProbe>(&asked, u"smb"_s, answer));
    probe.setProbe(DiskAddressKind::Sftp,
                   std::make_unique<ScriptedProbe>(&asked, u"sftp"_s, answer));

    const std::optional<DiskSpace> space = probe.measure(address).space;
    if (askedProbe.isEmpty()) {
        QVERIFY(asked.isEmpty());
        QVERIFY(!space);
    } else {
        QCOMPARE(asked, QStringList{askedProbe});
        QVERIFY(space);
        QCOMPARE(space->freeBytesAvailable, 5);
        QCOMPARE(space->totalBytes, 10);
    }
}

void TestDiskSpaceProbe::zeroTotalFromAnyProbeFails()
{
    QStringList asked;
    DispatchingDiskSpaceProbe probe;
    probe.setProbe(DiskAddressKind::Smb,
                   std::make_unique<ScriptedProbe>(&asked, u"smb"_s, DiskSpace{0, 0}));

    QVERIFY(!probe.measure(u"smb://server/empty"_s).space);
    QCOMPARE(asked, QStringList{u"smb"_s});
}

QTEST_GUILESS_MAIN(TestDiskSpaceProbe)
#include "test_disk_space_probe.moc"
