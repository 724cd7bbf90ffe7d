#include "platform/DiskSpaceProbe.h"

#include "platform/ProbeFailure.h"

using namespace Qt::Literals::StringLiterals;

Measurement DiskSpaceProbe::prepare(const QString& address, std::chrono::milliseconds)
{
    return [this, lock = m_queryLock, address] {
        const std::lock_guard<std::mutex> held(*lock);
        const std::optional<DiskSpace> space = query(address);
        return space ? ProbeOutcome::measured(*space) : ProbeOutcome::failed(u"not found"_s);
    };
}

void DiskSpaceProbe::setShareCredentials(const QList<ShareCredential>&) {}
