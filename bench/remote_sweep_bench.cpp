// Times sweeps of remote addresses on a private network of its own, with a private loopback
// Samba server and a name server stub (needs root):
//   1. dead hosts (loopback listeners that accept and never answer; \\host\share, smb://
//      and sftp:// addresses in turn) among live shares;
//   2. shares on hosts whose names do not resolve, the name server saying so;
//   3. the same, the name server never answering;
//   4. many shares of one server.
// The first three must end within one time-out and a second.
//
//   vardometer_remote_sweep_bench [--dead 300] [--live 50] [--unresolvable 1000]
//                                 [--shares 200] [--timeout-ms 2000] [--concurrency 32]
//                                 [--stalled-after-ms 250] [--assume-idle-cpu 0|1]

#include "platform/DispatchingDiskSpaceProbe.h"
#include "platform/ProbeSweep.h"
#include "support/PrivateNetwork.h"
#include "support/SambaServer.h"
#include "support/ServerFixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// The measurements in flight: children of our SMB worker server.
int workerProcesses()
{
    struct Entry {
        QString pid, parent;
        bool worker;
    };
    QList<Entry> entries;
    for (const QString& entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        QFile stat(u"/proc/%1/stat"_s.arg(entry));
        if (!entry.front().isDigit() || !stat.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromLatin1(stat.readAll());
        const QStringList rest = text.mid(text.lastIndexOf(u')') + 2).split(u' ');
        if (rest.size() > 1)
            entries << Entry{entry, rest[1], text.contains(u"(vardometer-smb-)")};
    }
    const QString self = QString::number(::getpid());
    QStringList servers;
    for (const Entry& e : std::as_const(entries))
        if (e.worker && e.parent == self)
            servers << e.pid;
    return static_cast<int>(std::count_if(entries.begin(), entries.end(), [&](const Entry& e) {
        return e.worker && servers.contains(e.parent);
    }));
}

struct SweepResult {
    double milliseconds = 0;
    int measured = 0;
    int timedOut = 0;
    int otherFailures = 0;
    int peakWorkers = 0;
    QString firstFailure;
};

SweepResult timeSweep(const QStringList& addresses, const SweepSettings& base)
{
    const std::unique_ptr<DiskSpaceProbe> probe = createDiskSpaceProbe();
    SweepResult result;
    SweepSettings settings = base;
    // Counting reads all of /proc: every fifth call (about 100 ms) is enough.
    int calls = 0;
    settings.whileWaiting = [&] {
        if (calls++ % 5 == 0)
            result.peakWorkers = std::max(result.peakWorkers, workerProcesses());
    };
    QElapsedTimer timer;
    timer.start();
    const QList<ProbeOutcome> outcomes = sweepAddresses(*probe, addresses, settings);
    result.milliseconds = timer.nsecsElapsed() / 1e6;
    for (const ProbeOutcome& outcome : outcomes) {
        if (outcome.space)
            ++result.measured;
        else if (outcome.failure == u"timed out")
            ++result.timedOut;
        else if (++result.otherFailures == 1)
            result.firstFailure = outcome.failure;
    }
    return result;
}

// Whether a sweep that should cost one time-out did.
void printBound(const SweepResult& r, int timeoutMs)
{
    std::printf("  target: within one time-out + 1 s = %d ms: %s\n", timeoutMs + 1000,
                r.milliseconds <= timeoutMs + 1000 ? "met" : "MISSED");
}

void print(const char* title, const SweepResult& r)
{
    std::printf("%-34s %8.0f ms  measured %d, timed out %d, other failures %d, "
                "peak worker processes %d\n",
                title, r.milliseconds, r.measured, r.timedOut, r.otherFailures, r.peakWorkers);
    if (!r.firstFailure.isEmpty())
        std::printf("  first other failure: %s\n", qPrintable(r.firstFailure));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int dead = 300, live = 50, unresolvable = 1000, shares = 200, timeoutMs = 2000;
    int concurrency = 32;
    int stalledAfterMs = static_cast<int>(SweepSettings().stalledAfter.count());
    bool assumeIdle = false; // as if other programs left the processors idle
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const int value = args[i + 1].toInt();
        if (args[i] == u"--dead")
            dead = value;
        else if (args[i] == u"--live")
            live = value;
        else if (args[i] == u"--unresolvable")
            unresolvable = value;
        else if (args[i] == u"--shares")
            shares = value;
        else if (args[i] == u"--timeout-ms")
            timeoutMs = value;
        else if (args[i] == u"--concurrency")
            concurrency = value;
        else if (args[i] == u"--stalled-after-ms")
            stalledAfterMs = value;
        else if (args[i] == u"--assume-idle-cpu")
            assumeIdle = value != 0;
    }
    if (::geteuid() != 0) {
        std::fprintf(stderr, "needs root: it starts a private network and smbd\n");
        return 2;
    }
    PrivateNetwork network(PrivateNetwork::Dns::NoSuchName);
    if (!network.error().isEmpty()) {
        std::fprintf(stderr, "private network: %s\n", qPrintable(network.error()));
        return 2;
    }

    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther);
    QList<SambaShare> shareList;
    for (int i = 0; i < std::max(live, shares); ++i) {
        const QString path = QDir(dir.path()).filePath(u"share%1"_s.arg(i));
        QDir().mkpath(path);
        shareList << SambaShare{u"s%1"_s.arg(i), path, true, {}};
    }
    SambaServer samba;
    if (!samba.start(shareList)) {
        std::fprintf(stderr, "smbd: %s\n", qPrintable(samba.error()));
        return 2;
    }
    for (int i = 0; i < 600 && !samba.listening(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!samba.listening()) {
        std::fprintf(stderr, "smbd did not listen: %s\n", qPrintable(samba.log()));
        return 2;
    }
    // Every third dead host a \\host\share on port 445 of an address of its own.
    QStringList deadAt445;
    for (int i = 0; i < dead; i += 3)
        deadAt445 << u"127.0.%1.%2"_s.arg(1 + i / 3 / 250).arg(1 + i / 3 % 250);
    SilentListeners deadHosts(dead - static_cast<int>(deadAt445.size()));
    SilentListeners deadUncHosts(deadAt445, 445);
    if (!deadHosts.error().isEmpty() || !deadUncHosts.error().isEmpty()) {
        std::fprintf(stderr, "listeners: %s\n",
                     qPrintable(deadHosts.error() + deadUncHosts.error()));
        return 2;
    }
    const auto share = [&](int i) { return u"smb://127.0.0.1:%1/s%2"_s.arg(samba.port()).arg(i); };

    SweepSettings settings;
    settings.timeout = std::chrono::milliseconds(timeoutMs);
    settings.concurrency = concurrency;
    settings.stalledAfter = std::chrono::milliseconds(stalledAfterMs);
    if (assumeIdle)
        settings.cpuHasSpareCapacity = [] { return true; };

    // Warm the page cache and the server, so the first figure is not the odd one out.
    timeSweep({share(0)}, settings);

    QStringList mixed;
    size_t nextPort = 0;
    for (int i = 0; i < std::max(dead, live); ++i) {
        if (i < dead && i % 3 == 0)
            mixed << u"\\\\%1\\share"_s.arg(deadAt445[i / 3]);
        else if (i < dead && i % 3 == 1)
            mixed << u"smb://127.0.0.1:%1/share"_s.arg(deadHosts.ports()[nextPort++]);
        else if (i < dead)
            mixed << u"sftp://127.0.0.1:%1/"_s.arg(deadHosts.ports()[nextPort++]);
        if (i < live)
            mixed << share(i);
    }
    QStringList unknown;
    for (int i = 0; i < unresolvable; ++i)
        unknown << u"\\\\host%1.example.invalid\\share"_s.arg(i);
    QStringList many;
    for (int i = 0; i < shares; ++i)
        many << share(i);

    std::printf("time-out %d ms, concurrency %d, stalled after %d ms, %u cores%s\n", timeoutMs,
                concurrency, stalledAfterMs, std::thread::hardware_concurrency(),
                assumeIdle ? ", processors taken as idle" : "");
    const SweepResult mixedResult = timeSweep(mixed, settings);
    print(qPrintable(u"%1 dead among %2 live shares"_s.arg(dead).arg(live)), mixedResult);
    printBound(mixedResult, timeoutMs);
    if (unresolvable > 0) {
        const SweepResult notFound = timeSweep(unknown, settings);
        print(qPrintable(u"%1 unknown hosts, \"no such name\""_s.arg(unresolvable)), notFound);
        printBound(notFound, timeoutMs);
        network.setDns(PrivateNetwork::Dns::Silent);
        const SweepResult unanswered = timeSweep(unknown, settings);
        print(qPrintable(u"%1 unknown hosts, no DNS answer"_s.arg(unresolvable)), unanswered);
        printBound(unanswered, timeoutMs);
        std::printf("  questions the name server stub was asked: %d\n", network.questions());
        // smbd asks the name server too, as each connection starts.
        network.setDns(PrivateNetwork::Dns::NoSuchName);
    }
    print(qPrintable(u"%1 shares of one server"_s.arg(shares)), timeSweep(many, settings));
    return 0;
}
