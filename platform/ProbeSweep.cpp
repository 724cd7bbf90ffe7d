#include "platform/ProbeSweep.h"

#include "platform/CheckedConnections.h"
#include "platform/CpuLoad.h"
#include "platform/HostCheck.h"
#include "platform/ProbeFailure.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds Tick{20};
constexpr std::chrono::milliseconds CpuSampleInterval{100};
constexpr double SpareIdleShare = 0.25;
constexpr int CeilingPerConcurrency = 4;

// The addresses whose probe has not returned yet, across all sweeps of the process. Shared
// with the probe threads, which may outlive every sweep and the process's static objects.
class AddressesInFlight {
public:
    static std::shared_ptr<AddressesInFlight> instance()
    {
        static const auto registry = std::make_shared<AddressesInFlight>();
        return registry;
    }
    bool claim(const QString& address)
    {
        const std::lock_guard<std::mutex> held(m_mutex);
        if (m_addresses.contains(address))
            return false;
        m_addresses.insert(address);
        return true;
    }
    void release(const QString& address)
    {
        const std::lock_guard<std::mutex> held(m_mutex);
        m_addresses.remove(address);
    }
    bool isEmpty()
    {
        const std::lock_guard<std::mutex> held(m_mutex);
        return m_addresses.isEmpty();
    }

private:
    std::mutex m_mutex;
    QSet<QString> m_addresses;
};

enum class JobState { Queued, Running, Done };

// Set for the rest of the process once a sweep has given up on a probe that was running: its
// thread may be inside a library for a long while yet, even after its address is released.
std::atomic<bool> g_probesAbandoned{false};

struct Job {
    QString address;
    Measurement measurement;
    JobState state = JobState::Queued;
    Clock::time_point started;
    ProbeOutcome outcome;
};

// One sweep's state, shared by the caller and the probe threads; every field under mutex.
//
// Jobs that answer at once (local folders) are measured one after another by one thread,
// the lane: a thread each would cost more than the measurements. One that keeps the lane
// waiting is left behind to its own time-out, like any probe, and the lane's remaining jobs
// go to the pool, so a dead mount costs what it always did. The pool gives every other job
// a thread of its own, within the bounds below.
struct Sweep {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Job> jobs;
    std::vector<size_t> pooled;  // the pool's jobs, in the order they start
    std::vector<size_t> running; // of the pool
    size_t next = 0;             // the next of pooled to start
    std::vector<size_t> prompt;  // the lane's jobs, in order
    size_t nextPrompt = 0;
    int lane = 0; // which lane thread is in charge; 0 before one started, -1 when none may
    std::optional<size_t> laneJob;  // the job the lane in charge is measuring
    std::vector<size_t> leftBehind; // lane jobs that kept it waiting, running on their own
    Clock::duration promptWithin{};
    size_t done = 0;
    size_t concurrency = 1;
    size_t ceiling = 1;
    Clock::duration stalledAfter{};
    bool spareCpu = false;
    Clock::time_point lastAnswer; // of any probe of this sweep; its start before the first
    bool over = false;            // the caller has returned: nothing more starts
    // Tells the host check that the sweep is over.
    std::atomic<bool> hostCheckCancelled{false};
    // The servers whose checked connection a measurement takes over: what none took is
    // closed when the sweep is over.
    std::vector<HostEndpoint> keepingConnections;
    std::shared_ptr<AddressesInFlight> inFlight = AddressesInFlight::instance();

    bool hasRoom(Clock::time_point now) const
    {
        if (running.size() >= ceiling)
            return false;
        if (!spareCpu && now - lastAnswer < stalledAfter)
            return running.size() < concurrency;
        const auto busy = std::count_if(running.begin(), running.end(), [&](size_t i) {
            return now - jobs[i].started < stalledAfter;
        });
        return static_cast<size_t>(busy) < concurrency;
    }

    // What the host check found of a server: its jobs go to the pool, or fail together.
    void hostChecked(const std::vector<size_t>& hostJobs, const QString& failure)
    {
        for (const size_t i : hostJobs) {
            if (jobs[i].state != JobState::Queued)
                continue;
            if (failure.isEmpty())
                pooled.push_back(i);
            else
                finish(i, ProbeOutcome::failed(failure));
        }
    }

    void finish(size_t i, ProbeOutcome outcome)
    {
        jobs[i].outcome = std::move(outcome);
        jobs[i].state = JobState::Done;
        ++done;
        running.erase(std::remove(running.begin(), running.end(), i), running.end());
        leftBehind.erase(std::remove(leftBehind.begin(), leftBehind.end(), i), leftBehind.end());
    }

    // The lane's remaining jobs, for the pool to start.
    void poolTheLanesRest()
    {
        lane = -1;
        laneJob.reset();
        for (; nextPrompt < prompt.size(); ++nextPrompt)
            pooled.push_back(prompt[nextPrompt]);
    }

    // The next job that may start now, marked running. A job whose address an earlier
    // sweep is still probing is finished on the spot instead.
    std::optional<size_t> take(Clock::time_point now)
    {
        while (!over && next < pooled.size() && hasRoom(now)) {
            const size_t i = pooled[next++];
            if (jobs[i].state == JobState::Done)
                continue;
            if (!inFlight->claim(jobs[i].address)) {
                finish(i, ProbeOutcome::failed(ProbeFailure::EarlierProbeStillWaiting));
                continue;
            }
            jobs[i].state = JobState::Running;
            jobs[i].started = now;
            running.push_back(i);
            return i;
        }
        return std::nullopt;
    }
};

ProbeOutcome runMeasurement(const Measurement& measurement)
{
    try {
        return measurement();
    } catch (const std::exception& e) {
        return ProbeOutcome::failed(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return ProbeOutcome::failed(u"the probe failed"_s);
    }
}

// A probe thread: runs its job, then further ones while the sweep has room for them. A
// thread whose job the caller has given up on ends when the job returns.
void work(const std::shared_ptr<Sweep>& sweep, size_t job)
{
    std::unique_lock<std::mutex> lock(sweep->mutex);
    for (;;) {
        Measurement measurement = std::move(sweep->jobs[job].measurement);
        const QString address = sweep->jobs[job].address;
        lock.unlock();
        ProbeOutcome outcome = runMeasurement(measurement);
        measurement = nullptr;
        sweep->inFlight->release(address);
        lock.lock();
        const bool abandoned = sweep->jobs[job].state == JobState::Done;
        if (!abandoned) {
            sweep->finish(job, std::move(outcome));
            sweep->lastAnswer = Clock::now();
        }
        const std::optional<size_t> next = abandoned ? std::nullopt : sweep->take(Clock::now());
        if (!next) {
            sweep->changed.notify_all();
            return;
        }
        job = *next;
    }
}

// The lane thread: measures the lane's jobs in order for as long as it is in charge. One
// whose measurement kept it too long is no longer; it ends when that measurement returns.
void measureInLane(const std::shared_ptr<Sweep>& sweep, int lane)
{
    std::unique_lock<std::mutex> lock(sweep->mutex);
    while (!sweep->over && sweep->lane == lane && sweep->nextPrompt < sweep->prompt.size()) {
        const size_t i = sweep->prompt[sweep->nextPrompt++];
        const QString address = sweep->jobs[i].address;
        if (!sweep->inFlight->claim(address)) {
            sweep->finish(i, ProbeOutcome::failed(ProbeFailure::EarlierProbeStillWaiting));
            continue;
        }
        sweep->jobs[i].state = JobState::Running;
        sweep->jobs[i].started = Clock::now();
        sweep->laneJob = i;
        Measurement measurement = std::move(sweep->jobs[i].measurement);
        lock.unlock();
        ProbeOutcome outcome = runMeasurement(measurement);
        measurement = nullptr;
        sweep->inFlight->release(address);
        lock.lock();
        if (sweep->jobs[i].state != JobState::Done) {
            sweep->finish(i, std::move(outcome));
            sweep->lastAnswer = Clock::now();
        }
        if (sweep->lane == lane)
            sweep->laneJob.reset();
    }
    sweep->changed.notify_all();
}

void startLane(const std::shared_ptr<Sweep>& sweep)
{
    sweep->lane = 1;
    try {
        std::thread([sweep] { measureInLane(sweep, 1); }).detach();
    } catch (const std::system_error&) {
        sweep->poolTheLanesRest();
    }
}

void startThread(const std::shared_ptr<Sweep>& sweep, size_t job)
{
    try {
        std::thread([sweep, job] { work(sweep, job); }).detach();
    } catch (const std::system_error& e) {
        sweep->inFlight->release(sweep->jobs[job].address);
        sweep->finish(job, ProbeOutcome::failed(QString::fromLocal8Bit(e.what())));
    }
}

// The servers a sweep's jobs must reach, and the jobs that wait for each.
struct HostsToCheck {
    std::vector<HostEndpoint> endpoints;
    std::vector<std::vector<size_t>> jobsOf; // by endpoint
    std::vector<bool> checked;               // whether the endpoint's verdict came
};

// Checks the servers that jobs must reach on a thread of its own, and hands their jobs on as
// each answers or fails. The thread ends at the deadline, or once the sweep is over; a
// server it could not give a verdict on for any reason counts as timed out, so no job ever
// waits for a check that has ended. Called with the sweep's mutex held.
void startHostCheck(const std::shared_ptr<Sweep>& sweep, std::shared_ptr<HostsToCheck> hosts,
                    Clock::time_point deadline)
{
    const auto check = [sweep, hosts, deadline] {
        try {
            checkHosts(
                hosts->endpoints, deadline,
                [&](size_t endpoint, const QString& failure) {
                    const std::lock_guard<std::mutex> held(sweep->mutex);
                    hosts->checked[endpoint] = true;
                    if (sweep->over)
                        return;
                    sweep->hostChecked(hosts->jobsOf[endpoint], failure);
                    sweep->changed.notify_all();
                },
                sweep->hostCheckCancelled);
        } catch (...) {
        }
        {
            const std::lock_guard<std::mutex> held(sweep->mutex);
            for (size_t i = 0; i < hosts->endpoints.size(); ++i)
                if (!hosts->checked[i] && !sweep->over)
                    sweep->hostChecked(hosts->jobsOf[i], ProbeFailure::TimedOut);
            sweep->changed.notify_all();
        }
        // A connection kept just as the sweep ended, after it closed those left over.
        if (sweep->hostCheckCancelled)
            dropCheckedConnections(hosts->endpoints);
    };
    try {
        std::thread(check).detach();
    } catch (const std::system_error&) {
        // Without a thread the measurements find out for themselves.
        for (const std::vector<size_t>& hostJobs : hosts->jobsOf)
            sweep->hostChecked(hostJobs, {});
    }
}

} // namespace

QList<ProbeOutcome> sweepAddresses(DiskSpaceProbe& probe, const QStringList& addresses,
                                   const SweepSettings& settings)
{
    const auto timeout = std::max(settings.timeout, std::chrono::milliseconds(1));
    // Servers that have not answered their check by then count as timed out.
    const Clock::time_point hostsAnswerBy = Clock::now() + timeout;
    auto sweep = std::make_shared<Sweep>();
    sweep->concurrency = static_cast<size_t>(std::max(1, settings.concurrency));
    sweep->ceiling = sweep->concurrency * CeilingPerConcurrency;
    sweep->stalledAfter = settings.stalledAfter;
    sweep->promptWithin = settings.promptWithin;
    sweep->lastAnswer = Clock::now();

    QHash<QString, size_t> jobOf;
    QHash<QString, size_t> endpointOf;
    const auto hosts = std::make_shared<HostsToCheck>();
    QList<size_t> order;
    order.reserve(addresses.size());
    sweep->jobs.reserve(static_cast<size_t>(addresses.size()));
    jobOf.reserve(addresses.size());
    for (const QString& address : addresses) {
        auto found = jobOf.constFind(address);
        if (found == jobOf.constEnd()) {
            found = jobOf.insert(address, sweep->jobs.size());
            Job job;
            job.address = address;
            job.measurement = probe.prepare(address, timeout);
            const size_t i = sweep->jobs.size();
            sweep->jobs.push_back(std::move(job));
            if (probe.answersAtOnce(address)) {
                sweep->prompt.push_back(i);
            } else if (std::optional<HostEndpoint> endpoint = probe.hostToCheck(address)) {
                const QString key = endpoint->key();
                auto e = endpointOf.constFind(key);
                if (e == endpointOf.constEnd()) {
                    e = endpointOf.insert(key, hosts->endpoints.size());
                    hosts->endpoints.push_back(std::move(*endpoint));
                    hosts->jobsOf.emplace_back();
                }
                hosts->jobsOf[*e].push_back(i);
            } else {
                sweep->pooled.push_back(i);
            }
        }
        order << *found;
    }

    // On every way out, an exception from whileWaiting included: nothing more starts.
    struct EndOfSweep {
        Sweep& sweep;
        ~EndOfSweep()
        {
            const std::lock_guard<std::mutex> held(sweep.mutex);
            sweep.over = true;
            sweep.hostCheckCancelled = true;
            for (const Job& job : sweep.jobs)
                if (job.state == JobState::Running)
                    g_probesAbandoned = true;
            dropCheckedConnections(sweep.keepingConnections);
        }
    } endOfSweep{*sweep};

    CpuLoadMeter cpuLoad;
    const std::function<bool()> cpuHasSpareCapacity =
        settings.cpuHasSpareCapacity
            ? settings.cpuHasSpareCapacity
            : std::function<bool()>([&] { return cpuLoad.idleSinceLastCall() >= SpareIdleShare; });

    hosts->checked.assign(hosts->endpoints.size(), false);
    for (const HostEndpoint& endpoint : hosts->endpoints)
        if (endpoint.keepConnection)
            sweep->keepingConnections.push_back(endpoint);
    std::unique_lock<std::mutex> lock(sweep->mutex);
    if (!hosts->endpoints.empty())
        startHostCheck(sweep, hosts, hostsAnswerBy);
    Clock::time_point lastCallback = Clock::now();
    Clock::time_point lastCpuSample = lastCallback;
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now - lastCpuSample >= CpuSampleInterval) {
            lock.unlock();
            const bool spare = cpuHasSpareCapacity();
            lock.lock();
            sweep->spareCpu = spare;
            lastCpuSample = now;
        }
        if (sweep->lane == 0 && !sweep->prompt.empty())
            startLane(sweep);
        if (sweep->laneJob && now - sweep->jobs[*sweep->laneJob].started >= sweep->promptWithin) {
            sweep->leftBehind.push_back(*sweep->laneJob);
            sweep->poolTheLanesRest();
        }
        for (std::vector<size_t>* timed : {&sweep->running, &sweep->leftBehind}) {
            for (size_t k = 0; k < timed->size();) {
                const size_t i = (*timed)[k];
                if (now - sweep->jobs[i].started >= timeout) {
                    g_probesAbandoned = true;
                    sweep->finish(i, ProbeOutcome::failed(ProbeFailure::TimedOut));
                } else
                    ++k;
            }
        }
        while (const std::optional<size_t> job = sweep->take(now))
            startThread(sweep, *job);
        if (sweep->done == sweep->jobs.size())
            break;
        sweep->changed.wait_for(lock, Tick);
        if ((settings.whileWaiting || settings.progress) && Clock::now() - lastCallback >= Tick) {
            const int answered = static_cast<int>(sweep->done);
            const int total = static_cast<int>(sweep->jobs.size());
            lock.unlock();
            if (settings.progress)
                settings.progress(answered, total);
            if (settings.whileWaiting)
                settings.whileWaiting();
            lock.lock();
            lastCallback = Clock::now();
        }
    }

    QList<ProbeOutcome> outcomes;
    outcomes.reserve(order.size());
    for (const size_t i : std::as_const(order))
        outcomes << sweep->jobs[i].outcome;
    return outcomes;
}

bool probesStillRunning()
{
    return g_probesAbandoned || !AddressesInFlight::instance()->isEmpty();
}
