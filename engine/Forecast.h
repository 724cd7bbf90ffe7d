#pragma once

#include "engine/ForecastMath.h"

#include <QDate>
#include <QList>
#include <QString>

#include <vector>

// One snapshot of a system's history. The forecast follows the space taken, total minus
// free: what this user can no longer write. It goes on smoothly when a disk is grown, so
// the history from before still counts, and only the room left changes.
struct HistoryPoint {
    double date = 0; // days since 30 December 1899, no time of day
    double time = 0; // time of day as the fraction of a day
    double freeMB = 0;
    double totalMB = 0;
};

enum class ForecastState { NotEnoughHistory, NotFilling, Filling };

// What the history says about the day a disk fills. Days count from the date of the newest
// snapshot, so the same history always gives the same forecast whenever it is read.
struct DiskForecast {
    ForecastState state = ForecastState::NotEnoughHistory;
    QDate lastSnapshot; // invalid when there is no usable snapshot at all
    // Filling only: the expected full date and the range that holds the true date with the
    // share RangeShare, as days after lastSnapshot; all 0 when the disk is full already.
    int daysLeft = 0;
    int lowDays = 0;
    int highDays = 0;

    QDate fullDate() const; // invalid unless filling
    QDate lowDate() const;
    QDate highDate() const;
};

namespace Forecast {

// How far back the forecast reads. The pace is measured over the longest span back from the
// newest snapshot over which it has held (up to this), so a steady disk is judged on years
// and one whose pace changed on the weeks since.
inline constexpr double WindowDays = 730;
// The shortest span a pace is measured over, and how the spans grow from it.
inline constexpr double ShortestPaceDays = 14;
// How many standard errors apart two paces may be and still count as one.
inline constexpr double AgreeZ = 2.5;
// Less than this is not enough to say anything.
inline constexpr int MinimumDays = 5; // days with a snapshot
inline constexpr double MinimumSpanDays = 4;
// The share of forecasts whose range holds the true full date.
inline constexpr double RangeShare = 0.8;
// Growth must stand this many standard errors clear of none at all to be called filling;
// anything less cannot be told apart from the noise.
inline constexpr double EvidenceZ = 2.5;
// How much the pace may pick up over the span it held (eight weeks at least), as a share of
// itself: the early end of the range allows for it, since a steady pace in the past cannot
// rule out growth speeding up.
inline constexpr double PaceRiseShare = 0.8;
// A date further out than this rests on a pace stretched over a decade.
inline constexpr double HorizonDays = 3652;

DiskForecast forecast(QList<HistoryPoint> history);

// "in 41 days (33–52)", "in 1 day (0–3)", "full", "not filling" or "not enough history".
QString sentence(const DiskForecast& forecast);
// "filling", "not filling" or "not enough history".
QString stateName(ForecastState state);

// The steps of forecast(), for tests.

// Where each level of the history after the first begins, oldest first: the indices of
// the daily samples at which the space taken fell by far more than the day-to-day noise
// allows, to clearly below the least the week before held (a bulk delete, not a log
// rotation giving back its week). Empty when the whole history is one level.
std::vector<size_t> levelStarts(const std::vector<ForecastMath::Sample>& samples);

// One sample per calendar day from index `from` on (the median reading at the median time),
// so a history with many snapshots a day weighs the same as a daily one.
std::vector<ForecastMath::Sample> dailySamples(const QList<HistoryPoint>& points, int from);
// The same over the whole history, each sample marked with the level it belongs to.
std::vector<ForecastMath::Sample> segmentedSamples(const QList<HistoryPoint>& points);

} // namespace Forecast
