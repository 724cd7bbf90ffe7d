#pragma once

#include "platform/DiskAddress.h"
#include "platform/DiskSpaceProbe.h"

#include <map>
#include <memory>

// Hands each address to the probe registered for its form. A form with no probe, an invalid
// address and an unknown scheme all fail without asking anyone.
class DispatchingDiskSpaceProbe : public DiskSpaceProbe {
public:
    void setProbe(DiskAddressKind kind, std::unique_ptr<DiskSpaceProbe> probe);
    std::optional<DiskSpace> query(const QString& address) override;

private:
    std::map<DiskAddressKind, std::unique_ptr<DiskSpaceProbe>> m_probes;
};

// Every kind of address this build can measure. Local paths only, for now: share and SSH
// addresses fail until their probes are registered here.
std::unique_ptr<DiskSpaceProbe> createDiskSpaceProbe();
