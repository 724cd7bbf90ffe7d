#include "cli/PluginCheck.h"
#include "data/DbConnection.h"
#include "support/CliProcess.h"
#include "support/FileDigest.h"
#include "support/LockHolder.h"
#include "support/MeasuredRows.h"
#include "support/ServerFixtures.h"
#include "support/TestDatabase.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using PluginCheck::Level;

namespace {

// FS1 has 10 % free, Low is below its own threshold of 500 MB, the last check did not find
// Gone, New was never measured and Old was measured 30 hours ago.
struct Fixture {
    TestDatabase db{{{u"FS1"_s, u"/fs1"_s, {}},
                     {u"Low"_s, u"/low"_s, {}},
                     {u"Gone"_s, u"/gone"_s, {}},
                     {u"New"_s, u"/new"_s, {}},
                     {u"Old"_s, u"/old"_s, {}}}};
    Fixture()
    {
        const QDateTime recently = QDateTime::currentDateTime().addSecs(-3600);
        setMeasured(db, u"FS1"_s, 10'000, 100'000, recently);
        setMeasured(db, u"Low"_s, 400, 100'000, recently);
        setMeasured(db, u"Gone"_s, 0, 0, recently);
        setMeasured(db, u"Old"_s, 50'000, 100'000,
                    QDateTime::currentDateTime().addSecs(-30 * 3600 - 60));
    }
};

// The performance data items as the monitoring plugins' own Perl parser reads them: label,
// value, unit, warning, critical, min and max, tab-separated.
QStringList parsedPerfdata(const QString& output)
{
    QProcess perl;
    perl.start(u"perl"_s, {QStringLiteral(PERFDATA_PARSER)});
    perl.write(output.toUtf8());
    perl.closeWriteChannel();
    if (!perl.waitForFinished(60'000) || perl.exitCode() != 0)
        return {u"the parser failed: "_s + QString::fromUtf8(perl.readAllStandardError())};
    return QString::fromUtf8(perl.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

bool perlParserInstalled()
{
    QProcess perl;
    perl.start(u"perl"_s, {u"-MMonitoring::Plugin::Performance"_s, u"-e1"_s});
    return perl.waitForFinished(60'000) && perl.exitCode() == 0;
}

} // namespace

class TestPluginCommand : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void levelsAreMegabytesOrPercentages_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("percent");
        QTest::newRow("megabytes") << u"500"_s << true << 500.0 << false;
        QTest::newRow("fraction") << u"12.5"_s << true << 12.5 << false;
        QTest::newRow("zero") << u"0"_s << true << 0.0 << false;
        QTest::newRow("percent") << u"10%"_s << true << 10.0 << true;
        QTest::newRow("all of it") << u"100%"_s << true << 100.0 << true;
        QTest::newRow("over 100 %") << u"100.5%"_s << false << 0.0 << false;
        QTest::newRow("negative") << u"-5"_s << false << 0.0 << false;
        QTest::newRow("comma") << u"12,5"_s << false << 0.0 << false;
        QTest::newRow("exponent") << u"1e3"_s << false << 0.0 << false;
        QTest::newRow("range syntax") << u"10:"_s << false << 0.0 << false;
        QTest::newRow("unit") << u"5GB"_s << false << 0.0 << false;
        QTest::newRow("empty") << QString() << false << 0.0 << false;
        QTest::newRow("percent sign only") << u"%"_s << false << 0.0 << false;
    }
    void levelsAreMegabytesOrPercentages()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const std::optional<Level> level = PluginCheck::parseLevel(text);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(level.has_value(), valid);
        if (valid) {
            QTEST(level->value, "value");
            QTEST(level->percent, "percent");
        }
    }

    void labelsAndNumbersAreMadeSafe_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("label");
        QTest::newRow("plain") << u"FS1"_s << u"FS1"_s;
        QTest::newRow("spaces stay") << u"my disk"_s << u"my disk"_s;
        QTest::newRow("quote") << u"Bob's"_s << u"Bob_s"_s;
        QTest::newRow("equals") << u"a=b"_s << u"a_b"_s;
        QTest::newRow("bar") << u"a|b"_s << u"a_b"_s;
        QTest::newRow("line breaks") << u"a\nb\rc\td"_s << u"a_b_c_d"_s;
        QTest::newRow("unicode") << u"Grüße"_s << u"Grüße"_s;
        QTest::newRow("blank") << u"  "_s << u"_"_s;
    }
    void labelsAndNumbersAreMadeSafe()
    {
        QFETCH(QString, name);
        QTEST(PluginCheck::perfLabel(name), "label");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(PluginCheck::number(1234567.5), u"1234567.5"_s);
        QCOMPARE(PluginCheck::number(2.0), u"2"_s);
        QCOMPARE(PluginCheck::number(0.125), u"0.13"_s);
        QLocale::setDefault(QLocale::c());
    }

    // However many systems are in trouble, the first line names ten and counts the rest.
    void theStatusLineStaysShort()
    {
        QList<PluginCheck::Reading> readings;
        for (int i = 1; i <= 12; ++i) {
            PluginCheck::Reading r;
            r.name = u"S%1"_s.arg(i, 2, 10, QChar(u'0'));
            r.detail = u"never measured"_s;
            readings << r;
        }
        const PluginCheck::Outcome outcome = PluginCheck::check(readings, {});
        QCOMPARE(outcome.state, PluginCheck::State::Unknown);
        QVERIFY2(outcome.line.startsWith(u"VARDOMETER UNKNOWN - S01: never measured, "_s),
                 qPrintable(outcome.line));
        QVERIFY2(outcome.line.endsWith(u"S10: never measured, and 2 more"_s),
                 qPrintable(outcome.line));
    }

    void statesAndExitStatuses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("line");
        const auto row = [](const char* name, QStringList arguments, int status, QString line) {
            QTest::newRow(name) << arguments << status << line;
        };
        row("ok", {u"--system"_s, u"FS1"_s}, 0,
            u"VARDOMETER OK - FS1: 10000 MB free (10%) | 'FS1'=10000MB;;500:;0;100000"_s);
        row("warning in percent", {u"--system"_s, u"fs1"_s, u"-w"_s, u"15%"_s}, 1,
            u"VARDOMETER WARNING - FS1: 10000 MB free (10%), warning at 15% | "
            u"'FS1'=10000MB;15000:;500:;0;100000"_s);
        // At the level counts as reached, as for the runs' own alerts.
        row("critical exactly at",
            {u"--system"_s, u"FS1"_s, u"--warning"_s, u"20000"_s, u"--critical"_s, u"10%"_s}, 2,
            u"VARDOMETER CRITICAL - FS1: 10000 MB free (10%), critical at 10% | "
            u"'FS1'=10000MB;20000:;10000:;0;100000"_s);
        row("own threshold", {u"--system"_s, u"Low"_s}, 2,
            u"VARDOMETER CRITICAL - Low: 400 MB free (0.4%), critical at 500 MB | "
            u"'Low'=400MB;;500:;0;100000"_s);
        row("command line replaces own", {u"--system"_s, u"Low"_s, u"-c"_s, u"300"_s}, 0,
            u"VARDOMETER OK - Low: 400 MB free (0.4%) | 'Low'=400MB;;300:;0;100000"_s);
        row("not found", {u"--system"_s, u"Gone"_s}, 2, u"VARDOMETER CRITICAL - Gone: not found"_s);
        row("never measured", {u"--system"_s, u"New"_s}, 3,
            u"VARDOMETER UNKNOWN - New: never measured"_s);
        row("too old", {u"--system"_s, u"Old"_s}, 3,
            u"VARDOMETER UNKNOWN - Old: last measured 30 h ago"_s);
        row("old enough", {u"--system"_s, u"Old"_s, u"--max-age"_s, u"48"_s}, 0,
            u"VARDOMETER OK - Old: 50000 MB free (50%) | 'Old'=50000MB;;500:;0;100000"_s);
        row("several, all OK",
            {u"--system"_s, u"FS1"_s, u"--system"_s, u"Old"_s, u"--max-age"_s, u"48"_s}, 0,
            u"VARDOMETER OK - all 2 systems OK, least free FS1: 10000 MB free (10%) | "
            u"'FS1'=10000MB;;500:;0;100000 'Old'=50000MB;;500:;0;100000"_s);
        // The worst decides, and the problems are named worst first.
        row("every system", {}, 2,
            u"VARDOMETER CRITICAL - Gone: not found, Low: 400 MB free (0.4%), critical at 500 MB, "
            u"New: never measured, Old: last measured 30 h ago | 'FS1'=10000MB;;500:;0;100000 "
            u"'Low'=400MB;;500:;0;100000"_s);
        row("unknown system", {u"--system"_s, u"FS1"_s, u"--system"_s, u"FS9"_s}, 3,
            u"VARDOMETER UNKNOWN - no system is named \"FS9\""_s);
        row("bad level", {u"-c"_s, u"101%"_s}, 3,
            u"VARDOMETER UNKNOWN - wrong command line: -c takes megabytes or a percentage, "
            u"not '101%'"_s);
        row("bad time-out", {u"-t"_s, u"0"_s}, 3,
            u"VARDOMETER UNKNOWN - wrong command line: -t takes seconds, not '0'"_s);
        row("unknown option", {u"--verbose"_s}, 3,
            u"VARDOMETER UNKNOWN - wrong command line: unknown argument '--verbose'"_s);
        row("two databases", {u"--user"_s}, 3,
            u"VARDOMETER UNKNOWN - wrong command line: give one database: --user or --database "
            u"FILE, "
            u"once"_s);
    }
    void statesAndExitStatuses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, line);
        Fixture f;
        const CliResult r =
            runCli(QStringList{u"plugin"_s, u"--database"_s, f.db.path()} + arguments, f.db.dir());
        QCOMPARE(r.out, line + u'\n');
        QCOMPARE(r.status, status);
    }

    void helpVersionAndAMissingDatabase()
    {
        Fixture f;
        for (const QString& help : {u"--help"_s, u"-h"_s}) {
            const CliResult r = runCli({u"plugin"_s, help}, f.db.dir());
            QCOMPARE(r.status, 0);
            QVERIFY2(r.out.startsWith(u"usage: vardometer-cli plugin [--system NAME]..."_s),
                     qPrintable(r.out));
        }
        const CliResult version = runCli({u"plugin"_s, u"-V"_s}, f.db.dir());
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, QStringLiteral("vardometer-cli " VARDOMETER_VERSION "\n"));

        const CliResult missing = runCli({u"plugin"_s, u"none.db"_s}, f.db.dir());
        QCOMPARE(missing.status, 3);
        QVERIFY2(missing.out.startsWith(u"VARDOMETER UNKNOWN - "_s), qPrintable(missing.out));
        QVERIFY(!QFile::exists(f.db.dir() + u"/none.db"_s));
    }

    // Stored values no check could have written are that system's problem alone; a check that
    // did not find an address is CRITICAL even when it never found it.
    void oddStoredValuesConcernTheirSystemOnly()
    {
        TestDatabase db({{u"FS1"_s, u"/fs1"_s, {}},
                         {u"Bad"_s, u"/bad"_s, {}},
                         {u"Ahead"_s, u"/ahead"_s, {}},
                         {u"Lost"_s, u"/lost"_s, {}}});
        const QDateTime recently = QDateTime::currentDateTime().addSecs(-60);
        setMeasured(db, u"FS1"_s, 10'000, 100'000, recently);
        setMeasured(db, u"Bad"_s, 10'000, 100'000, recently);
        db.exec(u"UPDATE Systems SET Alert1MB = 'abc' WHERE System = 'Bad'"_s);
        setMeasured(db, u"Ahead"_s, 10'000, 100'000,
                    QDateTime(QDate::currentDate().addYears(10), QTime(2, 0)));
        setMeasured(db, u"Lost"_s, 0, 0, recently);
        db.exec(u"UPDATE Systems SET DateLastAnalysed = NULL, TimeLastAnalysed = NULL "
                u"WHERE System = 'Lost'"_s);
        db.exec(u"UPDATE Systems SET Alert1MB = 500 WHERE System <> 'Bad'"_s);

        const CliResult r = runCli({u"plugin"_s, db.path()}, db.dir());
        QCOMPARE(r.status, 2);
        QVERIFY2(r.out.startsWith(u"VARDOMETER CRITICAL - Lost: not found, Ahead: last measured "
                                  u"in the future, at "_s),
                 qPrintable(r.out));
        QVERIFY2(r.out.contains(u", Bad: the stored figures are not figures of a disk | "
                                u"'FS1'=10000MB;;500:;0;100000\n"_s),
                 qPrintable(r.out));

        // An answer that cannot be written is UNKNOWN, not CRITICAL.
        if (QFileInfo(u"/dev/full"_s).exists()) {
            const CliResult full = runCli({u"plugin"_s, db.path()}, db.dir(), u"/dev/full"_s);
            QCOMPARE(full.status, 3);
        }
    }

    // Every item is read back by the monitoring plugins' parser exactly as written, whatever
    // the names hold, and also matches the format strictly here.
    void perfdataReadsBackForHostileNames()
    {
        if (!perlParserInstalled()) {
            if (qEnvironmentVariableIsSet("CI"))
                QFAIL("Monitoring::Plugin (package libmonitoring-plugin-perl) is not installed");
            QSKIP("Monitoring::Plugin (package libmonitoring-plugin-perl) is not installed");
        }
        // A thousand systems, the hostile names among them.
        QStringList names{u"Bob's disk"_s, u"a=b"_s, u"pipe|d"_s, u"line\nbreak"_s,
                          u"Grüße"_s,      u"a_b"_s, u"plain"_s};
        for (int i = int(names.size()); i < 1000; ++i)
            names << u"SRV%1"_s.arg(i, 4, 10, QChar(u'0'));
        const auto freeOf = [](qsizetype i) { return 1000.5 * double(i % 20 + 1); };
        TestDatabase db;
        const QDateTime recently = QDateTime::currentDateTime().addSecs(-60);
        inOneTransaction(db.path(), [&](DbConnection& c) {
            for (qsizetype i = 0; i < names.size(); ++i) {
                c.write(u"INSERT INTO Systems (System, Address, Alert1MB) VALUES (?, ?, 500)"_s,
                        {names[i], u"/d"_s});
                c.write(MeasuredRowSql, measuredRowValues(names[i], freeOf(i), 20'480, recently));
            }
        });
        const CliResult r = runCli({u"plugin"_s, u"-w"_s, u"25%"_s, db.path()}, db.dir());
        QVERIFY2(r.out.count(u'\n') == 1 && r.out.endsWith(u'\n'), qPrintable(r.out));
        QCOMPARE(r.out.count(u'|'), 1);

        // A name made safe keeps a label of its own, the same whatever other systems exist.
        QStringList labels;
        for (const QString& name : names) {
            labels << PluginCheck::labelOf(name);
            const QString safe = PluginCheck::perfLabel(name);
            if (safe != name)
                QVERIFY2(labels.last().startsWith(safe + u'_') &&
                             labels.last().size() == safe.size() + 5,
                         qPrintable(labels.last()));
        }
        QCOMPARE(PluginCheck::labelOf(u"a_b"_s), u"a_b"_s);
        QVERIFY(PluginCheck::labelOf(u"a=b"_s) != u"a_b"_s);
        QMap<QString, QString> expected;
        for (qsizetype i = 0; i < names.size(); ++i) {
            expected.insert(labels[i], u"%1\t%2\tMB\t5120:\t500:\t0\t20480"_s.arg(
                                           labels[i], PluginCheck::number(freeOf(i))));
        }
        const QStringList parsed = parsedPerfdata(r.out);
        QCOMPARE(parsed.size(), names.size());
        for (const QString& item : parsed)
            QCOMPARE(item, expected.value(item.section(u'\t', 0, 0)));

        // Item after item with one space between and nothing else: every field well formed.
        static const QRegularExpression item(
            u"'[^'=|\\n]+'=\\d+(\\.\\d+)?MB;(\\d+(\\.\\d+)?:)?;(\\d+(\\.\\d+)?:)?;0;\\d+(\\.\\d+)?"_s);
        const QString perfdata = r.out.section(u" | "_s, 1).chopped(1);
        QStringList items;
        for (const QRegularExpressionMatch& m : item.globalMatch(perfdata))
            items << m.captured();
        QCOMPARE(items.size(), names.size());
        QCOMPARE(items.join(u' '), perfdata);
    }

    // A stuck measurement is UNKNOWN within the time-out; measuring writes nothing.
    void measuringAnswersWithinTheTimeOutAndWritesNothing()
    {
        SilentListeners dead(1);
        QVERIFY2(dead.error().isEmpty(), qPrintable(dead.error()));
        TestDatabase db({{u"Here"_s, QDir::tempPath(), {}},
                         {u"Dead"_s, u"sftp://127.0.0.1:%1/srv"_s.arg(dead.ports()[0]), {}},
                         {u"Missing"_s, QDir::tempPath() + u"/no/such/folder"_s, {}}});
        const QByteArray before = fileDigest(db.path());

        QElapsedTimer timer;
        timer.start();
        const CliResult r =
            runCli({u"plugin"_s, u"--measure"_s, u"-t"_s, u"2"_s, db.path()}, db.dir());
        const qint64 elapsed = timer.elapsed();
        QCOMPARE(r.status, 2);
        QVERIFY2(r.out.startsWith(u"VARDOMETER CRITICAL - Missing: not found (no such folder), "
                                  u"Dead: measuring timed out | 'Here'="_s),
                 qPrintable(r.out));
        // Two seconds and the start and end of a process, even a slow one.
        QVERIFY2(elapsed < 3500, qPrintable(QString::number(elapsed)));
        QCOMPARE(fileDigest(db.path()), before);

        const CliResult one = runCli(
            {u"plugin"_s, u"--measure"_s, u"--system"_s, u"Dead"_s, u"-t"_s, u"2"_s, db.path()},
            db.dir());
        QCOMPARE(one.status, 3);
        QCOMPARE(one.out, u"VARDOMETER UNKNOWN - Dead: measuring timed out\n"_s);
    }

    // Probes abandoned at the time-out are still inside their SSH sessions when the check
    // ends: ending must not tear their libraries down under them (a crash, status 139).
    void endingWhileProbesStillWaitIsClean()
    {
        SilentListeners dead(8);
        QVERIFY2(dead.error().isEmpty(), qPrintable(dead.error()));
        TestDatabase db;
        for (int i = 0; i < 8; ++i)
            db.exec(u"INSERT INTO Systems (System, Address) VALUES (?, ?)"_s,
                    {u"Dead%1"_s.arg(i), u"sftp://127.0.0.1:%1/srv"_s.arg(dead.ports()[i])});
        for (int run = 0; run < 4; ++run) {
            const CliResult r =
                runCli({u"plugin"_s, u"--measure"_s, u"-t"_s, u"2"_s, db.path()}, db.dir());
            // The check's own answer, not the deadline's: the probes had given up.
            QVERIFY2(r.out.startsWith(u"VARDOMETER UNKNOWN - Dead0: measuring timed out"_s),
                     qPrintable(r.out));
            QCOMPARE(r.status, 3);
        }
    }

    // Whatever holds the check up, a database locked by another program included, it says
    // UNKNOWN when the time-out is up instead of letting the monitoring system kill it.
    void theTimeOutHoldsWhateverTheCheckWaitsOn()
    {
        Fixture f;
        LockHolder holder;
        QVERIFY(holder.lock(f.db.path()));
        QElapsedTimer timer;
        timer.start();
        const CliResult r = runCli({u"plugin"_s, u"-t"_s, u"0.5"_s, f.db.path()}, f.db.dir());
        QCOMPARE(r.out, u"VARDOMETER UNKNOWN - no answer within 0.5 s\n"_s);
        QCOMPARE(r.status, 3);
        QVERIFY2(timer.elapsed() < 2500, qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestPluginCommand)
#include "test_plugin_command.moc"
