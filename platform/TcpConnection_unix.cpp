#include "platform/TcpConnection.h"

#include "platform/ProbeFailure.h"
#include "platform/SmbProbeProtocol.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QString failureOf(int error)
{
    return connectionFailureOf(error).value_or(QString::fromLocal8Bit(std::strerror(error)));
}

int millisecondsUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 600'000));
}

// 0 once connected, else the error.
int connectBefore(int socket, const sockaddr* address, socklen_t length,
                  std::chrono::steady_clock::time_point deadline)
{
    const int flags = ::fcntl(socket, F_GETFL);
    if (flags < 0 || ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) < 0)
        return errno;
    if (::connect(socket, address, length) != 0) {
        if (errno != EINPROGRESS)
            return errno;
        for (;;) {
            pollfd writable{socket, POLLOUT, 0};
            const int ready = ::poll(&writable, 1, millisecondsUntil(deadline));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0)
                return errno;
            if (ready == 0)
                return ETIMEDOUT;
            break;
        }
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
            return errno;
        if (error != 0)
            return error;
    }
    return ::fcntl(socket, F_SETFL, flags) < 0 ? errno : 0;
}

} // namespace

int connectTcp(const QString& host, int port, std::chrono::steady_clock::time_point deadline,
               QString* failure)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int lookup = ::getaddrinfo(host.toUtf8().constData(),
                                     QByteArray::number(port).constData(), &hints, &found);
    if (lookup != 0) {
        *failure = lookup == EAI_NONAME || lookup == EAI_NODATA
                       ? QString(ProbeFailure::HostNotFound)
                       : QString::fromLocal8Bit(::gai_strerror(lookup));
        return -1;
    }
    int error = ETIMEDOUT;
    int connected = -1;
    for (addrinfo* a = found; a && connected < 0; a = a->ai_next) {
        if (std::chrono::steady_clock::now() >= deadline) {
            error = ETIMEDOUT;
            break;
        }
        const int s = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) {
            error = errno;
            continue;
        }
        error = connectBefore(s, a->ai_addr, a->ai_addrlen, deadline);
        if (error == 0)
            connected = s;
        else
            ::close(s);
    }
    ::freeaddrinfo(found);
    if (connected < 0)
        *failure = failureOf(error);
    return connected;
}

void closeTcp(int socket)
{
    if (socket >= 0)
        ::close(socket);
}
