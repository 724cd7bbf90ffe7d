#include "platform/SmbWorkerServer.h"

#include "platform/SmbProbeProtocol.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace Qt::Literals::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;

constexpr qsizetype MaximumAnswerBytes = 1 << 20;

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

int millisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 60'000));
}

class Socket {
public:
    explicit Socket(int fd)
        : m_fd(fd)
    {
    }
    ~Socket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Reads until the peer closes or the deadline passes; false at the deadline. With
// untilNewline, stops after the first line (which stays in *data).
bool readBefore(int fd, Clock::time_point deadline, QByteArray* data, bool untilNewline)
{
    char buffer[8192];
    for (;;) {
        if (untilNewline && data->contains('\n'))
            return true;
        pollfd readable{fd, POLLIN, 0};
        const int ready = ::poll(&readable, 1, millisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return false;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return true;
        if (data->size() + n <= MaximumAnswerBytes)
            data->append(buffer, n);
    }
}

} // namespace

SmbWorkerServer::SmbWorkerServer(QString program)
    : m_program(std::move(program))
{
}

SmbWorkerServer::~SmbWorkerServer()
{
    const std::lock_guard<std::mutex> held(m_mutex);
    stopServer();
}

bool SmbWorkerServer::startServer(QString* error)
{
    // A datagram-like socket: each message carries exactly one child's socket.
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        *error = errorText(errno);
        return false;
    }
    Socket theirs(pair[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // Whatever this thread blocks, the server and its children must get their alarms.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const QByteArray path = QFile::encodeName(m_program);
    char serve[] = "--serve";
    char* const argv[] = {const_cast<char*>(path.constData()), serve, nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, path.constData(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ::close(pair[0]);
        *error = errorText(spawned);
        return false;
    }
    // A server that stops taking sockets (stopped, or stuck forking) must not hold every
    // measurement waiting here.
    const timeval sendLimit{5, 0};
    ::setsockopt(pair[0], SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
    m_control = pair[0];
    m_pid = pid;
    return true;
}

void SmbWorkerServer::stopServer()
{
    if (m_control >= 0)
        ::close(m_control); // the server ends when its control socket does
    m_control = -1;
    if (m_pid <= 0)
        return;
    for (int waited = 0; waited < 200; ++waited) {
        const pid_t result = ::waitpid(m_pid, nullptr, WNOHANG);
        if (result != 0 && !(result < 0 && errno == EINTR)) {
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(m_pid, SIGKILL);
    while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
}

int SmbWorkerServer::connectChild(QString* error)
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        *error = errorText(errno);
        return -1;
    }
    Socket theirs(pair[1]);
    const std::lock_guard<std::mutex> held(m_mutex);
    // A server that has ended (killed, or crashed) is replaced once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) != 0) {
            m_pid = -1;
            stopServer();
        }
        if (m_control < 0 && !startServer(error))
            break;
        if (sendSocket(m_control, pair[1]))
            return pair[0];
        *error = errorText(errno);
        stopServer();
    }
    ::close(pair[0]);
    return -1;
}

SmbWorkerServer::Answer SmbWorkerServer::exchange(const QByteArray& request,
                                                  Clock::time_point deadline)
{
    Answer answer;
    const Socket child(connectChild(&answer.error));
    if (child.get() < 0)
        return answer;

    // The child's first line is its PID, so that it can be killed at the deadline.
    QByteArray text;
    if (!readBefore(child.get(), deadline, &text, true)) {
        answer.timedOut = true; // the server forks no child in time; nothing to kill
        return answer;
    }
    const qsizetype newline = text.indexOf('\n');
    bool numeric = false;
    const pid_t pid = newline > 0 ? text.left(newline).toInt(&numeric) : 0;
    if (!numeric || pid <= 0) {
        answer.error = u"no answer"_s;
        return answer;
    }
    text.remove(0, newline + 1);

    for (qsizetype sent = 0; sent < request.size();) {
        const ssize_t n = ::send(child.get(), request.constData() + sent,
                                 static_cast<size_t>(request.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // the child went; it gives no answer then
        sent += n;
    }
    ::shutdown(child.get(), SHUT_WR);

    if (!readBefore(child.get(), deadline, &text, false)) {
        // Still running, so still the child of that PID: the socket would have ended
        // with it.
        ::kill(pid, SIGKILL);
        answer.timedOut = true;
        return answer;
    }
    if (text.isEmpty())
        answer.error = u"no answer"_s;
    answer.data = text;
    return answer;
}
