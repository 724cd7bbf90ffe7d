#include "engine/SpaceFigures.h"

#include "data/Errors.h"
#include "data/Rounding.h"
#include "data/Variant.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 BytesPerMB = 1'048'576;

qint64 checkedSub(qint64 a, qint64 b)
{
    qint64 r = 0;
    if (__builtin_sub_overflow(a, b, &r))
        raiseIntegerOverflow();
    return r;
}

qint64 checkedAdd(qint64 a, qint64 b)
{
    qint64 r = 0;
    if (__builtin_add_overflow(a, b, &r))
        raiseIntegerOverflow();
    return r;
}

qint64 checkedMul(qint64 a, qint64 b)
{
    qint64 r = 0;
    if (__builtin_mul_overflow(a, b, &r))
        raiseIntegerOverflow();
    return r;
}

qint64 toInt64Checked(double d)
{
    // 2^63 itself is out of range; the negated form also rejects NaN.
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0))
        raiseIntegerOverflow();
    return static_cast<qint64>(d);
}

[[noreturn]] void raiseInvalidFloatingPoint()
{
    throw FloatingPointError(u"Invalid floating point operation"_s);
}

} // namespace

qint64 bytesToMB(qint64 bytes)
{
    qint64 mb = bytes / BytesPerMB;
    const qint64 rest = bytes % BytesPerMB; // same sign as bytes
    const qint64 twiceRest = 2 * (rest < 0 ? -rest : rest);
    if (twiceRest > BytesPerMB || (twiceRest == BytesPerMB && mb % 2 != 0))
        mb += bytes < 0 ? -1 : 1;
    return mb;
}

double percentOfTotal(qint64 part, qint64 total)
{
    if (total == 0)
        raiseInvalidFloatingPoint();
    const qint64 hundredfold = checkedMul(part, 100);
    const double percent = static_cast<double>(hundredfold) / static_cast<double>(total) * 100.0;
    return roundHalfEven(percent) / 100.0;
}

SpaceFigures computeSpaceFigures(const SpaceInputs& in)
{
    if (in.TotalBytes == 0)
        raiseInvalidFloatingPoint();

    SpaceFigures out;
    out.UsedBytes = checkedSub(in.TotalBytes, in.FreeBytes);

    // Each rounded on its own, so FreeMB + UsedMB may differ from TotalMB by one.
    out.TotalMB = bytesToMB(in.TotalBytes);
    out.FreeMB = bytesToMB(in.FreeBytes);
    out.UsedMB = bytesToMB(out.UsedBytes);

    out.FreePercent = percentOfTotal(in.FreeBytes, in.TotalBytes);
    out.UsedPercent = percentOfTotal(out.UsedBytes, in.TotalBytes);

    // Freed space is never subtracted: the cumulative figure only counts consumption.
    out.CumulativeUsedMB = in.CumulativeUsedMB;
    const qint64 consumed = checkedSub(in.PreviousFreeMB, out.FreeMB);
    if (consumed >= 1)
        out.CumulativeUsedMB = checkedAdd(out.CumulativeUsedMB, consumed);

    // A first run, a same-day run or a start date in the future all count as one day.
    double daysSinceStart = in.RunDate - in.StartDate;
    if (!(daysSinceStart >= 1.0))
        daysSinceStart = 1.0;

    // The ceiling keeps a slow trickle (1 MB over 30 days) from averaging to nothing.
    out.AverageDailyMB =
        toInt64Checked(std::ceil(static_cast<double>(out.CumulativeUsedMB) / daysSinceStart));

    if (out.AverageDailyMB < 1) {
        out.AverageDailyMB = 0;
        out.ZeroDate = 0;
    } else {
        const double daysLeft = roundHalfEven(static_cast<double>(out.FreeMB) /
                                              static_cast<double>(out.AverageDailyMB));
        // Less than half a day's consumption left predicts no date at all.
        out.ZeroDate = daysLeft >= 1 ? in.RunDate + daysLeft : 0;
    }

    // An empty threshold counts as smaller than any number, so it never exceeds 0.
    out.FreeSpaceAlert = Variant::greaterThan(in.Alert1MB, 0.0) &&
                         Variant::compare(QVariant::fromValue(out.FreeMB), in.Alert1MB) <= 0;
    return out;
}
