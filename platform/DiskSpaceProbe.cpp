#include "platform/DiskSpaceProbe.h"

void DiskSpaceProbe::setShareCredentials(const QList<ShareCredential>&) {}
