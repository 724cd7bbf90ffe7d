#include "platform/HelperProcess.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace Qt::Literals::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;

constexpr qsizetype MaximumOutputBytes = 1 << 20;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// Kills and reaps the child unless it has been reaped already.
class Child {
public:
    explicit Child(pid_t pid)
        : m_pid(pid)
    {
    }
    ~Child()
    {
        if (m_pid > 0) {
            kill();
            reap(0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // True once the child has ended (its status in *status).
    bool reap(int flags, int* status = nullptr)
    {
        if (m_pid <= 0)
            return true;
        int s = 0;
        pid_t result;
        do
            result = ::waitpid(m_pid, &s, flags);
        while (result < 0 && errno == EINTR);
        if (result == 0)
            return false;
        m_pid = -1;
        if (status)
            *status = s;
        return true;
    }
    void kill()
    {
        if (m_pid > 0) // never -1: that would signal every process we may signal
            ::kill(m_pid, SIGKILL);
    }

private:
    pid_t m_pid;
};

int millisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 60'000));
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

HelperRun runHelper(const QString& program, const QByteArray& input, Clock::time_point deadline)
{
    HelperRun run;
    // A socket rather than a pipe for the input: a helper that dies early must give this
    // writer an error, not a SIGPIPE that would end the whole program.
    int inputPair[2];
    int outputPipe[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, inputPair) != 0) {
        run.error = errorText(errno);
        return run;
    }
    FileDescriptor inputOurs(inputPair[0]), inputTheirs(inputPair[1]);
    if (::pipe2(outputPipe, O_CLOEXEC) != 0) {
        run.error = errorText(errno);
        return run;
    }
    FileDescriptor outputOurs(outputPipe[0]), outputTheirs(outputPipe[1]);

    // Descriptors are close-on-exec, so a helper started by another thread at the same
    // moment inherits none of these; dup2 clears the flag on the child's own 0 and 1.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inputTheirs.get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outputTheirs.get(), STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const QByteArray path = QFile::encodeName(program);
    char* const argv[] = {const_cast<char*>(path.constData()), nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, path.constData(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        run.error = errorText(spawned);
        return run;
    }
    Child child(pid);
    inputTheirs.reset();
    outputTheirs.reset();

    for (qsizetype sent = 0; sent < input.size();) {
        const ssize_t n = ::send(inputOurs.get(), input.constData() + sent,
                                 static_cast<size_t>(input.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // the helper went; its exit status tells the rest
        sent += n;
    }
    inputOurs.reset();

    char buffer[8192];
    for (;;) {
        pollfd readable{outputOurs.get(), POLLIN, 0};
        const int ready = ::poll(&readable, 1, millisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            run.timedOut = true;
            child.kill();
            child.reap(0);
            return run;
        }
        const ssize_t n = ::read(outputOurs.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (run.output.size() + n <= MaximumOutputBytes)
            run.output.append(buffer, n);
    }

    // Its output has ended, so it is ending too; give it until the deadline.
    int status = 0;
    for (auto pause = std::chrono::milliseconds(1); !child.reap(WNOHANG, &status);
         pause = std::min(pause * 2, std::chrono::milliseconds(20))) {
        if (Clock::now() >= deadline) {
            run.timedOut = true;
            child.kill();
            child.reap(0);
            return run;
        }
        std::this_thread::sleep_for(pause);
    }
    if (!WIFEXITED(status))
        run.error = u"ended by signal %1"_s.arg(WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    return run;
}
