#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

// Stored date-times are days since 30 December 1899 with the time of day as the fraction:
// one day is 1.0, so dates compare and add as plain numbers.
namespace DateTimeValue {

inline constexpr qint64 MsPerDay = 86'400'000;

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
