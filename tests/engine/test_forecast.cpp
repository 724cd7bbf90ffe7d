#include "data/DateTimeValue.h"
#include "engine/Forecast.h"

#include <QTest>

#include <cmath>
#include <functional>
#include <limits>
#include <random>

using namespace Qt::Literals::StringLiterals;

namespace {

const QDate FirstDay(2007, 1, 1);
constexpr double TwoAm = 2.0 / 24;

// One snapshot a day at 02:00 of a disk of `total` MB holding taken(day) MB.
QList<HistoryPoint> daily(
    int days, const std::function<double(int)>& taken,
    const std::function<double(int)>& total = [](int) { return 100'000.0; })
{
    QList<HistoryPoint> h;
    for (int d = 0; d < days; ++d)
        h.append({DateTimeValue::fromDate(FirstDay) + d, TwoAm, total(d) - taken(d), total(d)});
    return h;
}

std::function<double(int)> noisy(double start, double perDay, double spread, unsigned seed)
{
    auto random = std::make_shared<std::mt19937_64>(seed);
    return [=](int d) {
        return start + perDay * d + spread * std::normal_distribution<double>(0, 1)(*random);
    };
}

DiskForecast filling(int days, int low, int high)
{
    DiskForecast f;
    f.state = ForecastState::Filling;
    f.lastSnapshot = QDate(2007, 3, 11);
    f.daysLeft = days;
    f.lowDays = low;
    f.highDays = high;
    return f;
}

} // namespace

class TestForecast : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void states_data()
    {
        QTest::addColumn<QList<HistoryPoint>>("history");
        QTest::addColumn<ForecastState>("state");
        QTest::addColumn<int>("daysLeft"); // -1: not checked

        const auto notEnough = ForecastState::NotEnoughHistory;
        const auto notFilling = ForecastState::NotFilling;
        const auto fills = ForecastState::Filling;
        const auto steady = [](int d) { return 50'000.0 + 1000 * d; };

        QTest::newRow("no history") << QList<HistoryPoint>{} << notEnough << -1;
        QList<HistoryPoint> minutes;
        for (int i = 0; i < 6; ++i)
            minutes.append({DateTimeValue::fromDate(FirstDay), 0.5 + i / 1440.0,
                            50'000.0 - 1000 * i, 100'000});
        QTest::newRow("readings minutes apart") << minutes << notEnough << -1;
        QTest::newRow("four days of fast growth") << daily(4, steady) << notEnough << -1;
        // Day 4 holds 54,000 of 100,000 MB and adds 1,000 a day: 46 days, no noise at all.
        QTest::newRow("five days of steady growth") << daily(5, steady) << fills << 46;

        QTest::newRow("flat with noise") << daily(56, noisy(50'000, 0, 500, 1)) << notFilling << -1;
        QTest::newRow("shrinking") << daily(56, noisy(80'000, -300, 200, 2)) << notFilling << -1;
        QTest::newRow("growth lost in the noise")
            << daily(56, noisy(50'000, 10, 2000, 3)) << notFilling << -1;
        // 1 MB a day into 90,000 MB: significant, but 245 years away.
        QTest::newRow("a date past a decade")
            << daily(30, [](int d) { return 10'000.0 + d; }) << notFilling << -1;

        // 1,000 a day, 30,000 deleted on day 43, growth goes on: day 49 holds 39,000.
        QTest::newRow("growth resumes after a bulk delete")
            << daily(50, [](int d) { return 20'000.0 + 1000 * d - (d >= 43 ? 30'000 : 0); })
            << fills << 61;
        // Grown from 100,000 to 200,000 MB on day 35; day 41 holds 71,000: the growth seen
        // before the size changed still counts.
        QTest::newRow("a grown disk keeps its trend")
            << daily(
                   42, [](int d) { return 30'000.0 + 1000 * d; },
                   [](int d) { return d < 35 ? 100'000.0 : 200'000.0; })
            << fills << 129;
        QTest::newRow("full now") << daily(10, [](int d) { return 91'000.0 + 1000 * d; }) << fills
                                  << 0;

        QList<HistoryPoint> shuffled = daily(5, steady);
        std::swap(shuffled[0], shuffled[3]);
        shuffled.append({DateTimeValue::fromDate(FirstDay) + 9, TwoAm, 10, 0});
        shuffled.append({DateTimeValue::fromDate(FirstDay) + 9, TwoAm,
                         std::numeric_limits<double>::quiet_NaN(), 100'000});
        QTest::newRow("out of order, with unusable rows") << shuffled << fills << 46;

        // The last snapshot is at 23:00 with half a day's growth left: full at 11:00 the next
        // day, one day after the last snapshot's date.
        QList<HistoryPoint> late = daily(5, [](int d) { return 99'500.0 + 1000 * (d - 4); });
        for (HistoryPoint& p : late)
            p.time = 23.0 / 24;
        QTest::newRow("days count from the last snapshot's date") << late << fills << 1;
    }
    void states()
    {
        QFETCH(QList<HistoryPoint>, history);
        QFETCH(ForecastState, state);
        QFETCH(int, daysLeft);
        const DiskForecast f = Forecast::forecast(history);
        QCOMPARE(f.state, state);
        if (daysLeft >= 0) {
            QCOMPARE(f.daysLeft, daysLeft);
            QVERIFY(f.lowDays <= f.daysLeft && f.daysLeft <= f.highDays);
        }
        if (state != ForecastState::Filling)
            QVERIFY(!f.fullDate().isValid());
    }

    void noiseWidensTheRangeAroundTheTruth()
    {
        // 1,000 a day give or take, into 100,000 MB: day 55 holds about 75,000, so about 25
        // days are left, and the range must widen with the noise.
        const DiskForecast quiet = Forecast::forecast(daily(56, noisy(20'000, 1000, 50, 4)));
        const DiskForecast loud = Forecast::forecast(daily(56, noisy(20'000, 1000, 3000, 4)));
        QCOMPARE(quiet.state, ForecastState::Filling);
        QCOMPARE(loud.state, ForecastState::Filling);
        QVERIFY(std::abs(quiet.daysLeft - 25) <= 1);
        QVERIFY(quiet.lowDays <= 25 && 25 <= quiet.highDays);
        QVERIFY(loud.highDays - loud.lowDays > quiet.highDays - quiet.lowDays + 5);
    }

    void datesCountFromTheLastSnapshot()
    {
        const DiskForecast f =
            Forecast::forecast(daily(5, [](int d) { return 50'000.0 + 1000 * d; }));
        QCOMPARE(f.lastSnapshot, FirstDay.addDays(4));
        QCOMPARE(f.fullDate(), FirstDay.addDays(4 + 46));
        QCOMPARE(f.lowDate(), FirstDay.addDays(4 + f.lowDays));
        QCOMPARE(f.highDate(), FirstDay.addDays(4 + f.highDays));
    }

    void sentence_data()
    {
        QTest::addColumn<DiskForecast>("forecast");
        QTest::addColumn<QString>("text");
        DiskForecast none;
        QTest::newRow("not enough history") << none << u"not enough history"_s;
        DiskForecast flat;
        flat.state = ForecastState::NotFilling;
        QTest::newRow("not filling") << flat << u"not filling"_s;
        QTest::newRow("days and range") << filling(41, 33, 52) << u"in 41 days (33\u201352)"_s;
        QTest::newRow("one day") << filling(1, 0, 3) << u"in 1 day (0\u20133)"_s;
        QTest::newRow("later the same day") << filling(0, 0, 1) << u"in 0 days (0\u20131)"_s;
        QTest::newRow("full already") << filling(0, 0, 0) << u"full"_s;
    }
    void sentence()
    {
        QFETCH(DiskForecast, forecast);
        QFETCH(QString, text);
        QCOMPARE(Forecast::sentence(forecast), text);
    }
    void stateNames()
    {
        QCOMPARE(Forecast::stateName(ForecastState::Filling), u"filling"_s);
        QCOMPARE(Forecast::stateName(ForecastState::NotFilling), u"not filling"_s);
        QCOMPARE(Forecast::stateName(ForecastState::NotEnoughHistory), u"not enough history"_s);
    }

    void trendStart_data()
    {
        QTest::addColumn<QList<HistoryPoint>>("history");
        QTest::addColumn<int>("start");
        QTest::newRow("steady growth") << daily(30, [](int d) { return 1000.0 * d; }) << 0;
        QTest::newRow("a bulk delete")
            << daily(30, [](int d) { return 50'000.0 + 1000 * d - (d >= 20 ? 30'000 : 0); }) << 20;
        QTest::newRow("two deletes: the newer") << daily(40, [](int d) {
            return 80'000.0 + 1000 * d - (d >= 10 ? 30'000 : 0) - (d >= 30 ? 30'000 : 0);
        }) << 30;
        // Logs of 500 a day cleared every seventh day land back on the week's least reading.
        QTest::newRow("a weekly log rotation")
            << daily(56, [](int d) { return 1000.0 * d + 500 * (d % 7); }) << 0;
        QTest::newRow("a temporary file comes and goes")
            << daily(30, [](int d) { return 1000.0 * d + (d == 10 ? 20'000 : 0); }) << 0;
        QTest::newRow("falls within the noise") << daily(56, noisy(50'000, 100, 800, 5)) << 0;
    }
    void trendStart()
    {
        QFETCH(QList<HistoryPoint>, history);
        QFETCH(int, start);
        QCOMPARE(Forecast::trendStart(history), start);
    }

    void dailySamplesTakeTheMedianOfADay()
    {
        QList<HistoryPoint> h;
        const double day = DateTimeValue::fromDate(FirstDay);
        for (double free : {900.0, 100.0, 500.0})
            h.append({day, 0.25 + free / 10'000, free, 1000});
        h.append({day + 1, 0.5, 400, 1000});
        const std::vector<ForecastMath::Sample> s = Forecast::dailySamples(h, 0);
        QCOMPARE(s.size(), size_t(2));
        QCOMPARE(s[0].takenMB, 500.0);
        QCOMPARE(s[0].at, day + 0.25 + 0.05);
        QCOMPARE(s[1].takenMB, 600.0);
        QCOMPARE(Forecast::dailySamples(h, 3).size(), size_t(1));
    }
};

QTEST_GUILESS_MAIN(TestForecast)
#include "test_forecast.moc"
