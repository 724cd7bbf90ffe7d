#include "engine/AlertStamp.h"

using namespace Qt::Literals::StringLiterals;

QString alertStamp(const QDateTime& when, const QLocale& locale)
{
    const QString date = locale.toString(when.date(), QLocale::ShortFormat);
    if (when.time() == QTime(0, 0))
        return date;
    // Qt's long time format names the time zone; the stamp never did.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(u't').replace(u"  "_s, u" "_s);
    return date + u' ' + locale.toString(when.time(), timeFormat.trimmed());
}

QString stampedAlertLine(const QDateTime& when, const QString& line, const QLocale& locale)
{
    return alertStamp(when, locale) + u" : "_s + line;
}
