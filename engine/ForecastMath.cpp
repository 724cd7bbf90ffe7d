#include "engine/ForecastMath.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace ForecastMath {

namespace {

double square(double x)
{
    return x * x;
}

} // namespace

double median(std::vector<double> values)
{
    if (values.empty())
        return std::numeric_limits<double>::quiet_NaN();
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    if (values.size() % 2 == 1)
        return *middle;
    const double upper = *middle;
    const double lower = *std::max_element(values.begin(), middle);
    return (lower + upper) / 2;
}

double robustScale(const std::vector<double>& values)
{
    if (values.size() < 2)
        return 0;
    const double centre = median(values);
    std::vector<double> deviations;
    deviations.reserve(values.size());
    for (double v : values)
        deviations.push_back(std::abs(v - centre));
    return 1.4826 * median(std::move(deviations));
}

double spreadAroundMedian(const std::vector<double>& values)
{
    if (values.size() < 2)
        return 0;
    const double centre = median(values);
    double sum = 0;
    for (double v : values)
        sum += square(v - centre);
    return std::sqrt(sum / static_cast<double>(values.size() - 1));
}

double walkShare(int gap, int count)
{
    if (count < 2 || gap < 1)
        return 0;
    // Differences over `gap` steps starting k steps apart share gap - k steps; spread around
    // their mean keeps n / (n - 1) * (gap - variance of that mean).
    const double n = count;
    double shared = n * gap;
    for (int k = 1; k < std::min(gap, count); ++k)
        shared += 2.0 * (n - k) * (gap - k);
    return n / (n - 1) * (gap - shared / (n * n));
}

Noise estimateNoise(const std::vector<Sample>& samples, int longestGapDays)
{
    std::vector<std::vector<double>> byGap(static_cast<size_t>(std::max(longestGapDays, 0)) + 1);
    for (size_t i = 0; i < samples.size(); ++i)
        for (size_t j = i + 1; j < samples.size(); ++j) {
            const long days = std::lround(samples[j].at - samples[i].at);
            if (days > longestGapDays)
                break;
            if (days >= 1 && samples[j].segment == samples[i].segment)
                byGap[static_cast<size_t>(days)].push_back(samples[j].takenMB - samples[i].takenMB);
        }
    // variance(gap) = 2 * transient^2 + walk^2 * share(gap), each gap weighing by its count.
    double sn = 0, sx = 0, sv = 0, sxx = 0, sxv = 0;
    for (size_t gap = 1; gap < byGap.size(); ++gap) {
        const std::vector<double>& d = byGap[gap];
        if (d.size() < 3)
            continue;
        const double n = static_cast<double>(d.size());
        const double x = walkShare(static_cast<int>(gap), static_cast<int>(d.size()));
        const double v = square(spreadAroundMedian(d));
        sn += n;
        sx += n * x;
        sv += n * v;
        sxx += n * x * x;
        sxv += n * x * v;
    }
    Noise noise;
    if (sn == 0)
        return noise;
    const double det = sn * sxx - sx * sx;
    double walk = det > 1e-9 * sn * sxx ? (sn * sxv - sx * sv) / det : 0.0;
    double constant = (sv - walk * sx) / sn;
    if (walk < 0) {
        walk = 0;
        constant = sv / sn;
    } else if (constant < 0) {
        constant = 0;
        walk = sxv / sxx;
    }
    noise.walkMBPerSqrtDay = std::sqrt(walk);
    noise.transientMB = std::sqrt(constant / 2);
    return noise;
}

double transientAroundTrend(const std::vector<double>& residuals, const Noise& noise,
                            double spanDays)
{
    const double unexplained =
        square(robustScale(residuals)) - square(noise.walkMBPerSqrtDay) * spanDays / 15;
    return std::max(noise.transientMB, std::sqrt(std::max(0.0, unexplained)));
}

Pace segmentedPace(const std::vector<Sample>& samples, size_t from, const Noise& noise)
{
    Pace pace;
    pace.from = from;
    pace.rateSE = std::numeric_limits<double>::quiet_NaN();
    const size_t n = samples.size();
    if (from >= n)
        return pace;
    // Each moment measured from the mean moment of its segment, and the sums of the fit.
    std::vector<double> centred(n - from);
    double sxx = 0;
    double sxy = 0;
    for (size_t i = from; i < n;) {
        size_t end = i;
        double sumAt = 0;
        double sumTaken = 0;
        for (; end < n && samples[end].segment == samples[i].segment; ++end) {
            sumAt += samples[end].at;
            sumTaken += samples[end].takenMB;
        }
        const double count = static_cast<double>(end - i);
        const double meanAt = sumAt / count;
        const double meanTaken = sumTaken / count;
        for (; i < end; ++i) {
            const double c = samples[i].at - meanAt;
            centred[i - from] = c;
            sxx += c * c;
            sxy += c * (samples[i].takenMB - meanTaken);
        }
    }
    if (!(sxx > 0))
        return pace;
    pace.rate = sxy / sxx;
    // The pace weighs sample i by c_i / sxx; the walk's step into sample k reaches every
    // sample from k on, so it moves the pace by the sum of their weights.
    double later = 0;
    double walkWeight = 0;
    for (size_t k = n - 1; k > from; --k) {
        later += centred[k - from] / sxx;
        walkWeight += (samples[k].at - samples[k - 1].at) * square(later);
    }
    pace.rateSE =
        std::sqrt(square(noise.transientMB) / sxx + square(noise.walkMBPerSqrtDay) * walkWeight);
    return pace;
}

std::vector<double> residualsAround(const std::vector<Sample>& samples, size_t from, double rate)
{
    std::vector<double> residuals;
    residuals.reserve(samples.size() > from ? samples.size() - from : 0);
    std::vector<double> segment;
    for (size_t i = from; i < samples.size();) {
        segment.clear();
        size_t end = i;
        for (; end < samples.size() && samples[end].segment == samples[i].segment; ++end)
            segment.push_back(samples[end].takenMB - rate * (samples[end].at - samples[i].at));
        const double level = median(segment);
        for (const double r : segment)
            residuals.push_back(r - level);
        i = end;
    }
    return residuals;
}

size_t longestSteadyPace(const std::vector<Pace>& paces, double agreeZ)
{
    size_t chosen = 0;
    while (chosen < paces.size() && !std::isfinite(paces[chosen].rateSE))
        ++chosen;
    if (chosen == paces.size())
        return 0;
    for (size_t k = chosen + 1; k < paces.size(); ++k) {
        const Pace& longer = paces[k];
        bool agrees = std::isfinite(longer.rateSE);
        for (size_t j = 0; agrees && j < k; ++j) {
            const Pace& shorter = paces[j];
            if (!std::isfinite(shorter.rateSE))
                continue;
            // The shorter span's samples are the longer one's too, so their difference varies
            // by about what the shorter adds; never less than a tenth of its own error.
            const double apart = std::sqrt(std::max(square(shorter.rateSE) - square(longer.rateSE),
                                                    square(0.1 * shorter.rateSE)));
            // Noise-free paces differ by rounding alone.
            agrees = std::abs(longer.rate - shorter.rate) <=
                     std::max(agreeZ * apart, 1e-9 * std::abs(shorter.rate));
        }
        if (!agrees)
            break;
        chosen = k;
    }
    return chosen;
}

double paceChangeShare(const std::vector<Pace>& paces, size_t steady)
{
    if (steady + 1 >= paces.size() || !(paces[steady].rate > 0))
        return 0;
    return std::min(1.0,
                    std::abs(paces[steady + 1].rate - paces[steady].rate) / paces[steady].rate);
}

SpeedUp speedUpOf(const Pace& steady, double steadyDays, const Pace& longer, double longerDays)
{
    SpeedUp s;
    if (!(longer.rate > 0) || !(steady.rate > longer.rate) || !(longerDays > steadyDays))
        return s;
    // A pace growing by e every tau days, measured over the newest d days, is the pace of
    // d / 2 days ago: the two paces are (longerDays - steadyDays) / 2 days apart.
    const double tau = (longerDays - steadyDays) / 2 / std::log(steady.rate / longer.rate);
    s.days = std::max(tau, QuickestSpeedUpDays);
    s.rateNow = steady.rate * std::exp(steadyDays / 2 / s.days);
    return s;
}

double levelAt(const std::vector<Sample>& samples, double rate, double at, double since,
               int atLeast)
{
    std::vector<double> levels;
    for (size_t i = samples.size(); i-- > 0;) {
        if (samples[i].at < since && static_cast<int>(levels.size()) >= atLeast)
            break;
        levels.push_back(samples[i].takenMB + rate * (at - samples[i].at));
    }
    return median(std::move(levels));
}

double Projection::deviation(double days) const
{
    return std::sqrt(square(days * rateSE) + days * square(noise.walkMBPerSqrtDay) +
                     1.5 * square(noise.transientMB));
}

namespace {

// How much of a shift of pace has come about after h days.
double shifted(double days, double shiftDays)
{
    return shiftDays > 0 ? -std::expm1(-days / shiftDays) : 0.0;
}

} // namespace

double Projection::earlyDeviation(double days) const
{
    // A pace that walks by paceRise a day moves the path by paceRise * h^3 / 3 over h days.
    const double shift = riseShare * shifted(days, shiftDays) * rate * days;
    return std::sqrt(square(deviation(days)) + paceRise * days * days * days / 3 + square(shift));
}

double Projection::earlyGrowth(double days, double z) const
{
    const double band = rate * days + z * earlyDeviation(days);
    if (!(speedUp.days > 0))
        return band;
    return std::max(band, speedUp.rateNow * speedUp.days * std::expm1(days / speedUp.days));
}

double Projection::lateDeviation(double days) const
{
    const double shift = fallShare * shifted(days, shiftDays) * rate * days;
    return std::sqrt(square(deviation(days)) + square(shift));
}

double firstReached(const std::function<bool(double)>& reached, double from, double limit)
{
    if (reached(from))
        return from;
    double before = from;
    double h = from;
    while (h < limit) {
        before = h;
        h = std::min(limit, std::max(h * 1.05, h + 0.25));
        if (reached(h))
            break;
    }
    if (!reached(h))
        return limit;
    for (int i = 0; i < 60 && h - before > 1.0 / 1440; ++i) {
        const double mid = (before + h) / 2;
        (reached(mid) ? h : before) = mid;
    }
    return h;
}

Crossing crossingDays(const Projection& p, double z, double limitDays)
{
    Crossing c;
    if (p.headroomMB <= 0 || !(p.rate > 0))
        return c;
    const double aim = p.headroomMB - p.noise.transientMB;
    c.expected = firstReached([&](double h) { return p.rate * h >= aim; }, 0, limitDays);
    c.low =
        firstReached([&](double h) { return p.earlyGrowth(h, z) >= p.headroomMB; }, 0, limitDays);
    c.high =
        firstReached([&](double h) { return p.rate * h - z * p.lateDeviation(h) >= p.headroomMB; },
                     c.expected, limitDays);
    c.low = std::min(c.low, c.expected);
    return c;
}

double twoSidedZ(double share)
{
    // Bisection on the normal distribution: exact enough and plainly right.
    const double tail = (1 - share) / 2;
    double lo = 0;
    double hi = 10;
    for (int i = 0; i < 100; ++i) {
        const double mid = (lo + hi) / 2;
        if (0.5 * std::erfc(mid / std::numbers::sqrt2) > tail)
            lo = mid;
        else
            hi = mid;
    }
    return (lo + hi) / 2;
}

double twoSidedT(double share, double degreesOfFreedom)
{
    // Every forecast asks for the same share: the bisection runs once per thread for it.
    thread_local double lastShare = -1;
    thread_local double lastZ = 0;
    if (share != lastShare) {
        lastZ = twoSidedZ(share);
        lastShare = share;
    }
    const double z = lastZ;
    const double z3 = z * z * z;
    const double z5 = z3 * z * z;
    const double v = degreesOfFreedom;
    return z + (z3 + z) / (4 * v) + (5 * z5 + 16 * z3 + 3 * z) / (96 * v * v);
}

} // namespace ForecastMath
