#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

// Stored date-times are days since 30 December 1899 with the time of day as the fraction:
// one day is 1.0, so dates compare and add as plain numbers.
namespace DateTimeValue {

inline constexpr qint64 MsPerDay = 86'400'000;

// The days a date can be shown for: 1 January 100 to 31 December 9999. A stored value
// outside them is no date anyone wrote; whatever reads it treats it as missing.
inline constexpr double FirstShownDay = -657'434;
inline constexpr double LastShownDay = 2'958'465;
bool isShownDay(double value);

QDate epoch();
double fromDate(const QDate& date);
double fromTime(const QTime& time);
double fromDateTime(const QDateTime& localDateTime);

QDate toDate(double value);
QTime toTime(double value);
QDateTime toDateTime(double value);

// The time-of-day part in whole milliseconds since midnight, rounded to the nearest.
qint64 timeOfDayMs(double value);

} // namespace DateTimeValue
