#pragma once

#include <functional>
#include <vector>

// The arithmetic of the full-date forecast, in small pure functions. Times are date-time
// values (days, time of day as the fraction); figures are megabytes of space taken.
namespace ForecastMath {

struct Sample {
    double at = 0;
    double takenMB = 0;
    int segment = 0; // samples of one level; a bulk delete starts the next
};

// The middle value (the mean of the two middle ones for an even count); NaN when empty.
double median(std::vector<double> values);

// A spread that a few wild values cannot move: the median absolute deviation from the
// median, scaled by 1.4826 so that it estimates the standard deviation of normal noise.
// 0 for fewer than two values.
double robustScale(const std::vector<double>& values);

// The root-mean-square deviation from the median; 0 for fewer than two values.
double spreadAroundMedian(const std::vector<double>& values);

// The two kinds of noise around the trend. Transient noise (temporary files, a log that
// grows and is rotated) comes and goes; walk noise (a day that used more or less than
// usual) stays, so its spread grows with the square root of time.
struct Noise {
    double transientMB = 0;      // standard deviation of a reading around the path
    double walkMBPerSqrtDay = 0; // standard deviation of the path after one day
};

// How much of a walk's variance per step the spread of `count` differences over `gap` steps
// keeps once they are measured from their own mean (neighbouring differences overlap, so
// their mean wanders with the walk). Close to `gap` for a long run, less for a short one.
double walkShare(int gap, int count);

// Tells the two kinds apart by how the spread of differences between samples grows with
// the whole days between them (1 to longestGapDays): transient noise adds the same to every
// gap, walk noise adds in proportion to it. A weighted least-squares line through those
// spreads, neither part allowed below 0. The samples are in time order; a difference across
// a change of segment is no noise and is left out.
Noise estimateNoise(const std::vector<Sample>& samples, int longestGapDays);

// Transient noise that the day-to-day gaps cannot see, such as a weekly saw-tooth, still
// spreads the samples around the trend line: what of that spread the walk does not explain
// (a walk strays from a line fitted over spanDays by walk^2 * spanDays / 15 on average)
// counts as transient too. Returns the larger transient noise.
double transientAroundTrend(const std::vector<double>& residuals, const Noise& noise,
                            double spanDays);

// Where the trend stands at `at`: the median of what the samples since `since` say once
// moved along `rate` to it, and at least the newest `atLeast` of them. Taken over a week it
// sees through a weekly rhythm; one odd latest reading does not set it.
double levelAt(const std::vector<Sample>& samples, double rate, double at, double since,
               int atLeast);

// The pace of a least-squares line through the samples from `from` on, with a level of its
// own for each segment: growth before a bulk delete still tells the pace after it. rateSE
// is the pace's exact standard error under the noise: the transient noise of each sample
// and the walk between them.
struct Pace {
    double rate = 0;   // MB a day
    double rateSE = 0; // NaN when no segment holds two moments to draw a line through
    size_t from = 0;
};
Pace segmentedPace(const std::vector<Sample>& samples, size_t from, const Noise& noise);

// What the samples from `from` on stray from a line of the given pace, each segment measured
// from its own median level.
std::vector<double> residualsAround(const std::vector<Sample>& samples, size_t from, double rate);

// Of paces measured over ever longer spans back from the newest sample, the longest whose
// figure every shorter one agrees with to within `agreeZ` standard errors of their
// difference: the longest span over which the pace has not changed, as far as the noise
// lets one tell. A long span sees through the noise; a short one follows a changed pace.
// The paces are ordered from the shortest span; the answer is an index into them.
size_t longestSteadyPace(const std::vector<Pace>& paces, double agreeZ);

// How much the pace changed beyond the steady span, as a share of the steady pace: how far
// the pace over the next longer span is from it (at most 1). 0 when the pace held over the
// whole history.
double paceChangeShare(const std::vector<Pace>& paces, size_t steady);

// A pace that has been rising, as a pace growing steadily by its own share: e-fold every
// `days` days, from rateNow at the newest sample. Read from the steady pace over the newest
// steadyDays and the lower one over the longer span before it; none (days 0) unless the
// pace rose. Never quicker than QuickestSpeedUpDays: two spans of noisy paces cannot tell
// more.
inline constexpr double QuickestSpeedUpDays = 60;
struct SpeedUp {
    double days = 0;
    double rateNow = 0;
};
SpeedUp speedUpOf(const Pace& steady, double steadyDays, const Pace& longer, double longerDays);

// The growth ahead: rate * h over h days, and how far from it the path may be: the rate's
// uncertainty, the walk and the transient noise of the day itself and of the level.
// paceRise widens the early side only: how much a day the pace itself could pick up, as a
// variance of the rate (MB a day, squared, per day). riseShare and fallShare widen the early
// and the late side by a pace that shifts by that share of itself, reached over about
// shiftDays. A pace that has been rising (speedUp) may keep rising: the early side reaches
// at least as far as that would.
struct Projection {
    double headroomMB = 0;
    double rate = 0;
    double rateSE = 0;
    double paceRise = 0;
    double riseShare = 0;
    double fallShare = 0;
    double shiftDays = 0;
    SpeedUp speedUp;
    Noise noise;

    double deviation(double days) const;
    double earlyDeviation(double days) const;
    // The most the disk may have taken after h days on the early side of a band of z.
    double earlyGrowth(double days, double z) const;
    double lateDeviation(double days) const;
};

// Days until the projection uses up its headroom: expected where the trend line aimed one
// transient deviation early gets there (a disk fills at its fullest moment, not its
// average one), low and high where the band of z deviations does.
struct Crossing {
    double expected = 0;
    double low = 0;
    double high = 0;
};
Crossing crossingDays(const Projection& projection, double z, double limitDays);

// The first h in [from, limit] at which reached(h) holds, to within a minute, for a test
// that keeps holding once it does; limit when it never does.
double firstReached(const std::function<bool(double)>& reached, double from, double limit);

// The standard normal quantile for a two-sided range holding the given share (0.8 -> 1.2816).
double twoSidedZ(double share);

// The same for Student's t with the given degrees of freedom (Cornish-Fisher expansion,
// within 2.5 % of the exact quantile from two degrees of freedom up, closer beyond).
double twoSidedT(double share, double degreesOfFreedom);

} // namespace ForecastMath
