#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The footer line of a printed chart: "Printed on ", the weekday and month in the locale's
// long names, the day without a leading zero, the year, then " at " and the time on the
// 12-hour clock with AM or PM. The year's ", " and the text " at " leave two blanks before
// "at": "Printed on Monday, January 5, 2009,  at 03:04 PM".
QString printTimeLine(const QDateTime& when, const QLocale& locale = QLocale());
