// Compacting the database: in place, atomic, and never at the cost of a row, whatever
// happens while it works.
#include "data/DM2.h"
#include "data/DatabaseCompactor.h"
#include "engine/Directories.h"
#include "support/EngineDoubles.h"
#include "support/TestDatabase.h"

#include "data/DbConnection.h"
#include "data/Errors.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTest>

#include <csignal>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

// A database of a few thousand systems' worth of history, half of it deleted, so a
// compaction has real work to do and a file to shrink.
void fillAndThinOut(const TestDatabase& db, int rows)
{
    db.exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
            u"INSERT INTO FreeSpaceHistory (System, Date, Time, FreeMB, UsedMB, TotalMB, "
            u"\"Free%\", \"Used%\", AvgDailyMB, CumUsedMB) "
            u"SELECT 'SRV' || (i % 500), 40000 + i / 500, 0.5, i, i * 2, i * 3, 33.3, 66.6, 1, i "
            u"FROM n"_s,
            {rows});
    db.exec(u"DELETE FROM FreeSpaceHistory WHERE rowid % 2 = 0"_s);
}

struct Content {
    int history = 0;
    double freeSum = 0;
    bool operator==(const Content&) const = default;
};

Content contentOf(const TestDatabase& db)
{
    return {db.scalar(u"SELECT count(*) FROM FreeSpaceHistory"_s).toInt(),
            db.scalar(u"SELECT total(FreeMB) FROM FreeSpaceHistory"_s).toDouble()};
}

QString integrity(const TestDatabase& db)
{
    return db.scalar(u"PRAGMA integrity_check"_s).toString();
}

qint64 fileSize(const QString& path)
{
    return QFileInfo(path).size();
}

// The engine over a database, as the window holds it.
struct Engine {
    explicit Engine(const TestDatabase& db)
        : dm(std::make_unique<TDMVardometer>(db.path()))
    {
        dm->SetAllDatasetsActive(true);
        engine = std::make_unique<dvDirectories>(*dm, host, probe, clock, *mail);
    }
    std::unique_ptr<TDMVardometer> dm;
    RecordingHost host;
    ScriptedProbe probe;
    FixedClock clock;
    const std::unique_ptr<SmtpTransport> mail = createSmtpTransport();
    std::unique_ptr<dvDirectories> engine;
};

} // namespace

class TestCompaction : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aCompactionShrinksTheFileInPlace()
    {
        TestDatabase db({{u"Alpha"_s, u"/a"_s, {}}});
        fillAndThinOut(db, 100'000);
        const Content before = contentOf(db);
        const qint64 sizeBefore = fileSize(db.path());
        Engine e(db);
        const QList<DataSet*> open = [&] {
            QList<DataSet*> list;
            for (DataSet* ds : e.dm->allDataSets())
                if (ds->isActive())
                    list << ds;
            return list;
        }();
        e.host.calls.clear();

        e.engine->CompactDatabase();

        QCOMPARE(e.host.calls,
                 (QStringList{u"busy"_s, u"holdTimers"_s, u"releaseTimers"_s, u"idle"_s}));
        QVERIFY2(fileSize(db.path()) < sizeBefore * 2 / 3,
                 qPrintable(u"%1 -> %2"_s.arg(sizeBefore).arg(fileSize(db.path()))));
        QCOMPARE(contentOf(db), before);
        QCOMPARE(integrity(db), u"ok"_s);
        // The same file, still its owner's alone, and nothing left beside it.
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(db.path()).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, 0600u);
        const QStringList beside = QDir(db.dir()).entryList(QDir::Files);
        for (const QString& name : beside)
            QVERIFY2(name.startsWith(u"Vardometer.db"_s), qPrintable(beside.join(u", "_s)));
        // The connection and every dataset that was open are open again, with their rows.
        QVERIFY(e.dm->ADOVardometer.isConnected());
        for (DataSet* ds : open)
            QVERIFY2(ds->isActive(), qPrintable(ds->objectName()));
        QCOMPARE(e.dm->AQryFreeSpaceHistoryBySystem.recordCount(), before.history);
        QCOMPARE(e.dm->ATblSystems.recordCount(), 1);
    }

    void anotherProgramWritingMakesItFailCleanly()
    {
        TestDatabase db;
        fillAndThinOut(db, 20'000);
        const Content before = contentOf(db);
        const qint64 sizeBefore = fileSize(db.path());
        Engine e(db);
        e.engine->CompactionBusyTimeoutMs = 500;
        QProcess holder;
        holder.start(QStringLiteral(HOLD_LOCK_PATH), {u"--write"_s, db.path()});
        QVERIFY(holder.waitForReadyRead(30'000));

        e.engine->CompactDatabase();

        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10'000));
        QCOMPARE(e.host.calls.filter(u"error"_s),
                 QStringList{u"error Error: Error packing database: another program is writing "
                             u"to the database; try again when it has finished"_s});
        QCOMPARE(e.host.calls.last(), u"idle"_s);
        QVERIFY(e.host.calls.contains(u"releaseTimers"_s));
        QCOMPARE(fileSize(db.path()), sizeBefore);
        QCOMPARE(contentOf(db), before);
        QVERIFY(e.dm->ADOVardometer.isConnected());
        QVERIFY(e.dm->ATblSystems.isActive());
        QVERIFY(e.dm->AQryFreeSpaceHistoryBySystem.isActive());
    }

    void aReaderKeepsReadingWhileItWorks()
    {
        // Readers do not stand in a compaction's way: the reader keeps its view, and the
        // compaction commits; the space comes back once the reader is done.
        TestDatabase db;
        fillAndThinOut(db, 20'000);
        const Content before = contentOf(db);
        QProcess reader;
        reader.start(u"/usr/bin/sqlite3"_s, {db.path()});
        QVERIFY(reader.waitForStarted());
        reader.write("BEGIN; SELECT count(*) FROM FreeSpaceHistory;\n");
        QVERIFY(reader.waitForReadyRead(10'000));
        const QByteArray seen = reader.readAll().trimmed();

        const DatabaseCompactor::Sizes sizes = DatabaseCompactor::compact(db.path(), 500);

        reader.write("SELECT count(*) FROM FreeSpaceHistory; COMMIT;\n");
        QVERIFY(reader.waitForReadyRead(10'000));
        QCOMPARE(reader.readAll().trimmed(), seen);
        reader.closeWriteChannel();
        QVERIFY(reader.waitForFinished(10'000));
        QCOMPARE(seen, QByteArray::number(before.history));
        QCOMPARE(contentOf(db), before);
        QCOMPARE(integrity(db), u"ok"_s);
        QVERIFY(sizes.before > 0);
        // The compacted pages wait beside the file for the reader: said so, not as growth.
        QVERIFY(sizes.waitingForReader);
        QVERIFY2(sizes.settled < sizes.before,
                 qPrintable(u"%1 -> %2"_s.arg(sizes.before).arg(sizes.settled)));
        QVERIFY2(QRegularExpression(u"^x\\.db: \\d+\\.\\d MB before, \\d+\\.\\d MB now; "
                                    u"\\d+\\.\\d MB once the other program lets go$"_s)
                     .match(DatabaseCompactor::sizeLine(u"x.db"_s, sizes))
                     .hasMatch(),
                 qPrintable(DatabaseCompactor::sizeLine(u"x.db"_s, sizes)));
        const DatabaseCompactor::Sizes again = DatabaseCompactor::compact(db.path(), 500);
        QVERIFY(!again.waitingForReader);
        QVERIFY(!QFileInfo::exists(db.path() + u"-wal"_s));
        QVERIFY(fileSize(db.path()) < sizes.before);
    }

    void aFullDiskFailsCleanlyAndKeepsEverything_data()
    {
        QTest::addColumn<qint64>("roomLeft");
        QTest::newRow("too little room for the rewritten pages") << qint64(1024 * 1024);
        QTest::newRow("no room at all") << qint64(0);
    }
    void aFullDiskFailsCleanlyAndKeepsEverything()
    {
        QFETCH(qint64, roomLeft);
        if (geteuid() != 0)
            QSKIP("mounting a small file system needs root");
        QTemporaryDir mountPoint;
        const QByteArray where = QFile::encodeName(mountPoint.path());
        QVERIFY(mount("vardometer-test", where.constData(), "tmpfs", 0, "size=6m") == 0);
        const auto unmount = qScopeGuard([&] { umount2(where.constData(), MNT_DETACH); });
        {
            // Built elsewhere and copied in, so the small disk is nearly full from the start.
            TestDatabase source;
            fillAndThinOut(source, 40'000);
            QVERIFY(fileSize(source.path()) > 3 * 1024 * 1024);
            QVERIFY(QFile::copy(source.path(), mountPoint.filePath(u"Vardometer.db"_s)));
        }
        const QString path = mountPoint.filePath(u"Vardometer.db"_s);
        // Fill what is left but a little, so the rewritten pages cannot find room.
        QFile filler(mountPoint.filePath(u"filler"_s));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(64 * 1024, 'x');
        while (filler.write(block) == block.size()) {
        }
        const QByteArray byte(1, 'x');
        while (filler.write(byte) == 1 && filler.flush()) {
        }
        filler.close();
        if (roomLeft > 0)
            filler.resize(filler.size() - roomLeft);
        const qint64 sizeBefore = fileSize(path);
        const QStringList beside = QDir(mountPoint.path()).entryList(QDir::Files);

        QString message;
        try {
            DatabaseCompactor::compact(path, 500);
        } catch (const VardometerError& e) {
            message = e.message();
        }

        QVERIFY2(message.startsWith(u"the disk holding the database is full"_s),
                 qPrintable(message));
        QCOMPARE(fileSize(path), sizeBefore);
        // Nothing left beside it that was not there before: no empty log, no index.
        QCOMPARE(QDir(mountPoint.path()).entryList(QDir::Files), beside);
        // Room to read it back, which in write-ahead mode needs an index beside the file.
        QVERIFY(filler.remove());
        DbConnection check(u"Check"_s);
        check.setFileName(path);
        check.open();
        QSqlQuery q = check.exec(u"PRAGMA integrity_check"_s);
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), u"ok"_s);
        q.finish();
        QCOMPARE(check.exec(u"SELECT count(*) FROM FreeSpaceHistory"_s).next(), true);
        check.close();
    }

    void killedAtAnyMomentItLosesNothing()
    {
        TestDatabase db;
        QRandomGenerator random(20261210);
        int killedWhileWorking = 0;
        for (int round = 0; round < 8; ++round) {
            // Fresh free space each round, so every compaction has work to be killed in.
            fillAndThinOut(db, round == 0 ? 150'000 : 60'000);
            const Content before = contentOf(db);
            QProcess compact;
            compact.start(QStringLiteral(VARDOMETER_CLI), {u"compact"_s, db.path()});
            QVERIFY(compact.waitForStarted());
            QTest::qWait(static_cast<int>(random.bounded(20, 400)));
            if (compact.state() == QProcess::Running) {
                ::kill(static_cast<pid_t>(compact.processId()), SIGKILL);
                ++killedWhileWorking;
            }
            if (compact.state() != QProcess::NotRunning)
                QVERIFY(compact.waitForFinished(30'000));
            QCOMPARE(integrity(db), u"ok"_s);
            QCOMPARE(contentOf(db), before);
        }
        QVERIFY(killedWhileWorking > 0);
        // What the killed ones left in the write-ahead log goes with the next that finishes.
        QProcess compact;
        compact.start(QStringLiteral(VARDOMETER_CLI), {u"compact"_s, db.path()});
        QVERIFY(compact.waitForFinished(60'000));
        QCOMPARE(compact.exitCode(), 0);
        QVERIFY2(QString::fromLocal8Bit(compact.readAllStandardOutput()).contains(u" after\n"_s),
                 "a compaction alone says how large the file is after it");
        QVERIFY(!QFileInfo::exists(db.path() + u"-wal"_s));
        QVERIFY(!QFileInfo::exists(db.path() + u"-shm"_s));
    }

    void commandLineStatuses()
    {
        TestDatabase db;
        fillAndThinOut(db, 20'000);
        QProcess compact;
        compact.start(QStringLiteral(VARDOMETER_CLI), {u"compact"_s, db.path()});
        QVERIFY(compact.waitForFinished(60'000));
        QCOMPARE(compact.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(compact.readAllStandardOutput());
        QVERIFY2(QRegularExpression(u"^.*Vardometer\\.db: \\d+\\.\\d MB before, \\d+\\.\\d MB "
                                    u"after\\n$"_s)
                     .match(out)
                     .hasMatch(),
                 qPrintable(out));

        compact.start(QStringLiteral(VARDOMETER_CLI), {u"compact"_s, db.dir() + u"/missing.db"_s});
        QVERIFY(compact.waitForFinished(60'000));
        QCOMPARE(compact.exitCode(), 2);
        QVERIFY(QString::fromLocal8Bit(compact.readAllStandardError())
                    .startsWith(u"Error packing database: Cannot open the database"_s));
        QVERIFY(!QFile::exists(db.dir() + u"/missing.db"_s));
    }
};

QTEST_GUILESS_MAIN(TestCompaction)
#include "test_compaction.moc"
