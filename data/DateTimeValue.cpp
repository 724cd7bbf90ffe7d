#include "data/DateTimeValue.h"

#include <cmath>

namespace DateTimeValue {

bool isShownDay(double value)
{
    return std::isfinite(value) && value >= FirstShownDay && value < LastShownDay + 1;
}

QDate epoch()
{
    return QDate(1899, 12, 30);
}

double fromDate(const QDate& date)
{
    return static_cast<double>(epoch().daysTo(date));
}

double fromTime(const QTime& time)
{
    return static_cast<double>(time.msecsSinceStartOfDay()) / MsPerDay;
}

double fromDateTime(const QDateTime& localDateTime)
{
    return fromDate(localDateTime.date()) + fromTime(localDateTime.time());
}

qint64 timeOfDayMs(double value)
{
    const double fraction = std::fabs(value - std::trunc(value));
    const auto ms = static_cast<qint64>(std::llround(fraction * MsPerDay));
    return ms >= MsPerDay ? MsPerDay - 1 : ms;
}

QDate toDate(double value)
{
    // A value just below a whole day rounds up to midnight of the next day.
    double days = std::trunc(value);
    if (std::llround(std::fabs(value - days) * MsPerDay) >= MsPerDay)
        days += value < 0 ? -1 : 1;
    return epoch().addDays(static_cast<qint64>(days));
}

QTime toTime(double value)
{
    const double fraction = std::fabs(value - std::trunc(value));
    if (std::llround(fraction * MsPerDay) >= MsPerDay)
        return QTime(0, 0);
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(timeOfDayMs(value)));
}

QDateTime toDateTime(double value)
{
    return QDateTime(toDate(value), toTime(value));
}

} // namespace DateTimeValue
