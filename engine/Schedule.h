#pragma once

#include <QString>
#include <QTime>

// The arithmetic of the two scheduled runs, kept apart from the timers so each rule can be
// checked on its own.
namespace Schedule {

inline constexpr qint64 MsPerMinute = 60'000;
inline constexpr int MsPerDay = 86'400'000;

// Milliseconds from now until the next time the clock shows target's time of day, between
// 1 and a whole day: at exactly that time the next one is tomorrow. Only the time of day of
// target (a stored date-time value) counts; both sides are rounded to the millisecond.
int firstDelayMs(double target, const QTime& now);

// The check timer's interval for a number of minutes. Raises "Integer overflow" when it
// does not fit a signed 32-bit count of milliseconds (35,792 minutes and more). An interval
// below one minute, negative ones included, gives 0: the timer never fires.
int checkIntervalMs(qint64 minutes);

// The minutes typed into the interval box; raises "'%s' is not a valid integer value"
// otherwise (an empty box included).
int minutesFromText(const QString& text);

} // namespace Schedule
