#include "Baselines.h"

#include "engine/SpaceFigures.h"

#include <cmath>

namespace Baselines {

Answer forecast(const QList<HistoryPoint>& history)
{
    const DiskForecast f = Forecast::forecast(history);
    Answer a;
    if (f.state == ForecastState::Filling && !history.isEmpty()) {
        const double last = history.back().date;
        a.fullDate = last + f.daysLeft;
        a.lowDate = last + f.lowDays;
        a.highDate = last + f.highDays;
    }
    return a;
}

// Every snapshot as a run of the classic measurement, from the first one on.
Answer classic(const QList<HistoryPoint>& history)
{
    qint64 previousFree = 0;
    qint64 cumulative = 0;
    double zeroDate = 0;
    for (const HistoryPoint& p : history) {
        SpaceInputs in;
        in.TotalBytes = qint64(p.totalMB) << 20;
        in.FreeBytes = qint64(p.freeMB) << 20;
        in.PreviousFreeMB = previousFree;
        in.CumulativeUsedMB = cumulative;
        in.StartDate = history.front().date;
        in.RunDate = p.date;
        const SpaceFigures out = computeSpaceFigures(in);
        previousFree = out.FreeMB;
        cumulative = out.CumulativeUsedMB;
        zeroDate = out.ZeroDate;
    }
    Answer a;
    if (zeroDate > 0)
        a.fullDate = zeroDate;
    return a;
}

Answer leastSquaresWeek(const QList<HistoryPoint>& history)
{
    Answer a;
    if (history.isEmpty())
        return a;
    const double last = history.back().date + history.back().time;
    double n = 0, st = 0, sf = 0, stt = 0, stf = 0;
    for (const HistoryPoint& p : history) {
        const double t = p.date + p.time - last;
        if (t < -7)
            continue;
        n += 1;
        st += t;
        sf += p.freeMB;
        stt += t * t;
        stf += t * p.freeMB;
    }
    const double denominator = n * stt - st * st;
    if (n < 2 || denominator <= 0)
        return a;
    const double slope = (n * stf - st * sf) / denominator;
    const double now = (sf - slope * st) / n; // the line's value at the last snapshot
    if (!(slope < 0))
        return a;
    const double days = std::max(0.0, -now / slope);
    if (days > 100 * 365)
        return a;
    a.fullDate = std::floor(last + days);
    return a;
}

} // namespace Baselines
