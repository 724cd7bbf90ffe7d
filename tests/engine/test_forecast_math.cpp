#include "engine/ForecastMath.h"

#include <QTest>

#include <cmath>
#include <numbers>
#include <random>

using namespace ForecastMath;

namespace {

std::vector<Sample> line(int days, double start, double perDay)
{
    std::vector<Sample> samples;
    for (int d = 0; d < days; ++d)
        samples.push_back({1000.0 + d, start + perDay * d});
    return samples;
}

// A walk of the given step spread plus readings off it by the given transient spread.
std::vector<Sample> noisy(int days, double walk, double transient, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::normal_distribution<double> normal(0, 1);
    std::vector<Sample> samples;
    double path = 0;
    for (int d = 0; d < days; ++d) {
        path += 10 + walk * normal(random);
        samples.push_back({1000.0 + d, path + transient * normal(random)});
    }
    return samples;
}

} // namespace

class TestForecastMath : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void median_data()
    {
        QTest::addColumn<std::vector<double>>("values");
        QTest::addColumn<double>("expected");
        QTest::newRow("odd count, unsorted") << std::vector<double>{5, 1, 3} << 3.0;
        QTest::newRow("even count takes the mean of the middle two")
            << std::vector<double>{4, 1, 3, 2} << 2.5;
        QTest::newRow("one value") << std::vector<double>{7} << 7.0;
        QTest::newRow("a wild value does not move it")
            << std::vector<double>{1, 2, 3, 4, 1e12} << 3.0;
    }
    void median()
    {
        QFETCH(std::vector<double>, values);
        QFETCH(double, expected);
        QCOMPARE(ForecastMath::median(values), expected);
    }
    void medianOfNothingIsNaN() { QVERIFY(std::isnan(ForecastMath::median({}))); }

    void spreads_data()
    {
        QTest::addColumn<std::vector<double>>("values");
        QTest::addColumn<double>("robust");
        QTest::addColumn<double>("aroundMedian");
        QTest::newRow("constant values have none") << std::vector<double>{3, 3, 3} << 0.0 << 0.0;
        QTest::newRow("one value has none") << std::vector<double>{3} << 0.0 << 0.0;
        QTest::newRow("two values") << std::vector<double>{1, 3} << 1.4826 << std::sqrt(2.0);
        // |x - 3| = 2, 1, 0, 1, 997: the robust scale sees the typical 1, the other all of it.
        QTest::newRow("one wild value moves only the plain spread")
            << std::vector<double>{1, 2, 3, 4, 1000} << 1.4826
            << std::sqrt((4 + 1 + 0 + 1 + 997.0 * 997) / 4);
    }
    void spreads()
    {
        QFETCH(std::vector<double>, values);
        QFETCH(double, robust);
        QFETCH(double, aroundMedian);
        QCOMPARE(robustScale(values), robust);
        QCOMPARE(spreadAroundMedian(values), aroundMedian);
    }

    void walkShare_data()
    {
        QTest::addColumn<int>("gap");
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("expected");
        QTest::newRow("one-step differences keep the whole step") << 1 << 50 << 1.0;
        // 3 differences over 2 steps: shared = 3 * 2 + 2 * (2 * 1) = 10; 3/2 * (2 - 10/9).
        QTest::newRow("overlapping differences of a short run") << 2 << 3 << 4.0 / 3;
        QTest::newRow("a single difference says nothing") << 3 << 1 << 0.0;
        QTest::newRow("no gap") << 0 << 10 << 0.0;
    }
    void walkShare()
    {
        QFETCH(int, gap);
        QFETCH(int, count);
        QFETCH(double, expected);
        QCOMPARE(ForecastMath::walkShare(gap, count), expected);
    }
    void walkShareApproachesTheGapForLongRuns()
    {
        QVERIFY(std::abs(ForecastMath::walkShare(7, 100'000) - 7) < 0.01);
        QVERIFY(ForecastMath::walkShare(7, 20) < 7);
    }

    void noiseIsToldApart_data()
    {
        QTest::addColumn<double>("walk");
        QTest::addColumn<double>("transient");
        QTest::newRow("walk only") << 4.0 << 0.0;
        QTest::newRow("transient only") << 0.0 << 6.0;
        QTest::newRow("both") << 3.0 << 5.0;
    }
    void noiseIsToldApart()
    {
        QFETCH(double, walk);
        QFETCH(double, transient);
        const Noise n = estimateNoise(noisy(3000, walk, transient, 42), 7);
        // Long enough that each variance sits within a tenth of the larger one of the truth.
        const double scale = std::max(walk * walk, transient * transient);
        QVERIFY2(std::abs(n.walkMBPerSqrtDay * n.walkMBPerSqrtDay - walk * walk) < 0.1 * scale,
                 qPrintable(QString::number(n.walkMBPerSqrtDay)));
        QVERIFY2(std::abs(n.transientMB * n.transientMB - transient * transient) < 0.1 * scale,
                 qPrintable(QString::number(n.transientMB)));
    }
    void aLineHasNoNoise_data()
    {
        QTest::addColumn<std::vector<Sample>>("samples");
        QTest::newRow("a straight line") << line(30, 500, 12.5);
        // 30,000 deleted on day 40: the fall between the levels is no noise.
        std::vector<Sample> deleted = line(80, 50'000, 100);
        for (size_t d = 40; d < deleted.size(); ++d) {
            deleted[d].takenMB -= 30'000;
            deleted[d].segment = 1;
        }
        QTest::newRow("two levels") << deleted;
    }
    void aLineHasNoNoise()
    {
        QFETCH(std::vector<Sample>, samples);
        const Noise n = estimateNoise(samples, 7);
        QCOMPARE(n.walkMBPerSqrtDay, 0.0);
        QCOMPARE(n.transientMB, 0.0);
    }

    void transientAroundTrend_data()
    {
        QTest::addColumn<double>("walk");
        QTest::addColumn<double>("transient");
        QTest::addColumn<double>("expected");
        // Residuals -2, -1, 0, 1, 2: a robust scale of 1.4826.
        QTest::newRow("a rhythm the gaps missed counts") << 0.0 << 0.5 << 1.4826;
        QTest::newRow("what the walk explains does not") << 1.0 << 0.5 << 0.5;
        QTest::newRow("never less than the gaps said") << 0.0 << 3.0 << 3.0;
    }
    void transientAroundTrend()
    {
        QFETCH(double, walk);
        QFETCH(double, transient);
        QFETCH(double, expected);
        // Over 30 days a walk of 1 strays by 30 / 15 = 2 in variance, beyond 1.4826^2.
        QCOMPARE(ForecastMath::transientAroundTrend({-2, -1, 0, 1, 2}, Noise{transient, walk}, 30),
                 expected);
    }

    void segmentedPace_data()
    {
        QTest::addColumn<std::vector<Sample>>("samples");
        QTest::addColumn<int>("from");
        QTest::addColumn<double>("rate");
        QTest::newRow("a straight line") << line(30, 100, 5) << 0 << 5.0;
        // 30,000 deleted on day 20: the level after it is a level of its own, and the pace
        // before it still counts.
        std::vector<Sample> deleted = line(30, 100'000, 5);
        for (size_t d = 20; d < deleted.size(); ++d) {
            deleted[d].takenMB -= 30'000;
            deleted[d].segment = 1;
        }
        QTest::newRow("a level of its own after a bulk delete") << deleted << 0 << 5.0;
        QTest::newRow("the newest level alone") << deleted << 20 << 5.0;
        // 5 a day, then 20 a day from day 20: from day 20 on, only the new pace shows.
        std::vector<Sample> changed = line(30, 100, 5);
        for (size_t d = 20; d < changed.size(); ++d)
            changed[d].takenMB += 15.0 * static_cast<double>(d - 20);
        QTest::newRow("from a change of pace on") << changed << 20 << 20.0;
    }
    void segmentedPace()
    {
        QFETCH(std::vector<Sample>, samples);
        QFETCH(int, from);
        QFETCH(double, rate);
        const Pace p = ForecastMath::segmentedPace(samples, size_t(from), Noise{});
        QCOMPARE(p.rate, rate);
        QCOMPARE(p.rateSE, 0.0);
        QCOMPARE(p.from, size_t(from));
    }
    void paceErrorFollowsTheNoise_data()
    {
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("deleteDay");  // the second level's first day; 0: one level
        QTest::addColumn<int>("missingDay"); // a day without a sample; -1: none
        QTest::newRow("one level") << 30 << 0 << -1;
        QTest::newRow("two levels") << 30 << 12 << -1;
        QTest::newRow("a day missing") << 30 << 12 << 20;
        QTest::newRow("a short one") << 3 << 0 << -1;
    }
    void paceErrorFollowsTheNoise()
    {
        QFETCH(int, days);
        QFETCH(int, deleteDay);
        QFETCH(int, missingDay);
        std::vector<Sample> samples;
        for (const Sample& s : line(days, 0, 1)) {
            const int day = int(s.at - 1000);
            if (day != missingDay)
                samples.push_back({s.at, s.takenMB, deleteDay > 0 && day >= deleteDay ? 1 : 0});
        }
        // The pace is a weighted sum of the readings, with weights (t - mean t of its level)
        // / sxx; its variance, summed out the long way over every pair of readings: the walk
        // two readings share is the time up to the earlier one.
        std::vector<double> weights;
        double sxx = 0;
        for (const int level : {0, 1}) {
            double sum = 0;
            int count = 0;
            for (const Sample& s : samples)
                if (s.segment == level) {
                    sum += s.at;
                    ++count;
                }
            for (const Sample& s : samples)
                if (s.segment == level) {
                    weights.push_back(s.at - sum / count);
                    sxx += weights.back() * weights.back();
                }
        }
        double white = 0;
        double walk = 0;
        for (size_t i = 0; i < weights.size(); ++i) {
            white += weights[i] * weights[i] / (sxx * sxx);
            for (size_t j = 0; j < weights.size(); ++j)
                walk += weights[i] * weights[j] / (sxx * sxx) *
                        (std::min(samples[i].at, samples[j].at) - samples.front().at);
        }
        QVERIFY(std::abs(ForecastMath::segmentedPace(samples, 0, Noise{3, 0}).rateSE -
                         std::sqrt(9 * white)) < 1e-12);
        QVERIFY(std::abs(ForecastMath::segmentedPace(samples, 0, Noise{0, 2}).rateSE -
                         std::sqrt(4 * walk)) < 1e-12);
    }
    void noLineThroughSingleSamples()
    {
        std::vector<Sample> samples = line(3, 0, 1);
        samples[1].segment = 1;
        samples[2].segment = 2;
        QVERIFY(std::isnan(ForecastMath::segmentedPace(samples, 0, Noise{1, 1}).rateSE));
        QVERIFY(std::isnan(ForecastMath::segmentedPace(samples, 3, Noise{1, 1}).rateSE));
    }
    void residualsAroundEachLevel()
    {
        // Two levels, 5 a day, with one reading 7 above the line in each.
        std::vector<Sample> samples = line(6, 100, 5);
        for (size_t d = 3; d < samples.size(); ++d) {
            samples[d].takenMB -= 1000;
            samples[d].segment = 1;
        }
        samples[1].takenMB += 7;
        samples[4].takenMB += 7;
        QCOMPARE(ForecastMath::residualsAround(samples, 0, 5),
                 (std::vector<double>{0, 7, 0, 0, 7, 0}));
        QCOMPARE(ForecastMath::residualsAround(samples, 4, 5), (std::vector<double>{3.5, -3.5}));
    }

    void longestSteadyPace_data()
    {
        QTest::addColumn<std::vector<Pace>>("paces"); // shortest span first
        QTest::addColumn<int>("chosen");
        const double nan = std::nan("");
        // Errors of 4, 2, 1 and 0.5: a pace differs from a shorter one by the square root of
        // the difference of their variances, times 2.5 at most.
        QTest::newRow("all agree")
            << std::vector<Pace>{{10, 4}, {12, 2}, {11, 1}, {11.5, 0.5}} << 3;
        QTest::newRow("the pace changed two spans back")
            << std::vector<Pace>{{10, 4}, {12, 2}, {4, 1}, {4, 0.5}} << 1;
        // 10 is within 2.5 * sqrt(4 - 1) = 4.3 of its neighbour's 6, not within
        // 2.5 * sqrt(16 - 1) = 9.7 of the shortest's 0.
        QTest::newRow("every shorter span must agree")
            << std::vector<Pace>{{0, 4}, {6, 2}, {10, 1}} << 1;
        QTest::newRow("too short to draw a line")
            << std::vector<Pace>{{0, nan}, {10, 2}, {10.5, 1}} << 2;
        QTest::newRow("no line at all") << std::vector<Pace>{{0, nan}, {0, nan}} << 0;
    }
    void longestSteadyPace()
    {
        QFETCH(std::vector<Pace>, paces);
        QFETCH(int, chosen);
        QCOMPARE(ForecastMath::longestSteadyPace(paces, 2.5), size_t(chosen));
    }

    void paceChangeShare_data()
    {
        QTest::addColumn<std::vector<Pace>>("paces");
        QTest::addColumn<int>("steady");
        QTest::addColumn<double>("share");
        const std::vector<Pace> picked{{20, 1}, {15, 1}, {10, 1}};
        QTest::newRow("held over the whole history") << picked << 2 << 0.0;
        QTest::newRow("slower before") << picked << 0 << 0.25;
        QTest::newRow("faster before") << std::vector<Pace>{{10, 1}, {15, 1}} << 0 << 0.5;
        QTest::newRow("at most the whole pace") << std::vector<Pace>{{10, 1}, {45, 1}} << 0 << 1.0;
        QTest::newRow("no growth to share") << std::vector<Pace>{{0, 1}, {5, 1}} << 0 << 0.0;
    }
    void paceChangeShare()
    {
        QFETCH(std::vector<Pace>, paces);
        QFETCH(int, steady);
        QFETCH(double, share);
        QCOMPARE(ForecastMath::paceChangeShare(paces, size_t(steady)), share);
    }

    void levelAt_data()
    {
        QTest::addColumn<std::vector<Sample>>("samples");
        QTest::addColumn<double>("expected");
        QTest::newRow("on the line") << line(20, 0, 10) << 190.0;
        std::vector<Sample> odd = line(20, 0, 10);
        odd.back().takenMB = 1e9;
        QTest::newRow("one odd latest reading") << odd << 190.0;
    }
    void levelAt()
    {
        QFETCH(std::vector<Sample>, samples);
        QFETCH(double, expected);
        QCOMPARE(ForecastMath::levelAt(samples, 10, samples.back().at, samples.back().at - 7, 3),
                 expected);
    }
    void levelTakesAtLeastTheNewest()
    {
        // Only two samples in the last week: the third newest is taken too.
        const std::vector<Sample> samples{{0, 0}, {1, 10}, {30, 300}, {31, 310}};
        QCOMPARE(ForecastMath::levelAt(samples, 10, 31, 24, 3), 310.0);
    }

    void crossingDays_data()
    {
        QTest::addColumn<double>("rateSE");
        QTest::addColumn<double>("walk");
        QTest::addColumn<double>("paceRise");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("expected");
        QTest::addColumn<double>("high");
        // 100 MB of headroom at 10 MB a day; z = 1 for round figures.
        QTest::newRow("no noise: one day for all three")
            << 0.0 << 0.0 << 0.0 << 10.0 << 10.0 << 10.0;
        // 10h +- 2h = 100: h = 100 / 12 and 100 / 8.
        QTest::newRow("an uncertain rate") << 2.0 << 0.0 << 0.0 << 100.0 / 12 << 10.0 << 12.5;
        // 10h +- sqrt(h) * 10 = 100 with x = sqrt(h): 10x^2 +- 10x - 100 = 0.
        QTest::newRow("a walk") << 0.0 << 10.0 << 0.0 << std::pow((-1 + std::sqrt(41.0)) / 2, 2)
                                << 10.0 << std::pow((1 + std::sqrt(41.0)) / 2, 2);
        // The pace may rise: only the low end moves, to 10h + sqrt(3 h^3 / 3) = 100, where
        // h = 7.81521.
        QTest::newRow("a rising pace moves only the early end")
            << 0.0 << 0.0 << 3.0 << 7.81521 << 10.0 << 10.0;
    }
    void crossingDays()
    {
        QFETCH(double, rateSE);
        QFETCH(double, walk);
        QFETCH(double, paceRise);
        QFETCH(double, low);
        QFETCH(double, expected);
        QFETCH(double, high);
        Projection p;
        p.headroomMB = 100;
        p.rate = 10;
        p.rateSE = rateSE;
        p.paceRise = paceRise;
        p.noise.walkMBPerSqrtDay = walk;
        const Crossing c = ForecastMath::crossingDays(p, 1.0, 36500);
        const double minute = 1.0 / 1440;
        QVERIFY2(std::abs(c.low - low) < minute, qPrintable(QString::number(c.low)));
        QVERIFY2(std::abs(c.expected - expected) < minute, qPrintable(QString::number(c.expected)));
        QVERIFY2(std::abs(c.high - high) < minute, qPrintable(QString::number(c.high)));
    }
    void aShiftingPaceMovesBothEnds()
    {
        // A shift reached at once: the early end at 10h + 0.5 * 10h = 100, the late one at
        // 10h - 0.25 * 10h = 100.
        Projection p;
        p.headroomMB = 100;
        p.rate = 10;
        p.riseShare = 0.5;
        p.fallShare = 0.25;
        p.shiftDays = 1e-9;
        Crossing c = ForecastMath::crossingDays(p, 1.0, 36500);
        const double minute = 1.0 / 1440;
        QVERIFY2(std::abs(c.low - 100.0 / 15) < minute, qPrintable(QString::number(c.low)));
        QVERIFY2(std::abs(c.expected - 10) < minute, qPrintable(QString::number(c.expected)));
        QVERIFY2(std::abs(c.high - 100.0 / 7.5) < minute, qPrintable(QString::number(c.high)));
        // Reached over weeks, a shift moves a near end less than a far one.
        p.shiftDays = 56;
        c = ForecastMath::crossingDays(p, 1.0, 36500);
        QVERIFY(c.low > 100.0 / 15 && c.low < 10);
        QVERIFY(c.high < 100.0 / 7.5 && c.high > 10);
    }
    void speedUpOf_data()
    {
        QTest::addColumn<double>("steadyRate");
        QTest::addColumn<double>("steadyDays");
        QTest::addColumn<double>("longerRate");
        QTest::addColumn<double>("longerDays");
        QTest::addColumn<double>("days"); // 0: none
        // e times the pace over 14 days against 28: centred 7 days apart, so e-folds in 7
        // days, held back to the quickest that counts.
        QTest::newRow("quicker than can be told")
            << 10 * std::numbers::e << 14.0 << 10.0 << 28.0 << 60.0;
        // Paces centred 196 days apart.
        QTest::newRow("a slow rise") << 10.0 << 56.0 << 9.0 << 448.0 << 196 / std::log(10.0 / 9);
        QTest::newRow("a pace that fell") << 9.0 << 56.0 << 10.0 << 112.0 << 0.0;
        QTest::newRow("no growth before") << 9.0 << 56.0 << 0.0 << 112.0 << 0.0;
    }
    void speedUpOf()
    {
        QFETCH(double, steadyRate);
        QFETCH(double, steadyDays);
        QFETCH(double, longerRate);
        QFETCH(double, longerDays);
        QFETCH(double, days);
        const SpeedUp s =
            ForecastMath::speedUpOf({steadyRate, 1}, steadyDays, {longerRate, 1}, longerDays);
        QVERIFY2(std::abs(s.days - days) < 1e-9, qPrintable(QString::number(s.days)));
        if (days > 0) // the pace now, half the steady span on from the steady pace
            QCOMPARE(s.rateNow, steadyRate * std::exp(steadyDays / 2 / days));
    }
    void aRisingPaceReachesTheEarlyEndSooner()
    {
        // 10 a day into 1,000 MB, no noise: 100 days; a pace that e-folds every 100 days
        // takes 1,000 MB once 10 * 100 * (e^(h / 100) - 1) = 1,000, at h = 100 ln 2.
        Projection p;
        p.headroomMB = 1000;
        p.rate = 10;
        p.speedUp = {100, 10};
        const Crossing c = ForecastMath::crossingDays(p, 1.0, 36500);
        QVERIFY2(std::abs(c.low - 100 * std::log(2.0)) < 1.0 / 1440,
                 qPrintable(QString::number(c.low)));
        QVERIFY(std::abs(c.expected - 100) < 1.0 / 1440);
        QVERIFY(std::abs(c.high - 100) < 1.0 / 1440);
    }
    void expectedAimsOneTransientDeviationEarly()
    {
        Projection p;
        p.headroomMB = 100;
        p.rate = 10;
        p.noise.transientMB = 20;
        QVERIFY(std::abs(ForecastMath::crossingDays(p, 1.0, 36500).expected - 8) < 1.0 / 1440);
    }
    void noHeadroomIsNow()
    {
        Projection p;
        p.rate = 10;
        const Crossing c = ForecastMath::crossingDays(p, 1.28, 36500);
        QCOMPARE(c.low, 0.0);
        QCOMPARE(c.expected, 0.0);
        QCOMPARE(c.high, 0.0);
    }

    void firstReached_data()
    {
        QTest::addColumn<double>("threshold");
        QTest::addColumn<double>("expected");
        QTest::newRow("reached at once") << -1.0 << 0.0;
        QTest::newRow("within a minute") << 3.3 << 3.3;
        QTest::newRow("far out") << 9000.0 << 9000.0;
        QTest::newRow("never: the limit") << 1e9 << 36500.0;
    }
    void firstReached()
    {
        QFETCH(double, threshold);
        QFETCH(double, expected);
        const double h =
            ForecastMath::firstReached([&](double x) { return x >= threshold; }, 0, 36500);
        QVERIFY2(h >= expected && h - expected < 1.0 / 1440, qPrintable(QString::number(h)));
    }

    void quantiles_data()
    {
        QTest::addColumn<double>("share");
        QTest::addColumn<double>("degrees"); // 0: the normal distribution
        QTest::addColumn<double>("expected");
        QTest::addColumn<double>("tolerance");
        QTest::newRow("normal 80 %") << 0.8 << 0.0 << 1.28155 << 1e-4;
        QTest::newRow("normal 95 %") << 0.95 << 0.0 << 1.95996 << 1e-4;
        QTest::newRow("t, 2 degrees") << 0.8 << 2.0 << 1.88562 << 0.025 * 1.88562;
        QTest::newRow("t, 10 degrees") << 0.8 << 10.0 << 1.37218 << 1e-3;
        QTest::newRow("t, many degrees is normal") << 0.8 << 1e6 << 1.28155 << 1e-4;
    }
    void quantiles()
    {
        QFETCH(double, share);
        QFETCH(double, degrees);
        QFETCH(double, expected);
        QFETCH(double, tolerance);
        const double z = degrees > 0 ? twoSidedT(share, degrees) : twoSidedZ(share);
        QVERIFY2(std::abs(z - expected) <= tolerance, qPrintable(QString::number(z)));
    }
};

QTEST_GUILESS_MAIN(TestForecastMath)
#include "test_forecast_math.moc"
