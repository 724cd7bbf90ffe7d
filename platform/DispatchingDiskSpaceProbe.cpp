#include "platform/DispatchingDiskSpaceProbe.h"

#include "platform/LocalDiskSpaceProbe.h"
#include "platform/ProbeFailure.h"
#include "platform/SftpDiskSpaceProbe.h"
#include "platform/SmbDiskSpaceProbe.h"

void DispatchingDiskSpaceProbe::setProbe(DiskAddressKind kind,
                                         std::unique_ptr<DiskSpaceProbe> probe)
{
    if (probe)
        probe->setShareCredentials(m_credentials);
    m_probes[kind] = std::move(probe);
}

Measurement DispatchingDiskSpaceProbe::prepare(const QString& address,
                                               std::chrono::milliseconds timeout)
{
    const DiskAddressKind kind = diskAddressKind(address);
    if (kind == DiskAddressKind::Invalid)
        return [] { return ProbeOutcome::failed(ProbeFailure::InvalidAddress); };
    const auto found = m_probes.find(kind);
    if (found == m_probes.end() || !found->second)
        return [] { return ProbeOutcome::failed(ProbeFailure::UnsupportedAddress); };
    // Held here as well as in each probe: a zero total would stop a whole run at the
    // percentage, so no probe added later may let one through.
    return [measurement = found->second->prepare(address, timeout)] {
        ProbeOutcome outcome = measurement();
        if (outcome.space && outcome.space->totalBytes <= 0)
            return ProbeOutcome::failed(ProbeFailure::NoSize);
        return outcome;
    };
}

bool DispatchingDiskSpaceProbe::answersAtOnce(const QString& address) const
{
    const auto found = m_probes.find(diskAddressKind(address));
    return found != m_probes.end() && found->second && found->second->answersAtOnce(address);
}

std::optional<HostEndpoint> DispatchingDiskSpaceProbe::hostToCheck(const QString& address) const
{
    const auto found = m_probes.find(diskAddressKind(address));
    if (found == m_probes.end() || !found->second)
        return std::nullopt;
    return found->second->hostToCheck(address);
}

void DispatchingDiskSpaceProbe::setShareCredentials(const QList<ShareCredential>& credentials)
{
    m_credentials = credentials;
    for (const auto& [kind, probe] : m_probes)
        if (probe)
            probe->setShareCredentials(credentials);
}

std::unique_ptr<DiskSpaceProbe> createDiskSpaceProbe()
{
    auto probe = std::make_unique<DispatchingDiskSpaceProbe>();
    probe->setProbe(DiskAddressKind::Local, std::make_unique<LocalDiskSpaceProbe>());
    probe->setProbe(DiskAddressKind::Smb, std::make_unique<SmbDiskSpaceProbe>());
    probe->setProbe(DiskAddressKind::Sftp, std::make_unique<SftpDiskSpaceProbe>());
    return probe;
}
