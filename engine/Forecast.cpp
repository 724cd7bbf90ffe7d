#include "engine/Forecast.h"

#include "data/DateTimeValue.h"

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;
using namespace ForecastMath;

namespace {

double momentOf(const HistoryPoint& p)
{
    return p.date + p.time;
}

double takenOf(const HistoryPoint& p)
{
    return p.totalMB - p.freeMB;
}

// A snapshot no disk could have given (a date outside the calendar, less than nothing free,
// more free than the disk holds) says nothing about the trend; it is left out like a
// missing one rather than bending the forecast of the whole system.
bool usable(const HistoryPoint& p)
{
    return DateTimeValue::isShownDay(p.date) && std::isfinite(p.time) && p.time >= 0 &&
           p.time < 1 && std::isfinite(p.freeMB) && std::isfinite(p.totalMB) && p.totalMB > 0 &&
           p.freeMB >= 0 && p.freeMB <= p.totalMB;
}

// A fall of the space taken this many times the typical step is no day-to-day noise.
constexpr double JumpScales = 6.0;
// ... and must land this many below the least the week before held.
constexpr double BelowWeekScales = 3.0;
constexpr double WeekDays = 7.0;
// The level is the median of the last week, and of at least this many samples.
constexpr int LevelSamples = 3;
// Day-to-day gaps up to a week tell walk from transient noise.
constexpr int LongestNoiseGapDays = 7;
// A date past this is not worth an integer; the range is cut there.
constexpr double LongestRangeDays = 100.0 * 365;
// The noise is estimated from overlapping differences of the samples, worth about one
// independent figure for every five samples; the range widens accordingly (Student's t).
constexpr double SamplesPerDegreeOfFreedom = 5;

double spanOf(const std::vector<Sample>& samples)
{
    return samples.empty() ? 0.0 : samples.back().at - samples.front().at;
}

int daysAfter(double lastDate, double moment)
{
    return static_cast<int>(std::floor(moment) - std::floor(lastDate));
}

// The noise, widened by what the spread around the trend shows beyond the day-to-day gaps.
Noise noiseAround(const std::vector<Sample>& samples, double lastMoment)
{
    Noise noise = estimateNoise(samples, LongestNoiseGapDays);
    const Trend rough = resistantTrend(samples, noise);
    const double level =
        levelAt(samples, rough.slope, lastMoment, lastMoment - WeekDays, LevelSamples);
    std::vector<double> residuals;
    for (const Sample& s : samples)
        residuals.push_back(s.takenMB - (level - rough.slope * (lastMoment - s.at)));
    noise.transientMB = transientAroundTrend(residuals, noise, spanOf(samples));
    return noise;
}

} // namespace

QDate DiskForecast::fullDate() const
{
    return state == ForecastState::Filling ? lastSnapshot.addDays(daysLeft) : QDate();
}

QDate DiskForecast::lowDate() const
{
    return state == ForecastState::Filling ? lastSnapshot.addDays(lowDays) : QDate();
}

QDate DiskForecast::highDate() const
{
    return state == ForecastState::Filling ? lastSnapshot.addDays(highDays) : QDate();
}

namespace Forecast {

int trendStart(const QList<HistoryPoint>& points)
{
    std::vector<double> steps;
    for (qsizetype i = 1; i < points.size(); ++i)
        steps.push_back(takenOf(points[i]) - takenOf(points[i - 1]));
    const double stepScale = robustScale(steps);

    int start = 0;
    for (qsizetype i = 1; i < points.size(); ++i) {
        const double drop = takenOf(points[i - 1]) - takenOf(points[i]);
        if (drop <= JumpScales * stepScale)
            continue;
        // A rotation gives back what its week added, so it lands near the week's least
        // reading; a bulk delete goes clearly below it.
        double weekLeast = takenOf(points[i - 1]);
        for (qsizetype k = i - 1;
             k >= start && momentOf(points[k]) >= momentOf(points[i]) - WeekDays; --k)
            weekLeast = std::min(weekLeast, takenOf(points[k]));
        if (takenOf(points[i]) < weekLeast - BelowWeekScales * stepScale)
            start = static_cast<int>(i);
    }
    return start;
}

std::vector<Sample> dailySamples(const QList<HistoryPoint>& points, int from)
{
    std::vector<Sample> samples;
    std::vector<double> moments;
    std::vector<double> taken;
    auto flush = [&] {
        if (moments.empty())
            return;
        // Most days hold one snapshot: its own figures, without copying it to find them.
        if (moments.size() == 1)
            samples.push_back({moments.front(), taken.front()});
        else
            samples.push_back({median(moments), median(taken)});
        moments.clear();
        taken.clear();
    };
    double day = std::nan("");
    for (qsizetype i = std::max(from, 0); i < points.size(); ++i) {
        const double moment = momentOf(points[i]);
        if (std::floor(moment) != day) {
            flush();
            day = std::floor(moment);
        }
        moments.push_back(moment);
        taken.push_back(takenOf(points[i]));
    }
    flush();
    return samples;
}

DiskForecast forecast(QList<HistoryPoint> history)
{
    history.removeIf([](const HistoryPoint& p) { return !usable(p); });
    std::stable_sort(
        history.begin(), history.end(),
        [](const HistoryPoint& a, const HistoryPoint& b) { return momentOf(a) < momentOf(b); });
    DiskForecast f;
    if (history.isEmpty())
        return f;
    const HistoryPoint last = history.back();
    const double lastMoment = momentOf(last);
    f.lastSnapshot = DateTimeValue::toDate(last.date);

    history.removeIf([&](const HistoryPoint& p) { return momentOf(p) < lastMoment - WindowDays; });
    const std::vector<Sample> samples = dailySamples(history, trendStart(history));
    if (static_cast<int>(samples.size()) < MinimumDays || spanOf(samples) < MinimumSpanDays)
        return f;
    if (last.freeMB <= 0) {
        f.state = ForecastState::Filling;
        return f;
    }

    const Noise noise = noiseAround(samples, lastMoment);
    const Trend trend = resistantTrend(samples, noise);
    f.state = ForecastState::NotFilling;
    if (!(trend.slope > EvidenceZ * trend.slopeSE) || !(trend.slope > 0))
        return f;

    Projection projection;
    projection.noise = noise;
    projection.rate = trend.slope;
    projection.rateSE = trend.slopeSE;
    projection.paceRise = std::pow(PaceRiseShare * trend.slope, 2) / WindowDays;
    const double level =
        levelAt(samples, trend.slope, lastMoment, lastMoment - WeekDays, LevelSamples);
    projection.headroomMB = last.totalMB - level;
    const double degrees =
        std::max(2.0, static_cast<double>(samples.size()) / SamplesPerDegreeOfFreedom);
    const Crossing c = crossingDays(projection, twoSidedT(RangeShare, degrees), LongestRangeDays);
    if (c.expected > HorizonDays)
        return f;
    // A date past the last one the calendar shows cannot be given; the range ends there.
    const int lastShownDays = daysAfter(last.date, DateTimeValue::LastShownDay);
    const int daysLeft = daysAfter(last.date, lastMoment + c.expected);
    if (daysLeft > lastShownDays)
        return f;

    f.state = ForecastState::Filling;
    f.daysLeft = daysLeft;
    f.lowDays = std::min(f.daysLeft, daysAfter(last.date, lastMoment + c.low));
    f.highDays =
        std::min(lastShownDays, std::max(f.daysLeft, daysAfter(last.date, lastMoment + c.high)));
    return f;
}

QString sentence(const DiskForecast& f)
{
    switch (f.state) {
    case ForecastState::NotEnoughHistory:
        return u"not enough history"_s;
    case ForecastState::NotFilling:
        return u"not filling"_s;
    case ForecastState::Filling:
        break;
    }
    if (f.highDays == 0)
        return u"full"_s;
    return u"in %1 %2 (%3\u2013%4)"_s.arg(f.daysLeft)
        .arg(f.daysLeft == 1 ? u"day"_s : u"days"_s)
        .arg(f.lowDays)
        .arg(f.highDays);
}

QString stateName(ForecastState state)
{
    switch (state) {
    case ForecastState::Filling:
        return u"filling"_s;
    case ForecastState::NotFilling:
        return u"not filling"_s;
    case ForecastState::NotEnoughHistory:
        break;
    }
    return u"not enough history"_s;
}

} // namespace Forecast
