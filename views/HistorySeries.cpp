#include "views/HistorySeries.h"

#include "data/DateTimeValue.h"

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace HistorySeries {

QString dateLabel(double date, const QLocale& locale)
{
    return locale.toString(DateTimeValue::toDate(std::floor(date)), QLocale::ShortFormat);
}

Point point(double date, double usedMB, double freeMB, const QLocale& locale)
{
    Point p;
    p.label = dateLabel(date, locale);
    p.usedGB = usedMB / 1024.0;
    p.freeGB = freeMB / 1024.0;
    return p;
}

int labelStride(double pixelsPerPoint, double labelExtent)
{
    if (!(pixelsPerPoint > 0) || !std::isfinite(pixelsPerPoint))
        return 1;
    const double stride = std::ceil(labelExtent / pixelsPerPoint - 1e-9);
    return static_cast<int>(std::clamp(stride, 1.0, 1e9));
}

bool divisionLinesFit(double pixelsPerPoint)
{
    return pixelsPerPoint >= 3.0;
}

Scale valueScale(const QList<Point>& points)
{
    double highest = 0;
    for (const Point& p : points)
        highest = std::max(highest, p.totalGB());
    if (!(highest > 0) || !std::isfinite(highest))
        return {};
    const double magnitude = std::pow(10.0, std::floor(std::log10(highest)));
    // Ticks: tenths of 1, halves of 2 and units of 5 times the magnitude.
    for (const auto& [step, ticks] : {std::pair{1.0, 11}, {2.0, 5}, {5.0, 6}})
        if (step * magnitude >= highest * (1 - 1e-12))
            return {step * magnitude, ticks};
    return {10 * magnitude, 11};
}

QString toolTip(const Point& point)
{
    const QLocale locale;
    auto gb = [&locale](double v) { return locale.toString(v, 'f', 2) + u" GB"_s; };
    return u"%1\nUsed: %2\nFree: %3\nTotal: %4"_s.arg(point.label, gb(point.usedGB),
                                                      gb(point.freeGB), gb(point.totalGB()));
}

} // namespace HistorySeries
