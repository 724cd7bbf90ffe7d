#include "cli/ForecastCommand.h"
#include "support/CapturedStream.h"
#include "support/HistoryRows.h"
#include "support/TestDatabase.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QDate First(2007, 1, 1);

CommandOutcome run(const QStringList& arguments)
{
    return runCapturing(runForecastCommand, arguments);
}

// Web fills: day 59 (1 March 2007) holds 60,000 of 100,000 MB and adds 1,000 a day, so it
// is full on 10 April. Without noise the range ends there too; it begins on 29 March because
// the early end allows the pace to pick up. Idle does not fill; New has no history.
struct Fixture {
    TestDatabase db{
        {{u"Web"_s, u"/web"_s, {}}, {u"Idle"_s, u"/idle"_s, {}}, {u"New"_s, u"/new"_s, {}}}};
    Fixture()
    {
        addDailyHistory(db.path(), u"Web"_s, First, 60, [](int d) { return 1000.0 * (d + 1); });
        addDailyHistory(db.path(), u"Idle"_s, First, 60, [](int) { return 500.0; });
    }
};

QJsonArray parsed(const QString& text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        qWarning("not a JSON array: %s", qPrintable(error.errorString()));
    return doc.array();
}

} // namespace

class TestForecastCommand : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void textHasOneLinePerSystem()
    {
        Fixture f;
        const CommandOutcome r = run({f.db.path()});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, u"Idle  not filling\n"
                        u"New   not enough history\n"
                        u"Web   filling             2007-04-10  2007-03-29..2007-04-10\n"_s);
    }

    void jsonHasEveryKey()
    {
        Fixture f;
        const CommandOutcome r = run({u"--json"_s, f.db.path()});
        QCOMPARE(r.status, 0);
        const QJsonArray a = parsed(r.out);
        QCOMPARE(a.size(), 3);
        const QStringList keys{u"days_left"_s, u"full_date"_s, u"high_date"_s,
                               u"low_date"_s,  u"state"_s,     u"system"_s};
        for (const QJsonValue& v : a)
            QCOMPARE(v.toObject().keys(), keys);

        const QJsonObject idle = a[0].toObject();
        QCOMPARE(idle[u"system"_s].toString(), u"Idle"_s);
        QCOMPARE(idle[u"state"_s].toString(), u"not filling"_s);
        for (const QString& key : {u"full_date"_s, u"low_date"_s, u"high_date"_s, u"days_left"_s})
            QVERIFY2(idle[key].isNull(), qPrintable(key));
        QCOMPARE(a[1].toObject()[u"state"_s].toString(), u"not enough history"_s);

        const QJsonObject web = a[2].toObject();
        QCOMPARE(web[u"state"_s].toString(), u"filling"_s);
        QCOMPARE(web[u"full_date"_s].toString(), u"2007-04-10"_s);
        QCOMPARE(web[u"low_date"_s].toString(), u"2007-03-29"_s);
        QCOMPARE(web[u"high_date"_s].toString(), u"2007-04-10"_s);
        // From the last snapshot, 1 March.
        QCOMPARE(web[u"days_left"_s].toInt(-1), 40);
    }

    void oneSystemFoundWithoutCase()
    {
        Fixture f;
        const CommandOutcome r = run({u"--system"_s, u"wEb"_s, u"--json"_s, f.db.path()});
        QCOMPARE(r.status, 0);
        const QJsonArray a = parsed(r.out);
        QCOMPARE(a.size(), 1);
        QCOMPARE(a[0].toObject()[u"system"_s].toString(), u"Web"_s);
    }

    void everyDateIsAnIsoDateOrNull()
    {
        // Histories dated outside the calendar the program shows are no history at all; one
        // that would fill after its last day is not given a date it cannot write.
        TestDatabase db{
            {{u"Ancient"_s, u"/a"_s, {}}, {u"Far"_s, u"/f"_s, {}}, {u"EndOfTime"_s, u"/e"_s, {}}}};
        const QDate epoch = DateTimeValue::epoch();
        addDailyHistory(db.path(), u"Ancient"_s, epoch.addDays(-700'000), 60,
                        [](int d) { return 1000.0 * (d + 1); });
        addDailyHistory(db.path(), u"Far"_s, epoch.addDays(3'000'000), 60,
                        [](int d) { return 1000.0 * (d + 1); });
        addDailyHistory(db.path(), u"EndOfTime"_s, QDate(9999, 12, 31).addDays(-59), 60,
                        [](int d) { return 1000.0 * (d + 1); });

        const CommandOutcome r = run({u"--json"_s, db.path()});

        QCOMPARE(r.status, 0);
        const QJsonArray a = parsed(r.out);
        QCOMPARE(a.size(), 3);
        const QRegularExpression iso(u"^\\d{4}-\\d{2}-\\d{2}$"_s);
        QStringList states;
        for (const QJsonValue& v : a) {
            const QJsonObject o = v.toObject();
            states << o[u"state"_s].toString();
            for (const QString& key : {u"full_date"_s, u"low_date"_s, u"high_date"_s})
                QVERIFY2(o[key].isNull() || iso.match(o[key].toString()).hasMatch(),
                         QJsonDocument(o).toJson().constData());
        }
        QCOMPARE(states,
                 (QStringList{u"not enough history"_s, u"not filling"_s, u"not enough history"_s}));
    }

    void namesReachTheTerminalEscaped()
    {
        TestDatabase db{{{u"Evil\nNext\x1b[2J"_s, u"/e"_s, {}}}};
        const CommandOutcome text = run({db.path()});
        QCOMPARE(text.status, 0);
        QCOMPARE(text.out, u"Evil\\nNext\\x1B[2J  not enough history\n"_s);

        const CommandOutcome unknown = run({u"--system"_s, u"\x1b]0;owned\x07"_s, db.path()});
        QCOMPARE(unknown.status, 2);
        QVERIFY2(unknown.err.contains(u"Unknown system \"\\x1B]0;owned\\x07\""_s),
                 qPrintable(unknown.err));
        QVERIFY(!unknown.err.contains(QChar(0x1b)));

        // JSON escapes what it must; DEL, C1 controls and line separators are escaped too.
        const QString odd = u"del\x7f csi\u009b nel\u0085 ls\u2028"_s;
        TestDatabase other{{{odd, u"/o"_s, {}}}};
        const CommandOutcome json = run({u"--json"_s, other.path()});
        QCOMPARE(json.status, 0);
        QVERIFY2(json.out.contains(u"del\\u007f csi\\u009b nel\\u0085 ls\\u2028"_s),
                 qPrintable(json.out));
        QCOMPARE(parsed(json.out)[0].toObject()[u"system"_s].toString(), odd);
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown system")
            << QStringList{u"--system"_s, u"Mail"_s, u"DB"_s} << u"Unknown system \"Mail\""_s;
        QTest::newRow("missing database")
            << QStringList{u"MISSING"_s} << u"the file does not exist"_s;
        QTest::newRow("a system name missing") << QStringList{u"--system"_s} << u"usage:"_s;
        QTest::newRow("an unknown option") << QStringList{u"--csv"_s, u"DB"_s} << u"usage:"_s;
        QTest::newRow("two databases") << QStringList{u"DB"_s, u"DB"_s} << u"usage:"_s;
    }
    void failures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);
        Fixture f;
        for (QString& a : arguments) {
            if (a == u"DB")
                a = f.db.path();
            else if (a == u"MISSING")
                a = f.db.dir() + u"/none.db"_s;
        }
        const CommandOutcome r = run(arguments);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.contains(reason), qPrintable(r.err));
    }

    void theCommandLineToolRunsIt()
    {
        Fixture f;
        QProcess cli;
        cli.start(QStringLiteral(VARDOMETER_CLI),
                  {u"forecast"_s, u"--system"_s, u"Web"_s, f.db.path()});
        QVERIFY(cli.waitForFinished(30'000));
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY(QString::fromLocal8Bit(cli.readAllStandardOutput()).startsWith(u"Web  filling"_s));
    }
};

QTEST_GUILESS_MAIN(TestForecastCommand)
#include "test_forecast_command.moc"
