#include "platform/NewFile.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace NewFile {
namespace {

Placement failed(int error)
{
    return {Outcome::Failed, QString::fromLocal8Bit(std::strerror(error))};
}

bool unsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP ||
           error == EPERM;
}

bool copyAll(int from, int to)
{
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return false;
            done += put;
        }
    }
}

// O_CREAT with O_EXCL never follows a link at the name and fails on any entry there.
Placement copyIntoNewName(const QByteArray& from, const QByteArray& to)
{
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return failed(errno);
    const int out =
        ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return error == EEXIST ? Placement{Outcome::NameTaken, {}} : failed(error);
    }
    const bool copied = copyAll(in, out);
    int error = copied ? 0 : errno;
    if (::close(out) != 0 && error == 0)
        error = errno;
    ::close(in);
    if (!copied || error != 0) {
        ::unlink(to.constData());
        return failed(error != 0 ? error : EIO);
    }
    ::unlink(from.constData());
    return {Outcome::Placed, {}};
}

} // namespace

Placement placeWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return {Outcome::Placed, {}};
    int error = errno;
    if (error == EEXIST)
        return {Outcome::NameTaken, {}};
    if (!unsupported(error))
        return failed(error);
    // A hard link refuses an existing name just as well, links included.
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return {Outcome::Placed, {}};
    }
    error = errno;
    if (error == EEXIST)
        return {Outcome::NameTaken, {}};
    if (!unsupported(error))
        return failed(error);
    return copyIntoNewName(source, target);
}

} // namespace NewFile
