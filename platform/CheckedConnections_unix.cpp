#include "platform/CheckedConnections.h"

#include <chrono>
#include <map>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Connections kept for measurements, until one takes them. Few and young: a measurement
// takes its connection moments after the check, and one left longer may have been closed
// by the server meanwhile.
class CheckedConnections {
public:
    // Never destroyed: a measurement the program gave up on may still ask it at the end.
    static CheckedConnections& instance()
    {
        static auto* connections = new CheckedConnections;
        return *connections;
    }
    // False when there are too many already; the caller closes the socket then.
    bool put(const QString& host, int port, int socket)
    {
        const std::lock_guard<std::mutex> held(m_mutex);
        if (m_sockets.size() >= MaxKept)
            return false;
        m_sockets.emplace(std::pair(host, port), Kept{socket, Clock::now()});
        return true;
    }
    int take(const QString& host, int port)
    {
        const std::lock_guard<std::mutex> held(m_mutex);
        for (auto found = m_sockets.find(std::pair(host, port));
             found != m_sockets.end() && found->first == std::pair(host, port);
             found = m_sockets.erase(found)) {
            const Kept kept = found->second;
            char next = 0;
            const bool closedMeanwhile =
                ::recv(kept.socket, &next, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
            if (Clock::now() - kept.since < MaxAge && !closedMeanwhile) {
                m_sockets.erase(found);
                return kept.socket;
            }
            ::close(kept.socket);
        }
        return -1;
    }
    void drop(const QString& host, int port)
    {
        const std::lock_guard<std::mutex> held(m_mutex);
        const auto [from, to] = m_sockets.equal_range(std::pair(host, port));
        for (auto i = from; i != to; ++i)
            ::close(i->second.socket);
        m_sockets.erase(from, to);
    }

private:
    static constexpr size_t MaxKept = 128;
    static constexpr std::chrono::seconds MaxAge{10};
    struct Kept {
        int socket;
        Clock::time_point since;
    };
    std::mutex m_mutex;
    std::multimap<std::pair<QString, int>, Kept> m_sockets;
};

} // namespace

bool keepCheckedConnection(const QString& host, int port, int socket)
{
    return CheckedConnections::instance().put(host, port, socket);
}

int takeCheckedConnection(const QString& host, int port)
{
    return CheckedConnections::instance().take(host, port);
}

void dropCheckedConnections(const std::vector<HostEndpoint>& endpoints)
{
    for (const HostEndpoint& endpoint : endpoints)
        if (endpoint.keepConnection)
            for (const int port : endpoint.ports)
                CheckedConnections::instance().drop(endpoint.host, port);
}
