#include "engine/Schedule.h"

#include "data/DateTimeValue.h"
#include "data/Errors.h"

#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace Schedule {

int firstDelayMs(double target, const QTime& now)
{
    const qint64 t = DateTimeValue::timeOfDayMs(target);
    const qint64 n = now.msecsSinceStartOfDay();
    return static_cast<int>(n < t ? t - n : MsPerDay - n + t);
}

int checkIntervalMs(qint64 minutes)
{
    if (minutes <= 0)
        return 0;
    if (minutes > std::numeric_limits<int>::max() / MsPerMinute)
        raiseIntegerOverflow();
    return static_cast<int>(minutes * MsPerMinute);
}

int minutesFromText(const QString& text)
{
    bool ok = false;
    const int minutes = text.trimmed().toInt(&ok);
    if (!ok)
        throw ConversionError(u"'%1' is not a valid integer value"_s.arg(text));
    return minutes;
}

} // namespace Schedule
