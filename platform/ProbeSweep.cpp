#include "platform/ProbeSweep.h"

#include "platform/CpuLoad.h"
#include "platform/ProbeFailure.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
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

private:
    std::mutex m_mutex;
    QSet<QString> m_addresses;
};

enum class JobState { Queued, Running, Done };

struct Job {
    QString address;
    Measurement measurement;
    JobState state = JobState::Queued;
    Clock::time_point started;
    ProbeOutcome outcome;
};

// One sweep's state, shared by the caller and the probe threads; every field under mutex.
struct Sweep {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Job> jobs;
    std::vector<size_t> running;
    size_t next = 0;
    size_t done = 0;
    size_t concurrency = 1;
    size_t ceiling = 1;
    Clock::duration stalledAfter{};
    bool spareCpu = false;
    Clock::time_point lastAnswer; // of any probe of this sweep; its start before the first
    bool over = false;            // the caller has returned: nothing more starts
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

    void finish(size_t i, ProbeOutcome outcome)
    {
        jobs[i].outcome = std::move(outcome);
        jobs[i].state = JobState::Done;
        ++done;
        running.erase(std::remove(running.begin(), running.end(), i), running.end());
    }

    // The next job that may start now, marked running. A job whose address an earlier
    // sweep is still probing is finished on the spot instead.
    std::optional<size_t> take(Clock::time_point now)
    {
        while (!over && next < jobs.size() && hasRoom(now)) {
            const size_t i = next++;
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

void startThread(const std::shared_ptr<Sweep>& sweep, size_t job)
{
    try {
        std::thread([sweep, job] { work(sweep, job); }).detach();
    } catch (const std::system_error& e) {
        sweep->inFlight->release(sweep->jobs[job].address);
        sweep->finish(job, ProbeOutcome::failed(QString::fromLocal8Bit(e.what())));
    }
}

} // namespace

QList<ProbeOutcome> sweepAddresses(DiskSpaceProbe& probe, const QStringList& addresses,
                                   const SweepSettings& settings)
{
    const auto timeout = std::max(settings.timeout, std::chrono::milliseconds(1));
    auto sweep = std::make_shared<Sweep>();
    sweep->concurrency = static_cast<size_t>(std::max(1, settings.concurrency));
    sweep->ceiling = sweep->concurrency * CeilingPerConcurrency;
    sweep->stalledAfter = settings.stalledAfter;
    sweep->lastAnswer = Clock::now();

    QHash<QString, size_t> jobOf;
    QList<size_t> order;
    order.reserve(addresses.size());
    for (const QString& address : addresses) {
        auto found = jobOf.constFind(address);
        if (found == jobOf.constEnd()) {
            found = jobOf.insert(address, sweep->jobs.size());
            Job job;
            job.address = address;
            job.measurement = probe.prepare(address, timeout);
            sweep->jobs.push_back(std::move(job));
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
        }
    } endOfSweep{*sweep};

    CpuLoadMeter cpuLoad;
    const std::function<bool()> cpuHasSpareCapacity =
        settings.cpuHasSpareCapacity
            ? settings.cpuHasSpareCapacity
            : std::function<bool()>([&] { return cpuLoad.idleSinceLastCall() >= SpareIdleShare; });

    std::unique_lock<std::mutex> lock(sweep->mutex);
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
        for (size_t k = 0; k < sweep->running.size();) {
            const size_t i = sweep->running[k];
            if (now - sweep->jobs[i].started >= timeout)
                sweep->finish(i, ProbeOutcome::failed(ProbeFailure::TimedOut));
            else
                ++k;
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
