#include "platform/NameLookup.h"

#include "platform/HostCheck.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <sys/eventfd.h>
#include <system_error>
#include <thread>
#include <unistd.h>

std::vector<SocketAddress> addressesOf(const addrinfo* found)
{
    std::vector<SocketAddress> addresses;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        SocketAddress address;
        std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
        address.length = a->ai_addrlen;
        addresses.push_back(address);
    }
    return addresses;
}

Wakeup::Wakeup()
    : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

Wakeup::~Wakeup()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void Wakeup::signal() const
{
    const uint64_t one = 1;
    while (::write(m_fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Wakeup::drain() const
{
    uint64_t count = 0;
    while (::read(m_fd, &count, sizeof count) > 0) {
    }
}

void NameLookup::resolve()
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int result = ::getaddrinfo(name.constData(), nullptr, &hints, &found);
    std::vector<SocketAddress> resolved = addressesOf(found);
    if (found)
        ::freeaddrinfo(found);
    {
        const std::lock_guard<std::mutex> held(mutex);
        error = result;
        addresses = std::move(resolved);
        done = true;
    }
    wakeup->signal();
}

namespace {

// The process's lookup threads, at most MaxNameLookupThreads at once.
class NameLookups {
public:
    // Never destroyed: its threads may still be running when the program ends.
    static NameLookups& instance()
    {
        static auto* lookups = new NameLookups;
        return *lookups;
    }

    void start(std::shared_ptr<NameLookup> lookup)
    {
        const std::lock_guard<std::mutex> held(m_mutex);
        m_queue.push_back(std::move(lookup));
        if (m_threads >= MaxNameLookupThreads)
            return;
        try {
            std::thread([this] { serve(); }).detach();
            ++m_threads;
        } catch (const std::system_error&) {
            // The lookup waits for a thread that is running; with none, its check times out.
        }
    }

private:
    void serve()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_queue.empty()) {
            const std::shared_ptr<NameLookup> lookup = std::move(m_queue.front());
            m_queue.pop_front();
            if (!*lookup->wanted)
                continue;
            lock.unlock();
            lookup->resolve();
            lock.lock();
        }
        --m_threads;
    }

    std::mutex m_mutex;
    std::deque<std::shared_ptr<NameLookup>> m_queue;
    int m_threads = 0;
};

} // namespace

void startNameLookup(std::shared_ptr<NameLookup> lookup)
{
    NameLookups::instance().start(std::move(lookup));
}
