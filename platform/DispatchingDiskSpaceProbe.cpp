#include "platform/DispatchingDiskSpaceProbe.h"

#include "platform/LocalDiskSpaceProbe.h"

void DispatchingDiskSpaceProbe::setProbe(DiskAddressKind kind,
                                         std::unique_ptr<DiskSpaceProbe> probe)
{
    m_probes[kind] = std::move(probe);
}

std::optional<DiskSpace> DispatchingDiskSpaceProbe::query(const QString& address)
{
    const auto found = m_probes.find(diskAddressKind(address));
    if (found == m_probes.end() || !found->second)
        return std::nullopt;
    std::optional<DiskSpace> space = found->second->query(address);
    // Held here as well as in each probe: a zero total would stop a whole run at the
    // percentage, so no probe added later may let one through.
    if (space && space->totalBytes <= 0)
        return std::nullopt;
    return space;
}

std::unique_ptr<DiskSpaceProbe> createDiskSpaceProbe()
{
    auto probe = std::make_unique<DispatchingDiskSpaceProbe>();
    probe->setProbe(DiskAddressKind::Local, std::make_unique<LocalDiskSpaceProbe>());
    return probe;
}
