#include "cli/PrometheusFormat.h"
#include "data/DbConnection.h"
#include "support/CliProcess.h"
#include "support/HistoryRows.h"
#include "support/MeasuredRows.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr double MB = 1024.0 * 1024.0;

// Names and addresses that would break a careless writer: quotes and backslashes that end a
// label value early, a line break that starts a sample of its own, braces, non-ASCII text.
const QStringList HostileNames{
    u"quote\"d"_s,
    u"back\\slash"_s,
    u"line\nvardometer_up{system=\"forged\"} 1"_s,
    u"brace} 1\n# TYPE x counter"_s,
    u"tab\there\rreturn"_s,
    u"Grüße ∑ 日本"_s,
    u"   "_s,
};

// The value of the sample whose whole label set is given, or nothing when there is none.
std::optional<double> sample(const QString& text, const QString& metric, const QString& labels)
{
    const QString prefix = metric + u'{' + labels + u"} "_s;
    for (const QString& line : text.split(u'\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).toDouble();
    }
    return std::nullopt;
}

QString labelsOf(const QString& system, const QString& address)
{
    return u"system=\"%1\",address=\"%2\""_s.arg(
        QString::fromUtf8(PrometheusFormat::labelValue(system)),
        QString::fromUtf8(PrometheusFormat::labelValue(address)));
}

double unixTime(const QDateTime& local)
{
    return static_cast<double>(local.toMSecsSinceEpoch()) / 1000;
}

QString promtool()
{
    return QStandardPaths::findExecutable(u"promtool"_s);
}

// promtool's verdict on a file: empty when it passes.
QString promtoolComplaints(const QString& file)
{
    QProcess tool;
    tool.setStandardInputFile(file);
    tool.start(promtool(), {u"check"_s, u"metrics"_s});
    if (!tool.waitForFinished(60'000))
        return u"promtool did not finish"_s;
    const QString said =
        QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
    return tool.exitCode() == 0 ? QString() : said + u" (exit %1)"_s.arg(tool.exitCode());
}

} // namespace

class TestMetricsCommand : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void labelValuesAreEscaped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("escaped");
        QTest::newRow("plain") << u"FS1"_s << QByteArray("FS1");
        QTest::newRow("backslash") << u"\\\\srv\\share"_s << QByteArray(R"(\\\\srv\\share)");
        QTest::newRow("quote") << u"say \"hi\""_s << QByteArray(R"(say \"hi\")");
        QTest::newRow("line feed") << u"a\nb"_s << QByteArray(R"(a\nb)");
        QTest::newRow("all three") << u"\\\"\n"_s << QByteArray(R"(\\\"\n)");
        // Nothing else needs escaping: the format reads every other character as it stands.
        QTest::newRow("others") << u"{}=,\t\r#"_s << QByteArray("{}=,\t\r#");
        QTest::newRow("utf-8") << u"Grüße"_s
                               << QByteArray("Gr\xc3\xbc\xc3\x9f"
                                             "e");
        QTest::newRow("empty") << QString() << QByteArray();
    }
    void labelValuesAreEscaped()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, escaped);
        QCOMPARE(PrometheusFormat::labelValue(text), escaped);
    }

    void sampleValuesReadBackInAnyLocale_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("zero") << 0.0 << QByteArray("0");
        QTest::newRow("ratio") << 0.25 << QByteArray("0.25");
        QTest::newRow("bytes") << 20480.0 * MB << QByteArray("21474836480");
        QTest::newRow("timestamp") << 1173571509.5 << QByteArray("1173571509.5");
        QTest::newRow("huge") << 9.5e21 << QByteArray("9.5e+21");
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << QByteArray("NaN");
        QTest::newRow("+Inf") << std::numeric_limits<double>::infinity() << QByteArray("+Inf");
        QTest::newRow("-Inf") << -std::numeric_limits<double>::infinity() << QByteArray("-Inf");
    }
    void sampleValuesReadBackInAnyLocale()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, text);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(PrometheusFormat::sampleValue(value), text);
        QLocale::setDefault(QLocale::c());
    }

    void everyFigureIsInBaseUnitsAndUnknownOnesAreLeftOut()
    {
        // Web fills 1,000 MB a day and is full on 10 April 2007 by the forecast.
        TestDatabase db({{u"Web"_s, u"/web"_s, {}},
                         {u"Gone"_s, u"\\\\srv\\gone"_s, {}},
                         {u"New"_s, u"/new"_s, {}},
                         {u"Odd"_s, u"/odd"_s, {}}});
        addDailyHistory(db.path(), u"Web"_s, QDate(2007, 1, 1), 60,
                        [](int d) { return 1000.0 * (d + 1); });
        const QDateTime measured(QDate(2007, 3, 1), QTime(14, 5, 9));
        setMeasured(db, u"Web"_s, 40'000, 100'000, measured,
                    DateTimeValue::fromDate(QDate(2007, 4, 20)));
        setMeasured(db, u"Gone"_s, 0, 0, measured);
        setMeasured(db, u"Odd"_s, 0, 100'000, measured);
        db.exec(u"UPDATE Systems SET LastFreeMB = 'lots', Alert1MB = NULL WHERE System = 'Odd'"_s);
        // A threshold no rule can compare: that system's state is not known, the others are.
        db.exec(u"INSERT INTO Systems (System, Address, Alert1MB) VALUES ('Bad', '/bad', 'abc')"_s);
        setMeasured(db, u"Bad"_s, 10, 100, measured);

        const CliResult r = runCli({u"metrics"_s, db.path()}, db.dir());
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        const QString web = labelsOf(u"Web"_s, u"/web"_s);
        QCOMPARE(sample(r.out, u"vardometer_up"_s, web), 1.0);
        QCOMPARE(sample(r.out, u"vardometer_free_bytes"_s, web), 40'000 * MB);
        QCOMPARE(sample(r.out, u"vardometer_used_bytes"_s, web), 60'000 * MB);
        QCOMPARE(sample(r.out, u"vardometer_size_bytes"_s, web), 100'000 * MB);
        QCOMPARE(sample(r.out, u"vardometer_free_ratio"_s, web), 0.4);
        QCOMPARE(sample(r.out, u"vardometer_alert_threshold_bytes"_s, web), 500 * MB);
        QCOMPARE(sample(r.out, u"vardometer_last_measured_timestamp_seconds"_s, web),
                 unixTime(measured));
        QCOMPARE(sample(r.out, u"vardometer_predicted_full_timestamp_seconds"_s, web),
                 unixTime(QDate(2007, 4, 20).startOfDay()));
        QCOMPARE(sample(r.out, u"vardometer_forecast_full_timestamp_seconds"_s, web),
                 unixTime(QDate(2007, 4, 10).startOfDay()));
        QCOMPARE(sample(r.out, u"vardometer_forecast_state"_s, web + u",state=\"filling\""_s), 1.0);
        QCOMPARE(sample(r.out, u"vardometer_forecast_state"_s, web + u",state=\"not_filling\""_s),
                 0.0);
        QCOMPARE(sample(r.out, u"vardometer_alert_state"_s, web + u",state=\"ok\""_s), 1.0);

        // The address the last check did not find: its stored zeros are no figures.
        const QString gone = labelsOf(u"Gone"_s, u"\\\\srv\\gone"_s);
        QCOMPARE(sample(r.out, u"vardometer_up"_s, gone), 0.0);
        QCOMPARE(sample(r.out, u"vardometer_alert_state"_s, gone + u",state=\"not_found\""_s), 1.0);
        QCOMPARE(sample(r.out, u"vardometer_last_measured_timestamp_seconds"_s, gone),
                 unixTime(measured));
        // Never measured: nothing is known but that it exists.
        const QString fresh = labelsOf(u"New"_s, u"/new"_s);
        QCOMPARE(sample(r.out, u"vardometer_system_info"_s, fresh), 1.0);
        QCOMPARE(sample(r.out, u"vardometer_forecast_state"_s,
                        fresh + u",state=\"not_enough_history\""_s),
                 1.0);
        // A stored value that is no number, and no threshold.
        const QString odd = labelsOf(u"Odd"_s, u"/odd"_s);
        QCOMPARE(sample(r.out, u"vardometer_size_bytes"_s, odd), 100'000 * MB);

        const QString bad = labelsOf(u"Bad"_s, u"/bad"_s);
        QCOMPARE(sample(r.out, u"vardometer_system_info"_s, bad), 1.0);
        const QList<std::pair<QString, QString>> absent = {
            {u"vardometer_up"_s, bad},
            {u"vardometer_alert_state"_s, bad + u",state=\"ok\""_s},
            {u"vardometer_free_bytes"_s, gone},
            {u"vardometer_size_bytes"_s, gone},
            {u"vardometer_free_ratio"_s, gone},
            {u"vardometer_predicted_full_timestamp_seconds"_s, gone},
            {u"vardometer_forecast_full_timestamp_seconds"_s, gone},
            {u"vardometer_up"_s, fresh},
            {u"vardometer_free_bytes"_s, fresh},
            {u"vardometer_last_measured_timestamp_seconds"_s, fresh},
            {u"vardometer_free_bytes"_s, odd},
            {u"vardometer_free_ratio"_s, odd},
            {u"vardometer_alert_threshold_bytes"_s, odd},
        };
        for (const auto& [metric, labels] : absent)
            QVERIFY2(!sample(r.out, metric, labels), qPrintable(metric + u" for "_s + labels));
    }

    void promtoolAcceptsAThousandSystemsWithHostileNames()
    {
        if (promtool().isEmpty()) {
            if (qEnvironmentVariableIsSet("CI"))
                QFAIL("promtool (package prometheus) is not installed");
            QSKIP("promtool (package prometheus) is not installed");
        }
        TestDatabase db;
        const QDateTime measured(QDate(2026, 12, 1), QTime(2, 0));
        QStringList names = HostileNames;
        for (int i = names.size(); i < 1000; ++i)
            names << u"SRV%1"_s.arg(i, 4, 10, QChar(u'0'));
        inOneTransaction(db.path(), [&](DbConnection& c) {
            for (qsizetype i = 0; i < names.size(); ++i) {
                c.write(u"INSERT INTO Systems (System, Address) VALUES (?, ?)"_s,
                        {names[i], i % 3 == 0 ? u"\\\\srv\\\"%1\"\n"_s.arg(i) : u"/d/%1"_s.arg(i)});
                // Some never measured, some not found, some full, some with a classic date.
                if (i % 10 == 9)
                    continue;
                const QVariant zero = i % 2 ? QVariant(DateTimeValue::fromDate(
                                                  QDate(2027, 1, static_cast<int>(i % 28) + 1)))
                                            : QVariant();
                c.write(MeasuredRowSql, measuredRowValues(names[i], i % 7 == 0 ? 0 : 100.0 * i,
                                                          i % 5 == 0 ? 0 : 1e6, measured, zero));
            }
        });
        addDailyHistory(db.path(), names[1], QDate(2026, 10, 1), 60,
                        [](int d) { return 1000.0 * (d + 1); });

        const QString file = db.dir() + u"/vardometer.prom"_s;
        const CliResult r = runCli({u"metrics"_s, u"--output"_s, file, db.path()}, db.dir());
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QString());
        QCOMPARE(promtoolComplaints(file), QString());

        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(written.readAll());
        QVERIFY(text.endsWith(u'\n'));
        // Every line is a comment or a sample of our own: no name started a line.
        static const QRegularExpression line(u"^(# (HELP|TYPE) vardometer_\\w+ .*|"
                                             u"vardometer_\\w+\\{system=\".*\"\\} \\S+)$"_s);
        const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
        for (const QString& l : lines)
            QVERIFY2(line.match(l).hasMatch(), qPrintable(l));
        QCOMPARE(text.count(u"\nvardometer_system_info{"_s), 1000);
        QVERIFY(sample(text, u"vardometer_system_info"_s, labelsOf(HostileNames[2], u"/d/2"_s)));
    }

    // A collector reads the file while it is being replaced, again and again: every read
    // finds the old text or the whole new one, never a part.
    void theFileIsReplacedInOneStep()
    {
        QList<DatabaseCreator::NewSystem> systems;
        for (int i = 0; i < 1000; ++i)
            systems.append({u"SRV%1"_s.arg(i), u"/d/%1"_s.arg(i), {}});
        TestDatabase db(systems);
        const CliResult whole = runCli({u"metrics"_s, db.path()}, db.dir());
        QCOMPARE(whole.status, 0);
        const QByteArray expected = whole.out.toUtf8();
        QVERIFY(expected.size() > 100'000);

        const QString file = db.dir() + u"/vardometer.prom"_s;
        const QByteArray old = "# old\n";
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(old);
        }
        ::chmod(QFile::encodeName(file).constData(), 0644);
        std::atomic<bool> stop = false;
        std::atomic<int> reads = 0, partial = 0;
        std::thread reader([&] {
            while (!stop) {
                QFile f(file);
                if (!f.open(QIODevice::ReadOnly)) {
                    ++partial; // the name must never be missing
                    continue;
                }
                const QByteArray got = f.readAll();
                if (got != old && got != expected)
                    ++partial;
                ++reads;
            }
        });
        for (int run = 0; run < 15; ++run) {
            const CliResult r = runCli({u"metrics"_s, u"--output"_s, file, db.path()}, db.dir());
            if (r.status != 0) {
                stop = true;
                reader.join();
                QFAIL(qPrintable(r.err));
            }
        }
        stop = true;
        reader.join();
        QCOMPARE(partial.load(), 0);
        QVERIFY(reads > 15);
        QFile result(file);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), expected);
        // Readable by the collector's own user, and nothing left beside it.
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0644u);
        QCOMPARE(QDir(db.dir()).entryList({u"vardometer.prom*"_s}, QDir::Files | QDir::Hidden),
                 QStringList{u"vardometer.prom"_s});
    }

    void aFileThatCannotBeWrittenIsReportedAndLeftAlone()
    {
        TestDatabase db({{u"FS1"_s, u"/"_s, {}}});
        const QString missingFolder = db.dir() + u"/no/such/folder/metrics.prom"_s;
        const CliResult r =
            runCli({u"metrics"_s, u"--output"_s, missingFolder, db.path()}, db.dir());
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.startsWith(u"Cannot write "_s + missingFolder), qPrintable(r.err));
        QVERIFY(!QFile::exists(missingFolder));

        // A device or a pipe under that name stays what it is.
        const QString pipe = db.dir() + u"/pipe.prom"_s;
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const CliResult onPipe = runCli({u"metrics"_s, u"--output"_s, pipe, db.path()}, db.dir());
        QCOMPARE(onPipe.status, 2);
        QCOMPARE(onPipe.err, u"Cannot write %1: it is not a regular file\n"_s.arg(pipe));
        QVERIFY(!QFileInfo(pipe).isFile());

        const QList<QStringList> wrong = {{u"metrics"_s, u"--output"_s},
                                          {u"metrics"_s, u"--json"_s, db.path()},
                                          {u"metrics"_s, db.path(), db.path()}};
        for (const QStringList& arguments : wrong) {
            const CliResult w = runCli(arguments, db.dir());
            QCOMPARE(w.status, 2);
            QVERIFY2(w.err.startsWith(u"usage: vardometer-cli metrics"_s), qPrintable(w.err));
        }
        const CliResult missing = runCli({u"metrics"_s, db.dir() + u"/none.db"_s}, db.dir());
        QCOMPARE(missing.status, 2);
        QVERIFY(!missing.err.isEmpty());
        QVERIFY(!QFile::exists(db.dir() + u"/none.db"_s));
    }
};

QTEST_GUILESS_MAIN(TestMetricsCommand)
#include "test_metrics_command.moc"
