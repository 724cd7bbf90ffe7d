#include "platform/LocalDiskSpaceProbe.h"

#include "platform/DiskAddress.h"
#include "platform/ProbeFailure.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/statvfs.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QString failureOf(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ProbeFailure::NoSuchFolder;
    case EACCES:
    case EPERM:
        return ProbeFailure::AccessDenied;
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

ProbeOutcome figuresOf(const struct statvfs& volume)
{
    // Block counts are in units of the fragment size. f_bavail leaves out the blocks reserved
    // for the administrator, which is what an ordinary user can still fill.
    DiskSpace space;
    if (__builtin_mul_overflow(volume.f_bavail, volume.f_frsize, &space.freeBytesAvailable) ||
        __builtin_mul_overflow(volume.f_blocks, volume.f_frsize, &space.totalBytes))
        return ProbeOutcome::failed(ProbeFailure::FiguresTooLarge);
    if (space.totalBytes <= 0)
        return ProbeOutcome::failed(ProbeFailure::NoSize);
    return ProbeOutcome::measured(space);
}

ProbeOutcome measureLocal(const QString& address)
{
    if (diskAddressKind(address) != DiskAddressKind::Local)
        return ProbeOutcome::failed(address.isEmpty() || address.contains(QChar(0))
                                        ? QString(ProbeFailure::InvalidAddress)
                                        : u"not a local path"_s);
    const QByteArray path = QFile::encodeName(address);

    // One call for a folder that can be measured: "/." resolves only inside a folder, so a
    // path naming a file fails it. Any failure asks again the long way, which tells a
    // missing folder from a file and from a folder one may see but not enter.
    struct statvfs volume {};
    if (::statvfs((path + "/.").constData(), &volume) == 0)
        return figuresOf(volume);

    struct stat status {};
    if (::stat(path.constData(), &status) != 0)
        return ProbeOutcome::failed(failureOf(errno));
    if (!S_ISDIR(status.st_mode))
        return ProbeOutcome::failed(ProbeFailure::NotAFolder);
    if (::statvfs(path.constData(), &volume) != 0)
        return ProbeOutcome::failed(failureOf(errno));
    return figuresOf(volume);
}

} // namespace

Measurement LocalDiskSpaceProbe::prepare(const QString& address, std::chrono::milliseconds)
{
    return [address] { return measureLocal(address); };
}

bool LocalDiskSpaceProbe::answersAtOnce(const QString&) const
{
    // Every measurement here asks this machine's kernel, or fails before it asks.
    return true;
}
