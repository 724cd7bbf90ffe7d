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

// How far back the trend looks: long enough to see through a weekly rhythm and the noise,
// short enough to follow a disk whose pace changes.
inline constexpr double WindowDays = 56;
// Less than this since the newest change of level is not enough to say anything.
inline constexpr int MinimumDays = 5; // days with a snapshot
inline constexpr double MinimumSpanDays = 4;
// The share of forecasts whose range holds the true full date.
inline constexpr double RangeShare = 0.8;
// Growth must stand this many standard errors clear of none at all to be called filling;
// anything less cannot be told apart from the noise.
inline constexpr double EvidenceZ = 3.0;
// How much the pace may pick up over a window, as a share of itself: the early end of the
// range allows for it, since a trend of weeks cannot rule out growth speeding up.
inline constexpr double PaceRiseShare = 0.2;
// A date further out than this rests on a trend of weeks stretched over a decade.
inline constexpr double HorizonDays = 3652;

DiskForecast forecast(QList<HistoryPoint> history);

// "in 41 days (33–52)", "in 1 day (0–3)", "full", "not filling" or "not enough history".
QString sentence(const DiskForecast& forecast);
// "filling", "not filling" or "not enough history".
QString stateName(ForecastState state);

// The steps of forecast(), for tests.

// Where the current trend begins: the index of the newest snapshot at which the space taken
// fell by far more than the day-to-day noise allows, to clearly below the least the week
// before held (a bulk delete, not a log rotation giving back its week). 0 when the whole
// history is one trend. The points are in time order.
int trendStart(const QList<HistoryPoint>& points);

// One sample per calendar day from index `from` on (the median reading at the median time),
// so a history with many snapshots a day weighs the same as a daily one.
std::vector<ForecastMath::Sample> dailySamples(const QList<HistoryPoint>& points, int from);

} // namespace Forecast
