#include "data/DisplayFormat.h"

#include "data/DateTimeValue.h"
#include "data/Variant.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

// Rounds the way printed figures always have: halves away from zero.
qint64 roundHalfAway(double x)
{
    return static_cast<qint64>(std::round(x));
}

QString twoDecimalsNoLeadingZero(double value, const QLocale& locale)
{
    const qint64 hundredths = roundHalfAway(value * 100.0);
    const qint64 magnitude = hundredths < 0 ? -hundredths : hundredths;
    const qint64 whole = magnitude / 100;
    const qint64 fraction = magnitude % 100;
    QString text;
    if (hundredths < 0)
        text += locale.negativeSign();
    if (whole != 0)
        text += QString::number(whole);
    text += locale.decimalPoint();
    text += u"%1"_s.arg(fraction, 2, 10, QLatin1Char('0'));
    return text;
}

QString naturalText(const QVariant& value, FieldKind kind, const QLocale& locale)
{
    switch (kind) {
    case FieldKind::DateTime: {
        const double v = Variant::toDouble(value);
        const QDateTime dt = DateTimeValue::toDateTime(v);
        const bool hasTime = DateTimeValue::timeOfDayMs(v) != 0;
        if (std::trunc(v) == 0 && hasTime)
            return locale.toString(dt.time(), QLocale::LongFormat);
        QString text = locale.toString(dt.date(), QLocale::ShortFormat);
        if (hasTime)
            text += u' ' + locale.toString(dt.time(), QLocale::LongFormat);
        return text;
    }
    case FieldKind::Boolean:
        return Variant::toBoolean(value) ? u"True"_s : u"False"_s;
    case FieldKind::Double:
    case FieldKind::Currency:
        return locale.toString(Variant::toDouble(value), 'g', 15);
    case FieldKind::Integer:
        return QString::number(Variant::toInt64(value));
    case FieldKind::Text:
        break;
    }
    return Variant::toString(value);
}

} // namespace

QString formatDisplayText(const QVariant& value, FieldKind kind, const QString& pattern,
                          const QLocale& locale)
{
    if (Variant::isNull(value))
        return QString();
    const QString p = pattern.toLower();
    if (p.isEmpty())
        return naturalText(value, kind, locale);
    if (p == u"#.00")
        return twoDecimalsNoLeadingZero(Variant::toDouble(value), locale);
    if (p == u"#,##0") {
        // The pattern itself asks for separators, even in a locale that omits them by
        // default (the C locale does).
        QLocale grouped = locale;
        grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
        return grouped.toString(roundHalfAway(Variant::toDouble(value)));
    }
    if (p == u"hh:mm:ss")
        return DateTimeValue::toTime(Variant::toDouble(value)).toString(u"HH:mm:ss"_s);
    if (p == u"t")
        return locale.toString(DateTimeValue::toTime(Variant::toDouble(value)),
                               QLocale::ShortFormat);
    return naturalText(value, kind, locale);
}
