#include "platform/SmbProbeProtocol.h"

#include "platform/ProbeFailure.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace {

// One byte of data with room for one descriptor beside it: what either side of a hand-over
// sends or receives. It points into itself, so it is never copied.
struct SocketMessage {
    char byte = 0;
    iovec data{&byte, 1};
    alignas(cmsghdr) char space[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};

    SocketMessage()
    {
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = space;
        message.msg_controllen = sizeof space;
    }
    SocketMessage(const SocketMessage&) = delete;
    SocketMessage& operator=(const SocketMessage&) = delete;
};

} // namespace

bool sendSocket(int control, int socket)
{
    SocketMessage m;
    m.byte = 'r';
    cmsghdr* header = CMSG_FIRSTHDR(&m.message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &socket, sizeof(int));
    ssize_t sent;
    do
        sent = ::sendmsg(control, &m.message, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent == 1;
}

int receiveSocket(int control)
{
    SocketMessage m;
    ssize_t n;
    do
        n = ::recvmsg(control, &m.message, MSG_CMSG_CLOEXEC);
    while (n < 0 && errno == EINTR);
    if (n <= 0)
        return -1;
    const cmsghdr* header = CMSG_FIRSTHDR(&m.message);
    if (!header || header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS)
        return -2;
    int socket = -1;
    std::memcpy(&socket, CMSG_DATA(header), sizeof(int));
    return socket;
}

std::optional<QString> connectionFailureOf(int error)
{
    switch (error) {
    case ETIMEDOUT:
        return ProbeFailure::TimedOut;
    case ECONNREFUSED:
        return ProbeFailure::ConnectionRefused;
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EHOSTDOWN:
        return ProbeFailure::HostUnreachable;
    default:
        return std::nullopt;
    }
}
