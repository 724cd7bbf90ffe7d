// Two programs on one database, as a window and a cron job are: runs wait for each other
// instead of failing, and no row is lost.
#include "support/TestDatabase.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

// Runs one vardometer-cli command again and again until a deadline, counting how each ended.
class RepeatedRun {
public:
    RepeatedRun(QString command, QString database)
        : m_arguments{std::move(command), std::move(database)}
    {
        QObject::connect(&m_process, &QProcess::finished, &m_process,
                         [this](int code, QProcess::ExitStatus status) {
                             ++runs;
                             if (status != QProcess::NormalExit || code > 1) {
                                 ++failures;
                                 lastError =
                                     QString::fromLocal8Bit(m_process.readAllStandardError());
                             }
                             if (!m_deadline.hasExpired())
                                 start();
                         });
    }
    void runUntil(QDeadlineTimer deadline)
    {
        m_deadline = deadline;
        start();
    }
    bool idle() const { return m_process.state() == QProcess::NotRunning; }

    int runs = 0;
    int failures = 0;
    QString lastError;

private:
    void start() { m_process.start(QStringLiteral(VARDOMETER_CLI), m_arguments); }

    QStringList m_arguments;
    QProcess m_process;
    QDeadlineTimer m_deadline;
};

// Systems whose addresses are real directories, so every run measures every one of them.
QList<DatabaseCreator::NewSystem> reachableSystems(const QTemporaryDir& dir, int count)
{
    QList<DatabaseCreator::NewSystem> systems;
    for (int i = 0; i < count; ++i)
        systems << DatabaseCreator::NewSystem{u"S%1"_s.arg(i), dir.path(), {}};
    return systems;
}

} // namespace

class TestConcurrentRuns : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aRunWaitsForAnotherProgramsWriter()
    {
        QTemporaryDir disks;
        TestDatabase db(reachableSystems(disks, 3));
        QProcess holder;
        holder.start(QStringLiteral(HOLD_LOCK_PATH), {u"--write"_s, db.path()});
        QVERIFY(holder.waitForReadyRead(30'000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("locked"));

        QElapsedTimer waited;
        waited.start();
        QProcess check;
        check.start(QStringLiteral(VARDOMETER_CLI), {u"check"_s, db.path()});
        // Still waiting for the lock well after a refused upgrade would have failed it.
        QVERIFY(!check.waitForFinished(1500));
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10'000));
        QVERIFY(check.waitForFinished(30'000));
        QCOMPARE(check.readAllStandardError(), QByteArray());
        QCOMPARE(check.exitCode(), 0);
        QVERIFY(waited.elapsed() >= 1500);
        QCOMPARE(db.scalar(u"SELECT count(*) FROM Systems WHERE DateLastAnalysed IS NULL"_s),
                 QVariant(0));
    }

    void checksAndSnapshotsSideBySideAllSucceed()
    {
        constexpr int Systems = 20;
        QTemporaryDir disks;
        TestDatabase db(reachableSystems(disks, Systems));
        RepeatedRun checks(u"check"_s, db.path());
        RepeatedRun snapshots(u"snapshot"_s, db.path());
        const QDeadlineTimer deadline(20'000);
        checks.runUntil(deadline);
        snapshots.runUntil(deadline);
        QTRY_VERIFY_WITH_TIMEOUT(deadline.hasExpired() && checks.idle() && snapshots.idle(),
                                 60'000);

        QVERIFY2(checks.failures == 0, qPrintable(checks.lastError));
        QVERIFY2(snapshots.failures == 0, qPrintable(snapshots.lastError));
        QVERIFY(checks.runs > 10 && snapshots.runs > 10);
        // Every snapshot added one row per system; none went missing.
        QCOMPARE(db.scalar(u"SELECT count(*) FROM FreeSpaceHistory"_s).toInt(),
                 snapshots.runs * Systems);
        qInfo("%d checks and %d snapshots in 20 s", checks.runs, snapshots.runs);
    }
};

QTEST_GUILESS_MAIN(TestConcurrentRuns)
#include "test_concurrent_runs.moc"
