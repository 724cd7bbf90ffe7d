#include "views/PrintTimeLine.h"

using namespace Qt::Literals::StringLiterals;

QString printTimeLine(const QDateTime& when, const QLocale& locale)
{
    const QDate date = when.date();
    const QTime time = when.time();
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return u"Printed on %1, %2 %3, %4,  at %5:%6 %7"_s.arg(
        locale.dayName(date.dayOfWeek(), QLocale::LongFormat),
        locale.monthName(date.month(), QLocale::LongFormat), QString::number(date.day()),
        QString::number(date.year()).rightJustified(4, u'0'),
        QString::number(hour12).rightJustified(2, u'0'),
        QString::number(time.minute()).rightJustified(2, u'0'),
        time.hour() < 12 ? u"AM"_s : u"PM"_s);
}
