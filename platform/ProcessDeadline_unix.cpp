#include "platform/ProcessDeadline.h"

#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

// Filled before the timer starts and only read by the handler, which may do nothing but
// what is safe in a signal handler: write and _exit.
char g_message[512];
size_t g_length = 0;
int g_status = 0;
// Whoever takes it first answers: the deadline, or the process with its own answer. The
// signal may reach any thread, also one racing the process's own answer.
std::atomic<bool> g_answered{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void onDeadline(int)
{
    if (g_answered.exchange(true))
        return;
    size_t written = 0;
    while (written < g_length) {
        const ssize_t n = ::write(STDOUT_FILENO, g_message + written, g_length - written);
        if (n <= 0)
            break;
        written += static_cast<size_t>(n);
    }
    ::_exit(g_status);
}

} // namespace

namespace ProcessDeadline {

void arm(std::chrono::milliseconds after, const QByteArray& message, int status)
{
    disarm();
    g_length = std::min(sizeof g_message, static_cast<size_t>(message.size()));
    std::memcpy(g_message, message.constData(), g_length);
    g_status = status;

    struct sigaction action {};
    action.sa_handler = onDeadline;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGALRM, &action, nullptr);

    const auto ms = std::max<long long>(1, after.count());
    itimerval timer{};
    timer.it_value.tv_sec = static_cast<time_t>(ms / 1000);
    timer.it_value.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
    ::setitimer(ITIMER_REAL, &timer, nullptr);
}

void disarm()
{
    itimerval timer{};
    ::setitimer(ITIMER_REAL, &timer, nullptr);
}

void claimTheAnswer()
{
    disarm();
    if (!g_answered.exchange(true))
        return;
    // The deadline answered first and is ending the process.
    for (;;)
        ::pause();
}

} // namespace ProcessDeadline
