#include "platform/DiskSpaceProbe.h"

void DiskSpaceProbe::setShareCredentials(const QList<ShareCredential>&) {}

bool DiskSpaceProbe::answersAtOnce(const QString&) const
{
    return false;
}

std::optional<HostEndpoint> DiskSpaceProbe::hostToCheck(const QString&) const
{
    return std::nullopt;
}
