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
// ... and must land this many below the least the week before held, and by at least this
// share of the fall: a rotation that lands a little below last week's (a smooth week of logs
// has a small typical step) is still a rotation.
constexpr double BelowWeekScales = 3.0;
constexpr double BelowWeekShare = 0.5;
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
// The shortest span over which the pace may pick up by PaceRiseShare; a pace that held
// longer may do so over the span it held.
constexpr double PaceRiseDays = 56;
// How a change of pace seen in the history widens the range: the pace may pick up by twice
// the share it changed by and slow by that share, at most by this much, each over weeks.
constexpr double RiseByChange = 2;
constexpr double MostFallShare = 0.3;
constexpr double LateEndMargin = 0.9;
constexpr double ShiftDays = 56;

double spanOf(const std::vector<Sample>& samples)
{
    return samples.empty() ? 0.0 : samples.back().at - samples.front().at;
}

int daysAfter(double lastDate, double moment)
{
    return static_cast<int>(std::floor(moment) - std::floor(lastDate));
}

// The noise is judged on the newest weeks: a disk's habits change over the years.
constexpr double NoiseDays = 112;
// What a weekly rhythm adds around the trend shows over four whole weeks.
constexpr double TrendNoiseDays = 28;
// ... each judged on this many samples at least.
constexpr size_t NoiseSamples = 16;

size_t firstSince(const std::vector<Sample>& samples, double since)
{
    return static_cast<size_t>(
        std::lower_bound(samples.begin(), samples.end(), since,
                         [](const Sample& s, double at) { return s.at < at; }) -
        samples.begin());
}

// The noise, and how many samples told it.
struct NoiseReading {
    Noise noise;
    size_t samples = 0;
};

// The samples from `since` on, but at least the newest `atLeast` of them.
size_t firstOfNewest(const std::vector<Sample>& samples, double since, size_t atLeast)
{
    const size_t from = firstSince(samples, since);
    return samples.size() > atLeast ? std::min(from, samples.size() - atLeast) : 0;
}

// The noise, widened by what the spread around the trend shows beyond the day-to-day gaps.
// A history with few snapshots in its newest weeks is judged on more of it.
NoiseReading noiseAround(const std::vector<Sample>& samples, double lastMoment)
{
    const size_t from = firstOfNewest(samples, lastMoment - NoiseDays, NoiseSamples);
    const std::vector<Sample> recent(samples.begin() + static_cast<std::ptrdiff_t>(from),
                                     samples.end());
    Noise noise = estimateNoise(recent, LongestNoiseGapDays);
    // Over a few weeks only: a line through months would count a change of pace as noise.
    const size_t weeks = firstOfNewest(recent, lastMoment - TrendNoiseDays, NoiseSamples);
    const Pace rough = segmentedPace(recent, weeks, noise);
    noise.transientMB = transientAroundTrend(residualsAround(recent, weeks, rough.rate), noise,
                                             lastMoment - recent[weeks].at);
    return {noise, recent.size()};
}

// The paces over spans of ShortestPaceDays, twice that, and so on back to the oldest sample.
std::vector<Pace> pacesBack(const std::vector<Sample>& samples, const Noise& noise)
{
    std::vector<Pace> paces;
    const double last = samples.back().at;
    // A few hours of slack, so a snapshot taken a little late still counts as its day.
    for (double span = Forecast::ShortestPaceDays;; span *= 2) {
        const size_t from = firstSince(samples, last - span - 0.25);
        if (paces.empty() || from != paces.back().from)
            paces.push_back(segmentedPace(samples, from, noise));
        if (from == 0)
            break;
    }
    return paces;
}

// The samples since the newest change of level.
std::vector<Sample> newestLevel(const std::vector<Sample>& samples)
{
    auto first = samples.end();
    while (first != samples.begin() && std::prev(first)->segment == samples.back().segment)
        --first;
    return {first, samples.end()};
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

std::vector<size_t> levelStarts(const std::vector<Sample>& samples)
{
    std::vector<double> steps;
    for (size_t i = 1; i < samples.size(); ++i)
        steps.push_back(samples[i].takenMB - samples[i - 1].takenMB);
    const double usualStep = median(steps);
    const double stepScale = robustScale(steps);

    std::vector<size_t> starts;
    size_t start = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        // Measured from the usual step, so a disk being emptied day by day has no jumps.
        const double drop = usualStep - (samples[i].takenMB - samples[i - 1].takenMB);
        if (drop <= JumpScales * stepScale)
            continue;
        // A rotation gives back what its week added, so it lands near the week's least
        // reading; a bulk delete goes clearly below it.
        double weekLeast = samples[i - 1].takenMB;
        for (size_t k = i; k-- > start && samples[k].at >= samples[i].at - WeekDays;)
            weekLeast = std::min(weekLeast, samples[k].takenMB);
        const double below = std::max(BelowWeekScales * stepScale, BelowWeekShare * drop);
        if (samples[i].takenMB < weekLeast - below) {
            start = i;
            starts.push_back(start);
        }
    }
    return starts;
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

std::vector<Sample> segmentedSamples(const QList<HistoryPoint>& points)
{
    std::vector<Sample> samples = dailySamples(points, 0);
    int segment = 0;
    size_t i = 0;
    for (const size_t start : levelStarts(samples)) {
        for (; i < start; ++i)
            samples[i].segment = segment;
        ++segment;
    }
    for (; i < samples.size(); ++i)
        samples[i].segment = segment;
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
    const std::vector<Sample> samples = segmentedSamples(history);
    if (static_cast<int>(samples.size()) < MinimumDays || spanOf(samples) < MinimumSpanDays)
        return f;
    if (last.freeMB <= 0) {
        f.state = ForecastState::Filling;
        return f;
    }

    const NoiseReading reading = noiseAround(samples, lastMoment);
    const Noise& noise = reading.noise;
    const std::vector<Pace> paces = pacesBack(samples, noise);
    const size_t steady = longestSteadyPace(paces, AgreeZ);
    const Pace& pace = paces[steady];
    if (!std::isfinite(pace.rateSE))
        return f;
    f.state = ForecastState::NotFilling;
    if (!(pace.rate > EvidenceZ * pace.rateSE) || !(pace.rate > 0))
        return f;

    const double degrees =
        std::max(2.0, static_cast<double>(reading.samples) / SamplesPerDegreeOfFreedom);
    const double z = twoSidedT(RangeShare, degrees);
    const double steadyDays = lastMoment - samples[pace.from].at;

    Projection projection;
    projection.noise = noise;
    projection.rate = pace.rate;
    projection.rateSE = pace.rateSE;
    // A pace that held for long has shown it does not wander fast.
    projection.paceRise =
        std::pow(PaceRiseShare * pace.rate, 2) / std::max(PaceRiseDays, steadyDays);
    // A pace that changed before may change again, by as much: up faster than down, since a
    // disk that filled faster once may well do so again, and never down to nothing. The late
    // end must come at all: a pace that may slow by a share close to what its uncertainty
    // already leaves would never fill the disk on that side.
    const double change = paceChangeShare(paces, steady);
    projection.riseShare = RiseByChange * change;
    projection.fallShare = std::min(
        {MostFallShare, change,
         LateEndMargin *
             std::sqrt(std::max(0.0, 1 / (z * z) - std::pow(pace.rateSE / pace.rate, 2)))});
    projection.shiftDays = ShiftDays;
    if (steady + 1 < paces.size())
        projection.speedUp = speedUpOf(pace, steadyDays, paces[steady + 1],
                                       lastMoment - samples[paces[steady + 1].from].at);
    const double level =
        levelAt(newestLevel(samples), pace.rate, lastMoment, lastMoment - WeekDays, LevelSamples);
    projection.headroomMB = last.totalMB - level;
    const Crossing c = crossingDays(projection, z, LongestRangeDays);
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
