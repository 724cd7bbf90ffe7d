#include "support/ServerFixtures.h"

#include <QFile>
#include <QProcess>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A socket bound to 127.0.0.1, or another IPv4 address (port 0: any free one); -1 on
// failure.
int boundLoopbackSocket(int port, int* boundPort, const char* at = "127.0.0.1")
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    const int one = 1;
    socklen_t length = sizeof address;
    if (::inet_pton(AF_INET, at, &address.sin_addr) != 1 ||
        ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(s);
        return -1;
    }
    *boundPort = ntohs(address.sin_port);
    return s;
}

} // namespace

int freeLoopbackPort()
{
    int port = 0;
    const int s = boundLoopbackSocket(0, &port);
    if (s < 0)
        return 0;
    ::close(s);
    return port;
}

bool acceptsConnections(const char* address, int port)
{
    sockaddr_storage storage{};
    socklen_t length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (::inet_pton(AF_INET, address, &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(port));
        length = sizeof *v4;
    } else if (::inet_pton(AF_INET6, address, &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(port));
        length = sizeof *v6;
    } else {
        return false;
    }
    const int s = ::socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
    const bool connected = ::connect(s, reinterpret_cast<sockaddr*>(&storage), length) == 0;
    ::close(s);
    return connected;
}

QString runTool(const QString& program, const QStringList& arguments, const QByteArray& input)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(30'000))
        return program + u": "_s + process.errorString();
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60'000)) {
        process.kill();
        process.waitForFinished();
        return program + u": did not finish"_s;
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return {};
    return program + u": "_s + QString::fromLocal8Bit(process.readAll()).trimmed();
}

SilentListeners::SilentListeners(int count)
    : SilentListeners(QStringList(count, u"127.0.0.1"_s), 0)
{
}

SilentListeners::SilentListeners(const QStringList& addresses, int port)
{
    if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        m_error = lastError();
        return;
    }
    for (const QString& at : addresses) {
        int boundPort = 0;
        const int s = boundLoopbackSocket(port, &boundPort, at.toLatin1().constData());
        if (s < 0 || ::listen(s, 128) != 0) {
            m_error = at + u": "_s + lastError();
            if (s >= 0)
                ::close(s);
            return;
        }
        m_sockets.push_back(s);
        m_ports.push_back(boundPort);
    }
    // Accepts whatever arrives and holds it open, silent, until the end.
    m_acceptor = std::thread([this] {
        std::vector<int> accepted;
        for (;;) {
            std::vector<pollfd> watched{{m_wake[0], POLLIN, 0}};
            for (const int s : m_sockets)
                watched.push_back({s, POLLIN, 0});
            if (::poll(watched.data(), watched.size(), -1) < 0 && errno != EINTR)
                break;
            if (watched[0].revents)
                break;
            for (size_t i = 1; i < watched.size(); ++i)
                if (watched[i].revents & POLLIN) {
                    const int c = ::accept4(watched[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
                    if (c >= 0)
                        accepted.push_back(c);
                }
        }
        for (const int c : accepted)
            ::close(c);
    });
}

SilentListeners::~SilentListeners()
{
    if (m_acceptor.joinable()) {
        const char stop = 'x';
        while (::write(m_wake[1], &stop, 1) < 0 && errno == EINTR) {
        }
        m_acceptor.join();
    }
    for (const int s : m_sockets)
        ::close(s);
    for (const int fd : m_wake)
        if (fd >= 0)
            ::close(fd);
}

TestUser::TestUser(QString name)
    : m_name(std::move(name))
{
    if (!::getpwnam(m_name.toLocal8Bit().constData())) {
        m_error = runTool(u"useradd"_s,
                          {u"--system"_s, u"--no-create-home"_s, u"--home-dir"_s, u"/nonexistent"_s,
                           u"--shell"_s, u"/usr/sbin/nologin"_s, m_name});
        if (!m_error.isEmpty())
            return;
        m_created = true;
    }
    m_error = runTool(u"usermod"_s, {u"-p"_s, u"*"_s, m_name});
}

TestUser::~TestUser()
{
    if (m_created)
        runTool(u"userdel"_s, {m_name});
}

TmpfsMount::TmpfsMount(const QString& mountPoint, qint64 bytes)
    : m_path(QFile::encodeName(mountPoint))
{
    // huge=never: with huge pages a small file could take 2 MiB, and expected free space
    // is worked out in ordinary pages. mode=1777: the servers' users write and read here.
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",huge=never,mode=1777";
    if (::mount("tmpfs", m_path.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) ==
        0)
        m_mounted = true;
    else
        m_error = lastError();
}

TmpfsMount::~TmpfsMount()
{
    if (m_mounted && ::umount(m_path.constData()) != 0)
        ::umount2(m_path.constData(), MNT_DETACH);
}

FolderFigures folderFigures(const QString& path)
{
    struct statvfs volume {};
    if (::statvfs(QFile::encodeName(path).constData(), &volume) != 0)
        return {};
    return FolderFigures{static_cast<qint64>(volume.f_bavail * volume.f_frsize),
                         static_cast<qint64>(volume.f_blocks * volume.f_frsize)};
}
