#include "data/DateTimeValue.h"
#include "data/DbConnection.h"
#include "data/Errors.h"
#include "engine/ForecastBook.h"
#include "support/HistoryRows.h"
#include "support/TestDatabase.h"

#include <QSqlQuery>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QDate First(2007, 1, 1);

// Web fills (1,000 MB a day, 800 days: more than the forecast reads), Idle does not, New has no
// history, and Gone has history but is no longer a system.
struct Fixture {
    TestDatabase file{
        {{u"Web"_s, u"/web"_s, {}}, {u"Idle"_s, u"/idle"_s, {}}, {u"New"_s, u"/new"_s, {}}}};
    DbConnection db{u"TestForecastBook"_s};

    Fixture()
    {
        addDailyHistory(
            file.path(), u"Web"_s, First, 800, [](int d) { return 50'000 + 1000.0 * d; },
            1'000'000);
        addDailyHistory(file.path(), u"Idle"_s, First, 60, [](int d) { return 500.0 + d % 3; });
        addDailyHistory(file.path(), u"Gone"_s, First, 60, [](int d) { return 1000.0 * d; });
        db.setFileName(file.path());
        db.open();
    }
};

// A system's snapshots from the forecast's window before its newest usable one on, through
// QSqlQuery and without any of the reader's shortcuts: the reference the book must match.
QList<HistoryPoint> newestWeeksReadPlainly(const DbConnection& db, const QString& system)
{
    QSqlQuery newest = db.exec(
        u"SELECT Date FROM FreeSpaceHistory WHERE System = ? AND typeof(Date) IN ('integer', "
        u"'real') AND typeof(FreeMB) IN ('integer', 'real') AND typeof(TotalMB) IN ('integer', "
        u"'real') AND FreeMB >= 0 AND TotalMB > 0 AND FreeMB <= TotalMB ORDER BY Date DESC "
        u"LIMIT 1"_s,
        {system});
    QList<HistoryPoint> points;
    if (!newest.next())
        return points;
    const double from = newest.value(0).toDouble() - (Forecast::WindowDays + 1);
    newest.finish();
    QSqlQuery q = db.exec(u"SELECT Date, Time, FreeMB, TotalMB FROM FreeSpaceHistory "
                          u"WHERE System = ? AND Date >= ? ORDER BY Date, Time"_s,
                          {system, from});
    while (q.next())
        points.append({q.value(0).toDouble(), q.value(1).isNull() ? 0.0 : q.value(1).toDouble(),
                       q.value(2).toDouble(), q.value(3).toDouble()});
    return points;
}

} // namespace

class TestForecastBook : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsOnlyTheNewestWeeksInOrder()
    {
        Fixture f;
        const QList<HistoryPoint> h = ForecastReader::recentHistory(f.db, u"Web"_s);
        // Days 68 to 799: the window of 730 days before the newest, and a day more.
        QCOMPARE(h.size(), 732);
        QCOMPARE(h.front().date, DateTimeValue::fromDate(First) + 68);
        QCOMPARE(h.back().date, DateTimeValue::fromDate(First) + 799);
        for (qsizetype i = 1; i < h.size(); ++i)
            QVERIFY(h[i - 1].date < h[i].date);
        QCOMPARE(h.back().freeMB, 1'000'000.0 - 849'000);
        QCOMPARE(h.back().totalMB, 1'000'000.0);
    }

    void namesCompareWithoutCase()
    {
        Fixture f;
        QCOMPARE(ForecastReader::recentHistory(f.db, u"wEB"_s).size(), 732);
        QVERIFY(ForecastReader::recentHistory(f.db, u"Nobody"_s).isEmpty());
    }

    void rowsWithoutFiguresAreLeftOut()
    {
        Fixture f;
        const double day = DateTimeValue::fromDate(First) + 10;
        f.db.exec(u"INSERT INTO FreeSpaceHistory (System, Date, Time, FreeMB, TotalMB) VALUES "
                  u"('Odd', ?, NULL, 10, 100), ('Odd', ?, 0.5, NULL, 100), "
                  u"('Odd', ?, 0.6, 10, NULL), ('Odd', NULL, 0.7, 10, 100)"_s,
                  {day, day, day});
        const QList<HistoryPoint> h = ForecastReader::recentHistory(f.db, u"Odd"_s);
        QCOMPARE(h.size(), 1);
        QCOMPARE(h.front().time, 0.0); // an empty time is midnight
    }

    void oneImpossibleRowChangesNothing_data()
    {
        // Date, Time, FreeMB and TotalMB of one row no disk could have given, Web's history
        // otherwise as it is; the newest day of that history is day 799.
        QTest::addColumn<QVariantList>("row");
        const double newest = DateTimeValue::fromDate(First) + 799;
        QTest::newRow("text as the free space")
            << QVariantList{newest - 3, 0.5, u"lots"_s, 1'000'000};
        QTest::newRow("an empty text as the size") << QVariantList{newest - 3, 0.5, 1000, u""_s};
        QTest::newRow("text as the date") << QVariantList{u"yesterday"_s, 0.5, 1000, 1'000'000};
        QTest::newRow("the newest row holds text")
            << QVariantList{newest + 1, 0.5, u"n/a"_s, 1'000'000};
        QTest::newRow("a date far beyond the calendar")
            << QVariantList{1e300, 0.5, 1000, 1'000'000};
        QTest::newRow("a date after the year 9999")
            << QVariantList{3'000'000, 0.5, 1000, 1'000'000};
        QTest::newRow("a date before the year 100") << QVariantList{-700'000, 0.5, 1000, 1'000'000};
        QTest::newRow("less than nothing free") << QVariantList{newest - 3, 0.5, -5, 1'000'000};
        QTest::newRow("more free than the disk holds")
            << QVariantList{newest - 3, 0.5, 2'000'000, 1'000'000};
        QTest::newRow("a disk of no size") << QVariantList{newest - 3, 0.5, 0, 0};
        QTest::newRow("a time of day past midnight")
            << QVariantList{newest - 3, 7.0, 1000, 1'000'000};
    }
    void oneImpossibleRowChangesNothing()
    {
        QFETCH(QVariantList, row);
        Fixture f;
        const DiskForecast before = ForecastReader::forecastFor(f.db, u"Web"_s);
        QCOMPARE(before.state, ForecastState::Filling);

        f.db.exec(u"INSERT INTO FreeSpaceHistory (System, Date, Time, FreeMB, TotalMB) "
                  u"VALUES ('Web', ?, ?, ?, ?)"_s,
                  row);
        const DiskForecast after = ForecastReader::forecastFor(f.db, u"Web"_s);

        QCOMPARE(after.state, before.state);
        QCOMPARE(after.lastSnapshot, before.lastSnapshot);
        QCOMPARE(after.daysLeft, before.daysLeft);
        QCOMPARE(after.lowDays, before.lowDays);
        QCOMPARE(after.highDays, before.highDays);
    }

    void bookHoldsEverySystemByName()
    {
        Fixture f;
        ForecastBook book;
        book.recomputeAll(f.db);
        QStringList names;
        for (const ForecastBook::Entry& e : book.entries())
            names << e.system;
        QCOMPARE(names, (QStringList{u"Idle"_s, u"New"_s, u"Web"_s}));

        QCOMPARE(book.find(u"WEB"_s)->state, ForecastState::Filling);
        // Day 799 holds 849,000 of 1,000,000 MB at 1,000 a day.
        QCOMPARE(book.find(u"Web"_s)->daysLeft, 151);
        QCOMPARE(book.find(u"idle"_s)->state, ForecastState::NotFilling);
        QCOMPARE(book.find(u"New"_s)->state, ForecastState::NotEnoughHistory);
        QVERIFY(!book.find(u"Gone"_s));
        QCOMPARE(book.sentence(u"web"_s), Forecast::sentence(*book.find(u"Web"_s)));
        QCOMPARE(book.sentence(u"Renamed"_s), u"not enough history"_s);
    }

    void recomputingOneSystem()
    {
        Fixture f;
        ForecastBook book;
        book.recomputeAll(f.db);
        addDailyHistory(f.file.path(), u"New"_s, First, 10, [](int d) { return 1000.0 * d; });
        book.recompute(f.db, u"new"_s);
        QCOMPARE(book.entries().size(), 3);
        QCOMPARE(book.find(u"New"_s)->state, ForecastState::Filling);
        book.recompute(f.db, u"Gone"_s);
        QCOMPARE(book.entries().size(), 4);
        QCOMPARE(book.entries().back().system, u"Gone"_s);
    }

    void aFailedReadKeepsTheBook()
    {
        Fixture f;
        ForecastBook book;
        book.recomputeAll(f.db);
        f.db.exec(u"DROP TABLE FreeSpaceHistory"_s);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, book.recomputeAll(f.db));
        QCOMPARE(book.entries().size(), 3);
        QCOMPARE(book.find(u"Web"_s)->state, ForecastState::Filling);
    }

    // Many systems are shared out between two connections and threads; the book must hold
    // what each system's forecast on its own gives, in the same order.
    void manySystemsGiveWhatEachGivesAlone()
    {
        QList<DatabaseCreator::NewSystem> systems;
        for (int i = 0; i < 300; ++i)
            systems.append({u"SRV%1"_s.arg(i, 3, 10, QChar(u'0')), u"/d"_s, {}});
        TestDatabase file(systems);
        DbConnection writer(u"Writer"_s);
        writer.setFileName(file.path());
        writer.open();
        writer.beginTransaction();
        for (int i = 0; i < 300; i += 3) {
            for (int d = 0; d < 40 + i % 50; ++d) {
                const double taken = 1000.0 * (i % 7) * d + 500.0 * (d % 5);
                writer.write(u"INSERT INTO FreeSpaceHistory (System, Date, Time, FreeMB, "
                             u"TotalMB) VALUES (?, ?, ?, ?, ?)"_s,
                             {systems[i].name, DateTimeValue::fromDate(First) + d, 0.5,
                              400'000 - taken, 400'000});
            }
        }
        writer.commit();
        writer.close();

        DbConnection db(u"Reader"_s);
        db.setFileName(file.path());
        db.open();
        ForecastBook book;
        book.recomputeAll(db);
        QCOMPARE(book.entries().size(), 300);
        int filling = 0;
        for (qsizetype i = 0; i < 300; ++i) {
            const ForecastBook::Entry& e = book.entries()[i];
            QCOMPARE(e.system, systems[i].name);
            // What the system's newest weeks give, read here the plain way.
            const DiskForecast alone = Forecast::forecast(newestWeeksReadPlainly(db, e.system));
            QCOMPARE(e.forecast.state, alone.state);
            QCOMPARE(e.forecast.lastSnapshot, alone.lastSnapshot);
            QCOMPARE(e.forecast.daysLeft, alone.daysLeft);
            QCOMPARE(e.forecast.lowDays, alone.lowDays);
            QCOMPARE(e.forecast.highDays, alone.highDays);
            filling += e.forecast.state == ForecastState::Filling;
        }
        QVERIFY(filling > 50);
    }
};

QTEST_GUILESS_MAIN(TestForecastBook)
#include "test_forecast_book.moc"
