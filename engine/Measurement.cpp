#include "engine/AlertLine.h"
#include "engine/Directories.h"
#include "engine/SpaceFigures.h"

#include "data/DM2.h"
#include "data/Errors.h"
#include "data/Variant.h"
#include "platform/DiskSpaceProbe.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// Whole megabytes as stored in a double column; Null is the conversion error.
qint64 storedMB(const Field& field)
{
    const QVariant value = field.value();
    if (Variant::isNull(value))
        raiseConversionError(u"Null"_s, u"Integer"_s);
    return Variant::toInt64(value);
}

} // namespace

void dvDirectories::AnalyseSystem()
{
    DataSet& systems = m_dm.ATblSystems;
    TotalBytes = FreeBytes = UsedBytes = 0;
    TotalMB = FreeMB = UsedMB = 0;
    PreviousFreeMB = CumulativeUsedMB = 0;
    ZeroDate = 0;
    FreePercent = UsedPercent = 0;
    AddressFound = false;

    if (systems.fieldByName(u"InitialDate"_s).isNull()) {
        StartDate = RunDate;
        systems.edit();
        systems.fieldByName(u"InitialDate"_s).setValue(RunDate);
        systems.fieldByName(u"CumUsedMB"_s).setValue(0);
        systems.post();
    }

    SystemName = systems.fieldByName(u"System"_s).asString();
    const QString address = systems.fieldByName(u"Address"_s).asString();
    const QVariant lastFree = systems.fieldByName(u"LastFreeMB"_s).value();
    PreviousFreeMB = Variant::isNull(lastFree) ? 0 : Variant::toInt64(lastFree);
    CumulativeUsedMB = storedMB(systems.fieldByName(u"CumUsedMB"_s));
    const QVariant zeroDate = systems.fieldByName(u"ZeroDate1"_s).value();
    ZeroDate = Variant::greaterThan(zeroDate, 0) ? Variant::toDouble(zeroDate) : 0;
    const QVariant initialDate = systems.fieldByName(u"InitialDate"_s).value();
    StartDate = Variant::greaterThan(initialDate, 0) ? Variant::toDouble(initialDate) : 0;
    OwnerName = AlertLine::ownerName(systems.fieldByName(u"Owner"_s).value());

    AddressFound = MeasureFreeSpace(address);
}

bool dvDirectories::MeasureFreeSpace(const QString& address)
{
    TotalBytes = FreeBytes = UsedBytes = 0;
    AverageDailyMB = 0;
    const ProbeOutcome outcome = measuredOutcome(address);
    LastProbeFailure = outcome.failure;
    const std::optional<DiskSpace>& space = outcome.space;
    // A volume reporting no size at all cannot be measured: it counts as not found rather
    // than ending the run for every system after it.
    if (!space || space->totalBytes <= 0)
        return false;

    SpaceInputs in;
    in.FreeBytes = space->freeBytesAvailable;
    in.TotalBytes = space->totalBytes;
    in.PreviousFreeMB = PreviousFreeMB;
    in.CumulativeUsedMB = CumulativeUsedMB;
    in.StartDate = StartDate;
    in.RunDate = RunDate;
    in.Alert1MB = m_dm.ATblSystems.fieldByName(u"Alert1MB"_s).value();
    const SpaceFigures out = computeSpaceFigures(in);

    FreeBytes = in.FreeBytes;
    TotalBytes = in.TotalBytes;
    UsedBytes = out.UsedBytes;
    TotalMB = out.TotalMB;
    FreeMB = out.FreeMB;
    UsedMB = out.UsedMB;
    FreePercent = out.FreePercent;
    UsedPercent = out.UsedPercent;
    CumulativeUsedMB = out.CumulativeUsedMB;
    AverageDailyMB = out.AverageDailyMB;
    ZeroDate = out.ZeroDate;
    if (out.FreeSpaceAlert) {
        AlertText = AlertLine::freeSpaceText(FreeMB);
        addAlertLine(AlertLine::freeSpaceLine(SystemName, FreeMB));
    }
    return true;
}
