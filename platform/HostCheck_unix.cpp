#include "platform/HostCheck.h"

#include "platform/CheckedConnections.h"
#include "platform/NameLookup.h"
#include "platform/ProbeFailure.h"
#include "platform/SmbProbeProtocol.h"

#include <QHash>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds CancelledWithin{50};
// Left for everything else the process opens while a check runs: the lookups' own
// sockets, the database, the measurements that have started.
constexpr rlim_t FilesKeptFree = 256;
constexpr rlim_t FilesWanted = 16384;

void setPort(SocketAddress& address, int port)
{
    if (address.storage.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in*>(&address.storage)->sin_port = htons(uint16_t(port));
    else if (address.storage.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&address.storage)->sin6_port = htons(uint16_t(port));
}

QString lookupFailure(int error)
{
    return error == EAI_NONAME || error == EAI_NODATA
               ? QString(ProbeFailure::HostNotFound)
               : QString::fromLocal8Bit(::gai_strerror(error));
}

QString connectionFailure(int error)
{
    return connectionFailureOf(error).value_or(QString::fromLocal8Bit(std::strerror(error)));
}

// As many sockets as the process may open beside what it needs otherwise: the soft limit
// on open files raised towards the hard one first, since a check watches its sockets with
// poll, not select, and so has no use for the customary 1,024.
size_t socketsAllowed(size_t wanted)
{
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0)
        return 16;
    const rlim_t goal = std::min<rlim_t>(files.rlim_max, std::max<rlim_t>(FilesWanted, wanted));
    if (files.rlim_cur < goal) {
        rlimit raised = files;
        raised.rlim_cur = goal;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            files = raised;
    }
    return files.rlim_cur > FilesKeptFree + 16 ? size_t(files.rlim_cur - FilesKeptFree) : 16;
}

enum class Stage { Resolving, Connecting, Answering, Done };

// One connection attempt, to one address and port of a server.
struct Attempt {
    int socket = -1;
    int port = 0;
};

struct EndpointCheck {
    const HostEndpoint* endpoint = nullptr;
    Stage stage = Stage::Resolving;
    std::shared_ptr<NameLookup> lookup;
    std::vector<SocketAddress> addresses;
    size_t nextAttempt = 0; // of addresses × ports, in that order
    Clock::time_point lastStarted;
    std::vector<Attempt> connecting; // in flight
    Attempt answering;               // the one that connected, waiting for the server's answer
    int lastError = ETIMEDOUT;

    size_t attempts() const { return addresses.size() * endpoint->ports.size(); }
};

class Check {
public:
    Check(const std::vector<HostEndpoint>& endpoints,
          const std::function<void(size_t, const QString&)>& verdict)
        : m_verdict(verdict)
    {
        m_checks.resize(endpoints.size());
        for (size_t i = 0; i < endpoints.size(); ++i) {
            m_checks[i].endpoint = &endpoints[i];
            startLookup(m_checks[i]);
        }
        m_socketsAllowed = socketsAllowed(endpoints.size() + FilesKeptFree);
    }
    ~Check()
    {
        *m_wanted = false;
        for (EndpointCheck& check : m_checks)
            closeAll(check);
    }
    Check(const Check&) = delete;
    Check& operator=(const Check&) = delete;

    void run(Clock::time_point deadline, const std::atomic<bool>& cancelled)
    {
        std::vector<pollfd> watched;
        std::vector<size_t> watchedCheck;
        for (;;) {
            if (cancelled)
                return;
            const Clock::time_point now = Clock::now();
            if (now >= deadline) {
                for (size_t i = 0; i < m_checks.size(); ++i)
                    if (m_checks[i].stage != Stage::Done)
                        give(i, ProbeFailure::TimedOut);
                return;
            }
            takeLookups();
            Clock::time_point wakeBy = std::min(deadline, now + CancelledWithin);
            for (size_t i = 0; i < m_checks.size(); ++i)
                if (m_checks[i].stage == Stage::Connecting)
                    wakeBy = std::min(wakeBy, startAttempts(i, now));
            if (m_done == m_checks.size())
                return;

            watched.assign(1, pollfd{m_wakeup->fd(), POLLIN, 0});
            watchedCheck.assign(1, 0);
            for (size_t i = 0; i < m_checks.size(); ++i) {
                const EndpointCheck& check = m_checks[i];
                for (const Attempt& attempt : check.connecting) {
                    watched.push_back(pollfd{attempt.socket, POLLOUT, 0});
                    watchedCheck.push_back(i);
                }
                if (check.stage == Stage::Answering) {
                    watched.push_back(pollfd{check.answering.socket, POLLIN, 0});
                    watchedCheck.push_back(i);
                }
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(wakeBy - Clock::now());
            const int wait = static_cast<int>(std::max<long long>(left.count(), 0));
            if (::poll(watched.data(), watched.size(), wait) < 0 && errno != EINTR)
                return; // not with valid descriptors; the sweep counts the rest as timed out
            if (watched[0].revents)
                m_wakeup->drain();
            for (size_t k = 1; k < watched.size(); ++k)
                if (watched[k].revents)
                    advance(watchedCheck[k], watched[k].fd, watched[k].revents);
        }
    }

private:
    // A server may be reached on one of several addresses and ports, and one of them may
    // swallow what is sent to it (a filtered port, a stale address): the next is tried this
    // long after the one before, without giving that one up.
    static constexpr std::chrono::milliseconds NextAttemptAfter{250};

    void startLookup(EndpointCheck& check)
    {
        const QByteArray name = check.endpoint->host.toUtf8();
        // An address written as numbers needs no lookup, nor a thread.
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICHOST;
        addrinfo* found = nullptr;
        if (::getaddrinfo(name.constData(), nullptr, &hints, &found) == 0) {
            check.addresses = addressesOf(found);
            ::freeaddrinfo(found);
            check.stage = Stage::Connecting;
            return;
        }
        std::shared_ptr<NameLookup>& lookup = m_lookups[name];
        if (!lookup) {
            lookup = std::make_shared<NameLookup>();
            lookup->name = name;
            lookup->wakeup = m_wakeup;
            lookup->wanted = m_wanted;
            startNameLookup(lookup);
        }
        check.lookup = lookup;
    }

    void takeLookups()
    {
        for (size_t i = 0; i < m_checks.size(); ++i) {
            EndpointCheck& check = m_checks[i];
            if (check.stage != Stage::Resolving)
                continue;
            int error = 0;
            {
                const std::lock_guard<std::mutex> held(check.lookup->mutex);
                if (!check.lookup->done)
                    continue;
                error = check.lookup->error;
                check.addresses = check.lookup->addresses;
            }
            if (error != 0)
                give(i, lookupFailure(error));
            else
                check.stage = Stage::Connecting;
        }
    }

    // Starts check i's next attempts that are due, or gives its verdict when every attempt
    // has failed. Returns when the next one falls due.
    Clock::time_point startAttempts(size_t i, Clock::time_point now)
    {
        EndpointCheck& check = m_checks[i];
        const std::vector<int>& ports = check.endpoint->ports;
        while (check.stage == Stage::Connecting && check.nextAttempt < check.attempts() &&
               (check.connecting.empty() || now - check.lastStarted >= NextAttemptAfter) &&
               m_socketsOpen < m_socketsAllowed) {
            SocketAddress address = check.addresses[check.nextAttempt / ports.size()];
            const int port = ports[check.nextAttempt % ports.size()];
            setPort(address, port);
            const int s =
                ::socket(address.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (s < 0 && (errno == EMFILE || errno == ENFILE) && m_socketsOpen > 0) {
                // Out of descriptors: this attempt waits for one of the others to end.
                m_socketsAllowed = m_socketsOpen;
                break;
            }
            ++check.nextAttempt;
            check.lastStarted = now;
            if (s < 0) {
                check.lastError = errno;
                continue;
            }
            ++m_socketsOpen;
            const Attempt attempt{s, port};
            if (::connect(s, reinterpret_cast<const sockaddr*>(&address.storage), address.length) ==
                0) {
                connected(i, attempt);
            } else if (errno == EINPROGRESS) {
                check.connecting.push_back(attempt);
            } else {
                check.lastError = errno;
                close(attempt);
            }
        }
        if (check.stage == Stage::Connecting && check.connecting.empty() &&
            check.nextAttempt >= check.attempts()) {
            give(i, check.addresses.empty() ? QString(ProbeFailure::HostNotFound)
                                            : connectionFailure(check.lastError));
        }
        // One waiting for a free descriptor is started when another closes: poll wakes then.
        if (check.stage != Stage::Connecting || check.nextAttempt >= check.attempts() ||
            check.connecting.empty() || m_socketsOpen >= m_socketsAllowed)
            return Clock::time_point::max();
        return check.lastStarted + NextAttemptAfter;
    }

    // The first attempt to connect wins; the others are given up.
    void connected(size_t i, Attempt attempt)
    {
        EndpointCheck& check = m_checks[i];
        for (const Attempt& other : check.connecting)
            close(other);
        check.connecting.clear();
        check.answering = attempt;
        check.stage = Stage::Answering;
        const QByteArray& hello = check.endpoint->hello;
        // A few bytes on a new connection always fit its buffer; a server that has already
        // gone shows it answered, and the measurement finds out why.
        if (!hello.isEmpty())
            (void)::send(attempt.socket, hello.constData(), size_t(hello.size()), MSG_NOSIGNAL);
    }

    void advance(size_t i, int socket, short events)
    {
        EndpointCheck& check = m_checks[i];
        if (check.stage == Stage::Connecting) {
            const auto found =
                std::find_if(check.connecting.begin(), check.connecting.end(),
                             [socket](const Attempt& a) { return a.socket == socket; });
            if (found == check.connecting.end())
                return; // given up in this round already
            const Attempt attempt = *found;
            check.connecting.erase(found);
            int error = 0;
            socklen_t size = sizeof error;
            if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
            if (error == 0) {
                connected(i, attempt);
                return;
            }
            check.lastError = error;
            close(attempt);
            startAttempts(i, Clock::now());
            return;
        }
        if (check.stage != Stage::Answering || socket != check.answering.socket)
            return;
        if (check.endpoint->keepConnection && (events & POLLIN) && !(events & POLLERR)) {
            const int flags = ::fcntl(socket, F_GETFL);
            if (flags >= 0 && ::fcntl(socket, F_SETFL, flags & ~O_NONBLOCK) == 0 &&
                keepCheckedConnection(check.endpoint->host, check.answering.port, socket)) {
                check.answering.socket = -1;
                --m_socketsOpen;
            }
        } else {
            // Read what came, so that closing does not reset the connection.
            char answer[4096];
            while (::recv(socket, answer, sizeof answer, MSG_DONTWAIT) > 0) {
            }
        }
        give(i, {});
    }

    void give(size_t i, const QString& failure)
    {
        EndpointCheck& check = m_checks[i];
        closeAll(check);
        check.stage = Stage::Done;
        ++m_done;
        m_verdict(i, failure);
    }

    void close(const Attempt& attempt)
    {
        if (attempt.socket < 0)
            return;
        ::close(attempt.socket);
        --m_socketsOpen;
    }

    void closeAll(EndpointCheck& check)
    {
        for (const Attempt& attempt : check.connecting)
            close(attempt);
        check.connecting.clear();
        close(check.answering);
        check.answering.socket = -1;
    }

    const std::function<void(size_t, const QString&)>& m_verdict;
    std::vector<EndpointCheck> m_checks;
    QHash<QByteArray, std::shared_ptr<NameLookup>> m_lookups;
    const std::shared_ptr<Wakeup> m_wakeup = std::make_shared<Wakeup>();
    const std::shared_ptr<std::atomic<bool>> m_wanted = std::make_shared<std::atomic<bool>>(true);
    size_t m_socketsAllowed = 16;
    size_t m_socketsOpen = 0;
    size_t m_done = 0;
};

} // namespace

void checkHosts(const std::vector<HostEndpoint>& endpoints, Clock::time_point deadline,
                const std::function<void(size_t endpoint, const QString& failure)>& verdict,
                const std::atomic<bool>& cancelled)
{
    if (endpoints.empty())
        return;
    Check check(endpoints, verdict);
    check.run(deadline, cancelled);
}
