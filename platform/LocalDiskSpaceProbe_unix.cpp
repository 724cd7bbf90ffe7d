#include "platform/LocalDiskSpaceProbe.h"

#include "platform/DiskAddress.h"

#include <QFile>

#include <sys/stat.h>
#include <sys/statvfs.h>

std::optional<DiskSpace> LocalDiskSpaceProbe::query(const QString& address)
{
    if (diskAddressKind(address) != DiskAddressKind::Local)
        return std::nullopt;
    const QByteArray path = QFile::encodeName(address);

    struct stat status {};
    if (::stat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        return std::nullopt;

    struct statvfs volume {};
    if (::statvfs(path.constData(), &volume) != 0)
        return std::nullopt;

    // Block counts are in units of the fragment size. f_bavail leaves out the blocks reserved
    // for the administrator, which is what an ordinary user can still fill.
    DiskSpace space;
    if (__builtin_mul_overflow(volume.f_bavail, volume.f_frsize, &space.freeBytesAvailable) ||
        __builtin_mul_overflow(volume.f_blocks, volume.f_frsize, &space.totalBytes))
        return std::nullopt;
    if (space.totalBytes <= 0)
        return std::nullopt;
    return space;
}
