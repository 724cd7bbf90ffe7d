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
    Measurement prepare(const QString& address, std::chrono::milliseconds timeout) override;
    bool answersAtOnce(const QString& address) const override;
    std::optional<HostEndpoint> hostToCheck(const QString& address) const override;
    // Passed on to every registered probe, now and when one is registered later.
    void setShareCredentials(const QList<ShareCredential>& credentials) override;

private:
    std::map<DiskAddressKind, std::unique_ptr<DiskSpaceProbe>> m_probes;
    QList<ShareCredential> m_credentials;
};

// Every kind of address this build can measure: local paths, SMB shares and SSH hosts.
std::unique_ptr<DiskSpaceProbe> createDiskSpaceProbe();
