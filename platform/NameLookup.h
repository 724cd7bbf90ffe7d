#pragma once

#include <QByteArray>

#include <atomic>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <sys/socket.h>
#include <vector>

// Name lookups for the host check, on threads of the process's own.

struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
};

std::vector<SocketAddress> addressesOf(const addrinfo* found);

// Wakes a check's poll when a lookup returns. Shared with the lookup threads, which may
// return after their check has ended.
class Wakeup {
public:
    Wakeup();
    ~Wakeup();
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;

    int fd() const { return m_fd; }
    void signal() const;
    void drain() const;

private:
    int m_fd;
};

// One name's lookup, shared by its check and the thread that does it.
struct NameLookup {
    QByteArray name;
    std::shared_ptr<Wakeup> wakeup;
    std::shared_ptr<std::atomic<bool>> wanted; // false once the check has ended

    std::mutex mutex;
    bool done = false;
    int error = 0; // getaddrinfo's
    std::vector<SocketAddress> addresses;

    // On the calling thread: getaddrinfo, then the result stored and the wakeup signalled.
    void resolve();
};

// Queues the lookup for one of the process's lookup threads (HostCheck.h bounds them).
// getaddrinfo blocks for as long as the resolver waits for a server that does not answer,
// and cannot be interrupted, so those threads are never waited for; a lookup no longer
// wanted when its turn comes is skipped.
void startNameLookup(std::shared_ptr<NameLookup> lookup);
