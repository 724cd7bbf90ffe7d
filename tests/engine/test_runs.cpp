#include "cli/RunCommand.h"
#include "data/DM2.h"
#include "data/DateTimeValue.h"
#include "engine/AlertStamp.h"
#include "engine/Directories.h"
#include "platform/LocalVolumes.h"
#include "support/CapturedStream.h"
#include "support/EngineDoubles.h"
#include "support/RaisedMessage.h"
#include "support/TestDatabase.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStorageInfo>
#include <QTest>

#include <cstdio>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 GiB = 1024LL * 1024 * 1024;
const QDateTime RunMoment(QDate(2007, 3, 11), QTime(9, 30));
const double RunDay = DateTimeValue::fromDate(QDate(2007, 3, 11));
const double RunClock = DateTimeValue::fromTime(QTime(9, 30));

// The columns whose handling differs between the two runs.
const QStringList WrittenColumns = {
    u"LastTotalMB"_s,      u"LastFreeMB"_s,    u"LastUsedMB"_s,    u"CumUsedMB"_s,
    u"AvgDailyMB"_s,       u"\"LastFree%\""_s, u"\"LastUsed%\""_s, u"DateLastAnalysed"_s,
    u"TimeLastAnalysed"_s, u"ZeroDate1"_s,
};

// A database, its data module with the datasets open as at startup, and an engine over
// them with a scripted probe and a fixed clock.
struct EngineFixture {
    TestDatabase db;
    std::unique_ptr<TDMVardometer> dm;
    RecordingHost host;
    ScriptedProbe probe;
    FixedClock clock{RunMoment};
    const std::unique_ptr<SmtpTransport> mail = createSmtpTransport();
    std::unique_ptr<dvDirectories> engine;

    explicit EngineFixture(const QList<DatabaseCreator::NewSystem>& systems)
        : db(systems)
    {
    }
    dvDirectories& start()
    {
        dm = std::make_unique<TDMVardometer>(db.path());
        dm->SetAllDatasetsActive(true);
        engine = std::make_unique<dvDirectories>(*dm, host, probe, clock, *mail);
        engine->RefreshSystemTree();
        return *engine;
    }
    void setColumn(const QString& system, const QString& column, const QVariant& value)
    {
        db.exec(u"UPDATE Systems SET %1 = ? WHERE System = ?"_s.arg(column), {value, system});
    }
    QVariant column(const QString& system, const QString& column) const
    {
        return db.scalar(u"SELECT %1 FROM Systems WHERE System = ?"_s.arg(column), {system});
    }
    QVariantList row(const QString& system) const
    {
        QVariantList values;
        for (const QString& c : WrittenColumns)
            values << column(system, c);
        return values;
    }
    int historyRows(const QString& system) const
    {
        return db.scalar(u"SELECT count(*) FROM FreeSpaceHistory WHERE System = ?"_s, {system})
            .toInt();
    }
};

} // namespace

class TestRuns : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void workedExampleThroughCheckSpace()
    {
        EngineFixture f({{u"FS1"_s, u"/fs1"_s, {}}});
        f.setColumn(u"FS1"_s, u"InitialDate"_s, DateTimeValue::fromDate(QDate(2007, 3, 1)));
        f.setColumn(u"FS1"_s, u"LastFreeMB"_s, 10500);
        f.setColumn(u"FS1"_s, u"CumUsedMB"_s, 1200);
        f.setColumn(u"FS1"_s, u"ZeroDate1"_s, DateTimeValue::fromDate(QDate(2007, 4, 20)));
        f.setColumn(u"FS1"_s, u"Alert1MB"_s, 10000);
        f.probe.set(u"/fs1"_s, 10'486'000'000LL, 21'474'836'480LL);
        dvDirectories& engine = f.start();

        engine.CheckSpace();

        QCOMPARE(f.row(u"FS1"_s),
                 (QVariantList{20480.0, 10000.0, 10480.0, 1700.0, 170.0, 48.83, 51.17, RunDay,
                               RunClock, DateTimeValue::fromDate(QDate(2007, 5, 9))}));
        QCOMPARE(engine.AlertCount, 1);
        // No history was written, so the forecasts stand as they were.
        QVERIFY(!f.host.calls.contains(u"refreshForecasts"_s));
        QCOMPARE(engine.AlertLines.value(0), QString());
        QCOMPARE(engine.AlertLines.value(1), u"FS1 : Free Space (MB) down to 10000"_s);
        QVERIFY(engine.AlertLines.size() >= 10000);
        QVERIFY(!f.host.busy);
    }

    void writeSets_data()
    {
        QTest::addColumn<bool>("snapshot");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QVariantList>("expected");
        QTest::addColumn<int>("historyRows");

        // Before the run: LastTotalMB 9, LastFreeMB 5000, LastUsedMB 3, CumUsedMB 100,
        // AvgDailyMB 7, 1.5 %, 98.5 %, analysed on day 39000 at 0.25, predicted full 39500.
        // Measured: 10 GiB of which 4 GiB free, four days after monitoring began.
        const double zero = RunDay + 16; // 4096 MB / ceil(1004 / 4) MB a day = 16.3 days
        QTest::newRow("check, reachable: every figure, dates, prediction")
            << false << true << QVariantList{10240.0, 4096.0, 6144.0, 1004.0,   251.0,
                                             40.0,    60.0,   RunDay, RunClock, zero}
            << 0;
        QTest::newRow("check, unreachable: figures zeroed, dates and total kept")
            << false << false
            << QVariantList{0.0, 0.0, 0.0, 100.0, 0.0, 0.0, 0.0, 39000.0, 0.25, 39500.0} << 0;
        QTest::newRow("snapshot, reachable: latest figures and a history row, totals kept")
            << true << true
            << QVariantList{10240.0, 4096.0, 6144.0, 100.0, 7.0, 40.0, 60.0, RunDay, RunClock, zero}
            << 1;
        QTest::newRow("snapshot, unreachable: row untouched, no history")
            << true << false
            << QVariantList{9.0, 5000.0, 3.0, 100.0, 7.0, 1.5, 98.5, 39000.0, 0.25, 39500.0} << 0;
    }
    void writeSets()
    {
        QFETCH(bool, snapshot);
        QFETCH(bool, reachable);
        QFETCH(QVariantList, expected);
        QFETCH(int, historyRows);

        EngineFixture f({{u"Disk"_s, u"/disk"_s, u"Ops"_s}});
        f.db.exec(u"UPDATE Systems SET LastTotalMB = 9, LastFreeMB = 5000, LastUsedMB = 3, "
                  u"CumUsedMB = 100, AvgDailyMB = 7, \"LastFree%\" = 1.5, \"LastUsed%\" = 98.5, "
                  u"DateLastAnalysed = 39000, TimeLastAnalysed = 0.25, ZeroDate1 = 39500, "
                  u"InitialDate = ?"_s,
                  {RunDay - 4});
        if (reachable)
            f.probe.set(u"/disk"_s, 4 * GiB, 10 * GiB);
        dvDirectories& engine = f.start();

        if (snapshot)
            engine.LoadSnapshot();
        else
            engine.CheckSpace();

        QCOMPARE(f.row(u"Disk"_s), expected);
        QCOMPARE(f.historyRows(u"Disk"_s), historyRows);
        if (historyRows == 1) {
            // The snapshot's own view of consumption goes into the history row.
            QCOMPARE(f.db.scalar(u"SELECT CumUsedMB FROM FreeSpaceHistory"_s), QVariant(1004.0));
            QCOMPARE(f.db.scalar(u"SELECT AvgDailyMB FROM FreeSpaceHistory"_s), QVariant(251.0));
            QCOMPARE(f.db.scalar(u"SELECT Date FROM FreeSpaceHistory"_s), QVariant(RunDay));
        }
    }

    void alertLines_data()
    {
        QTest::addColumn<bool>("snapshot");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("check") << false
                               << QStringList{u"Full : Free Space (MB) down to 4096"_s,
                                              u"Gone : System Not Found"_s,
                                              u"Lost : System Not Found"_s};
        QTest::newRow("snapshot names the owner, two spaces without one")
            << true
            << QStringList{u"Full : Free Space (MB) down to 4096"_s, u"Gone Ops:System Not Found"_s,
                           u"Lost  :System Not Found"_s};
    }
    void alertLines()
    {
        QFETCH(bool, snapshot);
        QFETCH(QStringList, lines);
        EngineFixture f({{u"Full"_s, u"/full"_s, {}},
                         {u"Gone"_s, u"/gone"_s, u"Ops"_s},
                         {u"Fine"_s, u"/fine"_s, {}},
                         {u"Lost"_s, u"/lost"_s, {}}});
        f.setColumn(u"Full"_s, u"Alert1MB"_s, 4096);
        f.probe.set(u"/full"_s, 4 * GiB, 10 * GiB);
        f.probe.set(u"/fine"_s, 4 * GiB + 1024 * 1024, 10 * GiB);
        dvDirectories& engine = f.start();
        f.setColumn(u"Fine"_s, u"Alert1MB"_s, 4096);

        snapshot ? engine.LoadSnapshot() : void(engine.CheckSpace());

        QCOMPARE(engine.currentAlertLines(), lines);
        QCOMPARE(engine.AlertCount, lines.size());
        QCOMPARE(engine.AlertLines.value(0), QString());
    }

    void errorEndsTheRunAtItsRow_data()
    {
        QTest::addColumn<bool>("snapshot");
        QTest::newRow("check") << false;
        QTest::newRow("snapshot") << true;
    }
    void errorEndsTheRunAtItsRow()
    {
        QFETCH(bool, snapshot);
        EngineFixture f({{u"A"_s, u"/a"_s, {}}, {u"B"_s, u"/b"_s, {}}, {u"C"_s, u"/c"_s, {}}});
        f.setColumn(u"B"_s, u"Address"_s, QVariant());
        for (const QString& address : {u"/a"_s, u"/c"_s})
            f.probe.set(address, 4 * GiB, 10 * GiB);
        dvDirectories& engine = f.start();

        const QString message =
            raisedMessage([&] { snapshot ? engine.LoadSnapshot() : void(engine.CheckSpace()); });

        QCOMPARE(message, u"Could not convert variant of type (Null) into type (String)"_s);
        // The row before the failure keeps what the run wrote, seen from another connection;
        // the row after it was never reached.
        QCOMPARE(f.column(u"A"_s, u"LastTotalMB"_s), QVariant(10240.0));
        QCOMPARE(f.column(u"C"_s, u"LastTotalMB"_s), QVariant(0.0));
        QVERIFY(f.column(u"C"_s, u"DateLastAnalysed"_s).isNull());
        QCOMPARE(f.historyRows(u"A"_s), snapshot ? 1 : 0);
        // Every address was measured before the walk began, in one sweep.
        QStringList asked = f.probe.asked;
        asked.sort();
        QCOMPARE(asked, (QStringList{u"/a"_s, u"/c"_s}));
        // The working state is undone.
        QVERIFY(!f.host.busy);
        QVERIFY(!f.host.gridsHeld);
        QVERIFY(!f.host.progressVisible);
        QVERIFY(f.dm->AQryFreeSpaceHistoryBySystem.isActive());
        QVERIFY(!f.host.calls.contains(u"refreshSummaryChart"_s));
    }

    void aFailingSystemKeepsNoneOfItsOwnWrites_data()
    {
        QTest::addColumn<bool>("snapshot");
        QTest::newRow("check") << false;
        QTest::newRow("snapshot") << true;
    }
    void aFailingSystemKeepsNoneOfItsOwnWrites()
    {
        // A name too long for the history's column, put there by another program: the
        // snapshot would update the system's row and then fail on its history row.
        QFETCH(bool, snapshot);
        const QString longName = u"ABCDEFGHIJKLMNOPQRSTUVWXY"_s;
        EngineFixture f({{u"A"_s, u"/a"_s, {}}, {u"B"_s, u"/b"_s, {}}, {u"C"_s, u"/c"_s, {}}});
        f.db.exec(u"UPDATE Systems SET System = ? WHERE System = 'B'"_s, {longName});
        // The check writes no history: there B fails after its start date was stored.
        if (!snapshot)
            f.setColumn(longName, u"Address"_s, QVariant());
        f.setColumn(longName, u"CumUsedMB"_s, QVariant());
        for (const QString& address : {u"/a"_s, u"/b"_s, u"/c"_s})
            f.probe.set(address, 4 * GiB, 10 * GiB);
        const QVariantList before = f.row(longName);
        const QVariant initialBefore = f.column(longName, u"InitialDate"_s);
        dvDirectories& engine = f.start();

        const QString message =
            raisedMessage([&] { snapshot ? engine.LoadSnapshot() : void(engine.CheckSpace()); });

        QVERIFY(!message.isEmpty());
        QCOMPARE(engine.StoppedAtSystem, std::optional<QVariant>(longName));
        // The system before it keeps its writes; its own row is as it was, start date included.
        QCOMPARE(f.column(u"A"_s, u"LastTotalMB"_s), QVariant(10240.0));
        QCOMPARE(f.historyRows(u"A"_s), snapshot ? 1 : 0);
        QCOMPARE(f.row(longName), before);
        QCOMPARE(f.column(longName, u"InitialDate"_s), initialBefore);
        QCOMPARE(f.historyRows(longName.left(20)) + f.historyRows(longName), 0);
        QVERIFY(f.column(u"C"_s, u"DateLastAnalysed"_s).isNull());
        // The window's dataset shows the row as the file holds it, not the undone values.
        DataSet& systems = f.dm->ATblSystems;
        QCOMPARE(systems.state(), DataSetState::Browse);
        QCOMPARE(systems.fieldByName(u"System"_s).value(), QVariant(longName));
        QCOMPARE(systems.fieldByName(u"LastTotalMB"_s).value(), before[0]);
        // A later run starts afresh.
        f.setColumn(longName, u"System"_s, u"B"_s);
        f.setColumn(u"B"_s, u"Address"_s, u"/b"_s);
        snapshot ? engine.LoadSnapshot() : void(engine.CheckSpace());
        QCOMPARE(engine.StoppedAtSystem, std::nullopt);
    }

    void cliNamesTheSystemTheRunStoppedAt()
    {
        const QString longName = u"ABCDEFGHIJKLMNOPQRSTUVWXY"_s;
        TestDatabase db({{u"A"_s, u"/a"_s, {}}, {u"B"_s, u"/b"_s, {}}});
        db.exec(u"UPDATE Systems SET System = ? WHERE System = 'B'"_s, {longName});
        ScriptedProbe probe;
        probe.set(u"/a"_s, 4 * GiB, 10 * GiB);
        probe.set(u"/b"_s, 4 * GiB, 10 * GiB);
        FixedClock clock(RunMoment);
        CapturedStream out;
        CapturedStream err;
        QCOMPARE(
            runEngineCommand(RunKind::Snapshot, {db.path()}, out.file(), err.file(), clock, probe),
            2);
        QCOMPARE(err.text(), u"The run stopped at system '%1': ATblFreeSpaceHistory: the value of "
                             u"field 'System' is longer than 20 characters\n"_s.arg(longName));
        QCOMPARE(db.scalar(u"SELECT count(*) FROM FreeSpaceHistory"_s).toInt(), 1);
    }

    void cliShowsControlCharactersInNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("line feed cannot forge a line")
            << u"FS1\nFS2 : Fake"_s << u"FS1\\nFS2 : Fake"_s;
        QTest::newRow("carriage return and tab") << u"A\rB\tC"_s << u"A\\rB\\tC"_s;
        QTest::newRow("escape and delete") << u"A\u001b[2JB\u007f"_s << u"A\\x1B[2JB\\x7F"_s;
        QTest::newRow("Unicode line separator") << u"A\u2028B"_s << u"A\\u2028B"_s;
        QTest::newRow("plain text and backslashes as they are")
            << u"C:\\ \u00e5"_s << u"C:\\ \u00e5"_s;
    }
    void cliShowsControlCharactersInNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        TestDatabase db({{u"Disk"_s, u"/gone"_s, {}}});
        db.exec(u"UPDATE Systems SET System = ?"_s, {name});
        ScriptedProbe probe;
        FixedClock clock(RunMoment);
        CapturedStream out;
        CapturedStream err;
        QCOMPARE(runEngineCommand(RunKind::CheckSpace, {db.path()}, out.file(), err.file(), clock,
                                  probe),
                 1);
        QCOMPARE(out.text(), alertStamp(RunMoment) + u" : "_s + shown + u" : System Not Found\n"_s);
    }

    void duplicateNames()
    {
        TestDatabase db({{u"dup"_s, u"/a"_s, {}}, {u"Other"_s, u"/b"_s, {}}});
        // A new database refuses a second row of one name, whatever its capitals.
        QVERIFY(!raisedMessage([&] {
                     db.exec(u"INSERT INTO Systems (System) VALUES ('DUP')"_s);
                 }).isEmpty());
        // An older file may hold them: the run still works and says so once.
        db.exec(u"DROP INDEX SystemsBySystem"_s);
        db.exec(u"INSERT INTO Systems (System, Address, CumUsedMB) VALUES ('DUP', '/c', 0), "
                u"('other', '/d', 0), ('Other', '/e', 0)"_s);
        ScriptedProbe probe;
        for (const QString& a : {u"/a"_s, u"/b"_s, u"/c"_s, u"/d"_s, u"/e"_s})
            probe.set(a, 4 * GiB, 10 * GiB);
        FixedClock clock(RunMoment);
        CapturedStream out;
        CapturedStream err;
        QCOMPARE(
            runEngineCommand(RunKind::Snapshot, {db.path()}, out.file(), err.file(), clock, probe),
            0);
        QCOMPARE(err.text(), u"Warning: more than one system is named 'dup', 'Other'; their "
                             u"histories are mixed under one name. Give each system a name of "
                             u"its own.\n"_s);
        QCOMPARE(db.scalar(u"SELECT count(*) FROM FreeSpaceHistory"_s).toInt(), 5);
    }

    // An index of the name that tells capitals apart lets the rows in: the run still finds
    // them and says so.
    void duplicateNamesUnderAnIndexThatAllowsThem()
    {
        TestDatabase db({{u"dup"_s, u"/a"_s, {}}});
        db.exec(u"DROP INDEX SystemsBySystem"_s);
        db.exec(u"CREATE UNIQUE INDEX SystemsBySystem ON Systems (System COLLATE BINARY)"_s);
        db.exec(u"INSERT INTO Systems (System, Address, CumUsedMB) VALUES ('DUP', '/c', 0)"_s);
        ScriptedProbe probe;
        for (const QString& a : {u"/a"_s, u"/c"_s})
            probe.set(a, 4 * GiB, 10 * GiB);
        FixedClock clock(RunMoment);
        CapturedStream out;
        CapturedStream err;
        QCOMPARE(runEngineCommand(RunKind::CheckSpace, {db.path()}, out.file(), err.file(), clock,
                                  probe),
                 0);
        QCOMPARE(err.text(), u"Warning: more than one system is named 'DUP'; their histories are "
                             u"mixed under one name. Give each system a name of its own.\n"_s);
    }

    void aDeadAddressCostsOneTimeOutNotTheRun()
    {
        QList<DatabaseCreator::NewSystem> systems;
        for (int i = 0; i < 6; ++i)
            systems << DatabaseCreator::NewSystem{u"S%1"_s.arg(i), u"/s%1"_s.arg(i), {}};
        EngineFixture f(systems);
        for (int i = 0; i < 6; ++i)
            f.probe.set(u"/s%1"_s.arg(i), 4 * GiB, 10 * GiB);
        // Two dead ones, which would hold a run for a time-out each if it asked in turn.
        f.probe.hanging = {u"/s1"_s, u"/s4"_s};
        f.probe.hangFor = std::chrono::milliseconds(3'000);
        dvDirectories& engine = f.start();
        engine.ProbeTimeout = std::chrono::milliseconds(600);
        f.host.calls.clear();
        QElapsedTimer took;
        took.start();

        engine.CheckSpace();

        QVERIFY2(took.elapsed() < 1'150, qPrintable(QString::number(took.elapsed())));
        QCOMPARE(engine.currentAlertLines(),
                 (QStringList{u"S1 : System Not Found"_s, u"S4 : System Not Found"_s}));
        QCOMPARE(engine.UnreachableSystems.size(), 2);
        QCOMPARE(engine.UnreachableSystems[0].system, u"S1"_s);
        QCOMPARE(engine.UnreachableSystems[0].reason, u"timed out"_s);
        QCOMPARE(f.column(u"S5"_s, u"LastTotalMB"_s), QVariant(10240.0));
        // The window heard how the measuring went while it waited, and when it ended.
        QVERIFY(f.host.calls.indexOf(u"measuring"_s) >= 0);
        QVERIFY(f.host.calls.indexOf(u"measuringDone"_s) > f.host.calls.indexOf(u"measuring"_s));
        QCOMPARE(f.host.measuredTotal, 6);
    }

    void anAddressChangedDuringTheSweepIsNotMeasuredInsideTheRun()
    {
        EngineFixture f({{u"A"_s, u"/a"_s, {}}, {u"B"_s, u"/b"_s, {}}});
        f.probe.set(u"/a"_s, 4 * GiB, 10 * GiB);
        f.probe.set(u"/b"_s, 4 * GiB, 10 * GiB);
        f.probe.set(u"/moved"_s, 4 * GiB, 10 * GiB);
        // Another program changes B's address while the addresses are being measured.
        f.probe.onAsk = [&f](const QString& address) {
            if (address == u"/a"_s)
                f.db.exec(u"UPDATE Systems SET Address = '/moved' WHERE System = 'B'"_s);
        };
        dvDirectories& engine = f.start();
        engine.CheckSpace();
        QVERIFY(!f.probe.asked.contains(u"/moved"_s));
        QCOMPARE(engine.currentAlertLines(), QStringList{u"B : System Not Found"_s});
        QCOMPARE(engine.UnreachableSystems.value(0).reason,
                 u"the address changed while the run was measuring"_s);
        // The next run measures the new address.
        f.probe.onAsk = {};
        engine.CheckSpace();
        QVERIFY(f.probe.asked.contains(u"/moved"_s));
        QCOMPARE(engine.AlertCount, 0);
    }

    void theCheckSpaceCountIsItsOwnWhenATimerRunsInsideIt()
    {
        // A run that a timer starts inside the popup replaces the alert list; the run that
        // showed the popup still says how many lines it raised itself.
        EngineFixture f({{u"A"_s, u"/a"_s, {}}});
        f.db.exec(u"UPDATE Options SET PopupAlerts = 1"_s);
        dvDirectories& engine = f.start();
        f.host.onShowPopup = [&] {
            f.probe.set(u"/a"_s, 4 * GiB, 10 * GiB);
            QCOMPARE(engine.CheckSpace(), 0);
        };
        QCOMPARE(engine.CheckSpace(), 1);
        QCOMPARE(engine.AlertCount, 0);
    }

    void cliRunArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("timeoutMs");
        QTest::newRow("nothing") << QStringList{} << true << QString() << 10'000;
        QTest::newRow("a file") << QStringList{u"x.db"_s} << true << u"x.db"_s << 10'000;
        QTest::newRow("a time-out and a file")
            << QStringList{u"--timeout"_s, u"3"_s, u"x.db"_s} << true << u"x.db"_s << 3'000;
        QTest::newRow("a file and a time-out")
            << QStringList{u"x.db"_s, u"--timeout"_s, u"2.5"_s} << true << u"x.db"_s << 2'500;
        QTest::newRow("no seconds") << QStringList{u"--timeout"_s} << false << QString() << 0;
        QTest::newRow("zero") << QStringList{u"--timeout"_s, u"0"_s} << false << QString() << 0;
        QTest::newRow("negative") << QStringList{u"--timeout"_s, u"-1"_s} << false << QString()
                                  << 0;
        QTest::newRow("words") << QStringList{u"--timeout"_s, u"soon"_s} << false << QString() << 0;
        QTest::newRow("more than a day")
            << QStringList{u"--timeout"_s, u"86401"_s} << false << QString() << 0;
        QTest::newRow("two files") << QStringList{u"a"_s, u"b"_s} << false << QString() << 0;
        QTest::newRow("unknown option") << QStringList{u"--fast"_s} << false << QString() << 0;
    }
    void cliRunArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, valid);
        QFETCH(QString, file);
        QFETCH(int, timeoutMs);
        const std::optional<RunArguments> parsed = parseRunArguments(arguments);
        QCOMPARE(parsed.has_value(), valid);
        if (valid) {
            QCOMPARE(parsed->file, file);
            QCOMPARE(parsed->timeout.count(), qint64(timeoutMs));
        }
    }

    void aRunKeepsEveryLinePastTenThousand()
    {
        QList<DatabaseCreator::NewSystem> systems;
        for (int i = 1; i <= 10'001; ++i)
            systems << DatabaseCreator::NewSystem{u"S%1"_s.arg(i), u"/gone"_s, {}};
        EngineFixture f(systems);
        dvDirectories& engine = f.start();
        engine.CheckSpace();
        QCOMPARE(engine.AlertCount, 10'001);
        QCOMPARE(engine.alertLine(9'999), u"S9999 : System Not Found"_s);
        QCOMPARE(engine.alertLine(10'001), u"S10001 : System Not Found"_s);
        QCOMPARE(engine.currentAlertLines().size(), 10'001);
    }

    void twoSnapshotsOnOneDay()
    {
        EngineFixture f({{u"Disk"_s, u"/disk"_s, {}}});
        f.probe.set(u"/disk"_s, 4 * GiB, 10 * GiB);
        dvDirectories& engine = f.start();
        f.clock.current = QDateTime(QDate(2026, 12, 10), QTime(10, 0));
        engine.LoadSnapshot();
        f.clock.current = QDateTime(QDate(2026, 12, 10), QTime(10, 5));
        engine.LoadSnapshot();

        const QVariantList dates = f.db.column(u"SELECT Date FROM FreeSpaceHistory"_s);
        const QVariantList times = f.db.column(u"SELECT Time FROM FreeSpaceHistory"_s);
        QCOMPARE(dates.size(), 2);
        QCOMPARE(dates[0], dates[1]);
        QVERIFY(times[0] != times[1]);
        // The history query shows both again once the run is over.
        QCOMPARE(f.dm->AQryFreeSpaceHistoryBySystem.recordCount(), 2);
    }

    void theHistoryTableShowsItsOwnSystemAfterASnapshot()
    {
        EngineFixture f({{u"A"_s, u"/a"_s, {}}, {u"B"_s, u"/b"_s, {}}, {u"C"_s, u"/c"_s, {}}});
        for (const QString& a : {u"/a"_s, u"/b"_s, u"/c"_s})
            f.probe.set(a, 4 * GiB, 10 * GiB);
        dvDirectories& engine = f.start();
        DataSet& systems = f.dm->ATblSystems;
        DataSet& history = f.dm->ATblFreeSpaceHistory;
        for (int round = 0; round < 2; ++round) {
            systems.first(); // the table follows A when the snapshot begins
            QCOMPARE(history.recordCount(), round);
            engine.LoadSnapshot();
            // The snapshot leaves the Systems table on A: its history, and only its.
            QCOMPARE(systems.fieldByName(u"System"_s).asString(), u"A"_s);
            QCOMPARE(history.recordCount(), round + 1);
            for (history.first(); !history.eof(); history.next())
                QCOMPARE(history.fieldByName(u"System"_s).asString(), u"A"_s);
        }
        systems.last();
        QCOMPARE(history.recordCount(), 2);
        QCOMPARE(history.fieldByName(u"System"_s).asString(), u"C"_s);
    }

    void snapshotDrivesTheWindowInOrder()
    {
        QList<DatabaseCreator::NewSystem> systems;
        for (const QString& name : {u"E"_s, u"A"_s, u"B"_s, u"C"_s, u"D"_s})
            systems << DatabaseCreator::NewSystem{name, u'/' + name, {}};
        EngineFixture f(systems);
        dvDirectories& engine = f.start();
        f.host.calls.clear();

        engine.LoadSnapshot();

        QCOMPARE(f.host.calls,
                 (QStringList{u"busy"_s, u"summaryPage"_s, u"startProgress 5"_s, u"holdGrids"_s,
                              u"repaintHistoryGrid"_s, u"refreshSummaryChart"_s, u"hideProgress"_s,
                              u"releaseGrids"_s, u"refreshForecasts"_s, u"showSystemHistory E"_s,
                              u"idle"_s}));
        QCOMPARE(f.host.progressPosition, 5);
    }

    void refreshSystemTreeCountsAndListsInTableOrder()
    {
        EngineFixture f(
            {{u"Alpha"_s, u"/a"_s, {}}, {u"Beta"_s, u"/b"_s, {}}, {u"Gamma"_s, u"/c"_s, {}}});
        dvDirectories& engine = f.start();
        QCOMPARE(f.host.systems, (QStringList{u"Alpha"_s, u"Beta"_s, u"Gamma"_s}));
        QCOMPARE(f.host.companyName, u"Company Name"_s);
        QCOMPARE(engine.SystemCount, 3);
        engine.CheckSpace();
        engine.CheckSpace();
        QCOMPARE(engine.SystemCount, 3);
        QCOMPARE(f.host.systems, (QStringList{u"Alpha"_s, u"Beta"_s, u"Gamma"_s}));
    }

    void cliExitStatus_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");
        const QString stamp = alertStamp(RunMoment);
        QTest::newRow("within tolerance") << u"fine"_s << QStringList{} << 0 << QString();
        QTest::newRow("threshold reached") << u"full"_s << QStringList{} << 1
                                           << stamp + u" : Disk : Free Space (MB) down to 4096\n"_s;
        QTest::newRow("unreachable")
            << u"gone"_s << QStringList{} << 1 << stamp + u" : Disk : System Not Found\n"_s;
        QTest::newRow("null address ends the run") << u"null"_s << QStringList{} << 2 << QString();
        QTest::newRow("missing database")
            << u"fine"_s << QStringList{u"missing.db"_s} << 2 << QString();
        QTest::newRow("two files") << u"fine"_s << QStringList{u"a"_s, u"b"_s} << 2 << QString();
    }
    void cliExitStatus()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        TestDatabase db({{u"Disk"_s, u"/disk"_s, {}}});
        ScriptedProbe probe;
        FixedClock clock(RunMoment);
        if (setup != u"gone")
            probe.set(u"/disk"_s, 4 * GiB, 10 * GiB);
        if (setup == u"full")
            db.exec(u"UPDATE Systems SET Alert1MB = 4096"_s);
        if (setup == u"null")
            db.exec(u"UPDATE Systems SET Address = NULL"_s);
        QStringList args = arguments;
        if (args.isEmpty())
            args << db.path();
        else if (args.size() == 1)
            args[0] = db.dir() + u'/' + args[0];

        CapturedStream out;
        CapturedStream err;
        const int result =
            runEngineCommand(RunKind::CheckSpace, args, out.file(), err.file(), clock, probe);
        const QString printed = out.text();
        const QString errors = err.text();

        QCOMPARE(result, status);
        QCOMPARE(printed, output);
        if (setup == u"gone")
            QCOMPARE(errors, u"Disk: not found\n"_s); // why, for the job's log
        else
            QCOMPARE(errors.isEmpty(), status != 2);
        if (setup == u"null")
            QCOMPARE(errors, u"The run stopped at system 'Disk': Could not convert variant of "
                             u"type (Null) into type (String)\n"_s);
    }

    void cliCheckOnTheDemoDatabase()
    {
        QTemporaryDir dir;
        QProcess init;
        init.setWorkingDirectory(dir.path());
        init.start(QStringLiteral(VARDOMETER_CLI), {u"init"_s, u"--demo"_s});
        QVERIFY(init.waitForFinished(30000));
        QCOMPARE(init.exitCode(), 0);
        for (const LocalVolume& volume : selectWatchableVolumes(mountedLocalVolumes()))
            if (QStorageInfo(volume.mountPoint).bytesAvailable() < 501LL * 1024 * 1024)
                QSKIP("a disk of this machine is below the demo's 500 MB threshold");

        QProcess check;
        check.setWorkingDirectory(dir.path());
        check.start(QStringLiteral(VARDOMETER_CLI), {u"check"_s});
        QVERIFY(check.waitForFinished(60000));
        QCOMPARE(check.readAllStandardOutput(), QByteArray());
        QCOMPARE(check.readAllStandardError(), QByteArray());
        QCOMPARE(check.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestRuns)
#include "test_runs.moc"
