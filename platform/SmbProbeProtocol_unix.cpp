#include "platform/SmbProbeProtocol.h"

#include "platform/ProbeFailure.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>

bool sendSocket(int control, int socket)
{
    char byte = 'r';
    iovec data{&byte, 1};
    alignas(cmsghdr) char space[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = space;
    message.msg_controllen = sizeof space;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &socket, sizeof(int));
    ssize_t sent;
    do
        sent = ::sendmsg(control, &message, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent == 1;
}

int receiveSocket(int control)
{
    char byte = 0;
    iovec data{&byte, 1};
    alignas(cmsghdr) char space[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = space;
    message.msg_controllen = sizeof space;
    ssize_t n;
    do
        n = ::recvmsg(control, &message, MSG_CMSG_CLOEXEC);
    while (n < 0 && errno == EINTR);
    if (n <= 0)
        return -1;
    const cmsghdr* header = CMSG_FIRSTHDR(&message);
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
