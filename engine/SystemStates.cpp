#include "engine/SystemStates.h"

#include "data/Errors.h"
#include "data/Variant.h"

#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace SystemStates {

namespace {

bool isZero(const QVariant& value)
{
    return Variant::compare(value, QVariant(0.0)) == 0 || Variant::isNull(value);
}

} // namespace

SystemState of(const QVariant& initialDate, const QVariant& lastFreePercent,
               const QVariant& lastUsedPercent, const QVariant& lastFreeMB,
               const QVariant& alert1MB)
{
    if (Variant::isNull(initialDate))
        return SystemState::Ok;
    if (isZero(lastFreePercent) && isZero(lastUsedPercent))
        return SystemState::NotFound;
    // An empty threshold is smaller than any number, so it is never reached.
    if (Variant::greaterThan(alert1MB, 0.0) && Variant::compare(lastFreeMB, alert1MB) <= 0)
        return SystemState::AtThreshold;
    return SystemState::Ok;
}

std::optional<SystemState> ofStored(const QVariant& initialDate, const QVariant& lastFreePercent,
                                    const QVariant& lastUsedPercent, const QVariant& lastFreeMB,
                                    const QVariant& alert1MB)
{
    try {
        return of(initialDate, lastFreePercent, lastUsedPercent, lastFreeMB, alert1MB);
    } catch (const VardometerError&) {
        return std::nullopt;
    }
}

void Counts::add(SystemState state)
{
    if (state == SystemState::NotFound)
        ++notFound;
    else if (state == SystemState::AtThreshold)
        ++atThreshold;
}

SystemState Counts::worst() const
{
    if (notFound > 0)
        return SystemState::NotFound;
    return atThreshold > 0 ? SystemState::AtThreshold : SystemState::Ok;
}

QString describe(const Counts& counts)
{
    QStringList lines;
    if (counts.notFound > 0)
        lines << (counts.notFound == 1 ? u"1 system not found"_s
                                       : u"%1 systems not found"_s.arg(counts.notFound));
    if (counts.atThreshold > 0)
        lines << (counts.atThreshold == 1
                      ? u"1 system at its alert threshold"_s
                      : u"%1 systems at their alert threshold"_s.arg(counts.atThreshold));
    if (lines.isEmpty())
        lines << u"All Systems within tolerance"_s;
    return lines.join(u'\n');
}

} // namespace SystemStates
