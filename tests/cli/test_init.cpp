#include "cli/InitCommand.h"
#include "data/DM2.h"
#include "data/DateTimeValue.h"
#include "platform/LocalVolumes.h"
#include "support/CapturedStream.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

namespace {

CommandOutcome runInit(const QStringList& arguments)
{
    return runCapturing(runInitCommand, arguments);
}

LocalVolume volume(const char* mountPoint, const char* type, const char* device,
                   qint64 bytes = 1'000'000'000)
{
    return LocalVolume{QString::fromLatin1(mountPoint), QString::fromLatin1(type),
                       QByteArray(device), bytes};
}

} // namespace

class TestInit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void createsAReadyDatabaseOnlyItsOwnerCanRead()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"Vardometer.db"_s);
        const CommandOutcome r = runInit({file});
        QCOMPARE(r.status, 0);
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);

        // Every dataset the program opens finds every column it declares.
        TDMVardometer dm(file);
        dm.SetAllDatasetsActive(true);
        dm.AQrySystems.open();
        QVERIFY(dm.ATblSystems.isEmpty());

        DataSet& o = dm.ATblOptions;
        QCOMPARE(o.recordCount(), 1);
        QCOMPARE(o.fieldByName(u"CompanyName"_s).asString(), u"Company Name"_s);
        QCOMPARE(o.fieldByName(u"DefaultAlertMB"_s).asInteger(), 500);
        QCOMPARE(o.fieldByName(u"TimeIntervalForCheck"_s).asInteger(), 60);
        QCOMPARE(DateTimeValue::toTime(o.fieldByName(u"TimeToLoadFreeSpace"_s).asFloat()),
                 QTime(2, 0));
        for (const char* name : {"EMailAlerts", "PopupAlerts", "TimerForCheckEnabled",
                                 "TimerToLoadEnabled", "EMailAuth"})
            QVERIFY2(!o.fieldByName(QString::fromLatin1(name)).asBoolean(), name);
        // Texts the program reads as strings hold empty text, never Null.
        for (const char* name :
             {"EMailFrom", "EMailSubject", "EMailHost", "EMailUsername", "EMailPassword"})
            QCOMPARE(o.fieldByName(QString::fromLatin1(name)).asString(), QString());
    }

    void refusesToOverwrite_data()
    {
        QTest::addColumn<QByteArray>("existing");
        QTest::newRow("a database") << QByteArray();
        QTest::newRow("any other file") << QByteArray("precious notes\n");
    }
    void refusesToOverwrite()
    {
        QFETCH(QByteArray, existing);
        QTemporaryDir dir;
        const QString file = dir.filePath(u"Vardometer.db"_s);
        if (existing.isEmpty()) {
            QCOMPARE(runInit({file}).status, 0);
        } else {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(existing);
        }
        QFile before(file);
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray bytes = before.readAll();
        before.close();

        const CommandOutcome r = runInit({u"--demo"_s, file});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(u"already exists"_s), qPrintable(r.err));
        QFile after(file);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), bytes);
    }

    void defaultFileIsInTheWorkingDirectory()
    {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const CommandOutcome r = runInit({});
        QDir::setCurrent(previous);
        QCOMPARE(r.status, 0);
        QVERIFY(QFile::exists(dir.filePath(u"Vardometer.db"_s)));
    }

    void badArgumentsChangeNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList{u"--force"_s};
        QTest::newRow("two files") << QStringList{u"a.db"_s, u"b.db"_s};
    }
    void badArgumentsChangeNothing()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        QStringList args;
        for (const QString& a : arguments)
            args << (a.startsWith(u'-') ? a : dir.filePath(a));
        const CommandOutcome r = runInit(args);
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.startsWith(u"usage:"_s));
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void demoRegistersThisMachinesDisks()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"Vardometer.db"_s);
        QCOMPARE(runInit({u"--demo"_s, file}).status, 0);
        const QList<LocalVolume> expected = selectWatchableVolumes(mountedLocalVolumes());
        TDMVardometer dm(file);
        dm.SetAllDatasetsActive(true);
        QCOMPARE(dm.ATblSystems.recordCount(), expected.size());
        for (const LocalVolume& v : expected) {
            QVERIFY2(QDir(v.mountPoint).exists(), qPrintable(v.mountPoint));
            QVERIFY(!dm.ATblSystems.isEmpty());
        }
        // Each disk was measured once, so the window opens on real figures and a history.
        dm.ATblSystems.first();
        while (!dm.ATblSystems.eof()) {
            QVERIFY(dm.ATblSystems.fieldByName(u"System"_s).asString().size() <= 15);
            QCOMPARE(dm.ATblSystems.fieldByName(u"Alert1MB"_s).asFloat(), 500.0);
            QVERIFY(dm.ATblSystems.fieldByName(u"LastTotalMB"_s).asFloat() > 0);
            QVERIFY(!dm.ATblSystems.fieldByName(u"DateLastAnalysed"_s).isNull());
            dm.ATblSystems.next();
        }
        QCOMPARE(dm.AQryFreeSpaceHistoryBySystem.recordCount(), expected.size());
    }

    void watchableVolumes()
    {
        const QList<LocalVolume> mounted = {
            volume("/", "ext4", "/dev/sda1"),
            volume("/proc", "proc", "proc"),
            volume("/sys", "sysfs", "sysfs"),
            volume("/run", "tmpfs", "tmpfs"),
            volume("/run/user/1000", "tmpfs", "tmpfs"),
            volume("/dev/shm", "tmpfs", "tmpfs"),
            volume("/tmp", "tmpfs", "tmpfs"),
            volume("/srv/data", "xfs", "/dev/sdb1"),
            volume("/home/alice/data", "xfs", "/dev/sdb1"), // a bind mount of /srv/data
            volume("/media/cdrom", "iso9660", "/dev/sr0"),
            volume("/mnt/empty", "ext4", "/dev/sdc1", 0),
            volume("/snap/core/1", "squashfs", "/dev/loop0"),
        };
        QStringList kept;
        for (const LocalVolume& v : selectWatchableVolumes(mounted))
            kept << v.mountPoint;
        QCOMPARE(kept, (QStringList{u"/"_s, u"/srv/data"_s, u"/tmp"_s}));
    }

    void systemNames_data()
    {
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("name");
        QTest::newRow("root") << u"/"_s << QStringList{} << u"root"_s;
        QTest::newRow("last component") << u"/srv/data"_s << QStringList{} << u"data"_s;
        QTest::newRow("long name cut to fifteen")
            << u"/mnt/backup-volume-number-one"_s << QStringList{} << u"backup-volume-n"_s;
        QTest::newRow("taken gets a number")
            << u"/mnt/data"_s << QStringList{u"DATA"_s} << u"data2"_s;
        QTest::newRow("numbered long name still fits")
            << u"/mnt/backup-volume-number-one"_s << QStringList{u"backup-volume-n"_s}
            << u"backup-volume-2"_s;
    }
    void systemNames()
    {
        QFETCH(QString, mountPoint);
        QFETCH(QStringList, taken);
        QFETCH(QString, name);
        QCOMPARE(systemNameForMountPoint(mountPoint, taken), name);
    }
};

QTEST_GUILESS_MAIN(TestInit)
#include "test_init.moc"
