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

// A disk that does not fill: logs of 500 a day cleared every seventh day, each clearing
// landing 1 MB below the one before.
double smoothRotation(int day)
{
    return 50'000.0 - day / 7 + 500 * (day % 7);
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
        QTest::newRow("flat with a smooth weekly rotation")
            << daily(65, smoothRotation) << notFilling << -1;
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
        // 100 a day for 300 days, then 1,000 a day: day 329 holds 69,000 of 100,000 MB, and
        // the new pace alone counts.
        QTest::newRow("the pace picks up") << daily(330, [](int d) {
            return d < 300 ? 10'000.0 + 100 * d : 40'000.0 + 1000 * (d - 300);
        }) << fills << 31;
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

    void yearsOfHistoryTellSlowGrowthFromNoise()
    {
        // 10 a day under noise of 2,000 is lost in eight weeks, but not in 400 days, where
        // the disk holds about 84,000 of 100,000 MB: 1,600 days left.
        QCOMPARE(Forecast::forecast(daily(56, noisy(80'000, 10, 2000, 3))).state,
                 ForecastState::NotFilling);
        const DiskForecast f = Forecast::forecast(daily(400, noisy(80'000, 10, 2000, 3)));
        QCOMPARE(f.state, ForecastState::Filling);
        QVERIFY(f.lowDays <= 1600 && 1600 <= f.highDays);
        QVERIFY(std::abs(f.daysLeft - 1600) < 300);
    }

    void aMonthlyHistoryHasNoiseToo()
    {
        // A reading on the first of each month for two years, 30 a day under noise of 3,000:
        // the gaps between readings say nothing about the noise, the spread around the
        // trend does. Day 690 holds about 70,700 of 100,000 MB: about 980 days left.
        for (const unsigned seed : {11u, 12u, 13u, 14u, 15u}) {
            const auto taken = noisy(50'000, 30, 3000, seed);
            QList<HistoryPoint> h;
            for (int month = 0; month < 24; ++month)
                h.append({DateTimeValue::fromDate(FirstDay.addMonths(month)), TwoAm,
                          100'000 - taken(int(FirstDay.daysTo(FirstDay.addMonths(month)))),
                          100'000});
            const DiskForecast f = Forecast::forecast(h);
            if (f.state == ForecastState::Filling)
                QVERIFY2(f.lowDays < 980 && 980 < f.highDays,
                         qPrintable(QString::number(seed) + u' ' + Forecast::sentence(f)));
        }
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

    void levelStarts_data()
    {
        QTest::addColumn<QList<HistoryPoint>>("history");
        QTest::addColumn<std::vector<size_t>>("starts");
        QTest::newRow("steady growth")
            << daily(30, [](int d) { return 1000.0 * d; }) << std::vector<size_t>{};
        QTest::newRow("a bulk delete")
            << daily(30, [](int d) { return 50'000.0 + 1000 * d - (d >= 20 ? 30'000 : 0); })
            << std::vector<size_t>{20};
        QTest::newRow("two deletes") << daily(40, [](int d) {
            return 80'000.0 + 1000 * d - (d >= 10 ? 30'000 : 0) - (d >= 30 ? 30'000 : 0);
        }) << std::vector<size_t>{10, 30};
        // Logs of 500 a day cleared every seventh day land back on the week's least reading.
        QTest::newRow("a weekly log rotation")
            << daily(56, [](int d) { return 1000.0 * d + 500 * (d % 7); }) << std::vector<size_t>{};
        QTest::newRow("a temporary file comes and goes")
            << daily(30, [](int d) { return 1000.0 * d + (d == 10 ? 20'000 : 0); })
            << std::vector<size_t>{};
        // Every step but the rotation's is the same, so the usual step spreads by nothing, and
        // each rotation lands 1 MB below the one before.
        QTest::newRow("a smooth rotation landing a little lower")
            << daily(56, smoothRotation) << std::vector<size_t>{};
        QTest::newRow("falls within the noise")
            << daily(56, noisy(50'000, 100, 800, 5)) << std::vector<size_t>{};
        // A disk emptied by about 2,000 a day falls every day: no day falls by more than usual.
        QTest::newRow("a disk being emptied")
            << daily(40, noisy(90'000, -2000, 100, 6)) << std::vector<size_t>{};
        // Several snapshots a day, most of them the same: the days count, not the snapshots.
        QList<HistoryPoint> often;
        for (const HistoryPoint& p : daily(30, [](int d) { return 90'000.0 - 1500 * d; }))
            for (int i = 0; i < 4; ++i)
                often.append({p.date, p.time + i / 10.0, p.freeMB, p.totalMB});
        QTest::newRow("a disk emptied, snapshots several times a day")
            << often << std::vector<size_t>{};
    }
    void levelStarts()
    {
        QFETCH(QList<HistoryPoint>, history);
        QFETCH(std::vector<size_t>, starts);
        QCOMPARE(Forecast::levelStarts(Forecast::dailySamples(history, 0)), starts);
    }
    void samplesKnowTheirLevel()
    {
        const QList<HistoryPoint> h =
            daily(30, [](int d) { return 80'000.0 + 1000 * d - (d >= 10 ? 30'000 : 0); });
        const std::vector<ForecastMath::Sample> s = Forecast::segmentedSamples(h);
        QCOMPARE(s.size(), size_t(30));
        QCOMPARE(s[9].segment, 0);
        QCOMPARE(s[10].segment, 1);
        QCOMPARE(s[29].segment, 1);
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
