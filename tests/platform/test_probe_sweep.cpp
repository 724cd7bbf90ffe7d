#include "platform/ProbeFailure.h"
#include "platform/ProbeSweep.h"

#include <QTest>
#include <QThread>

#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace {

// What the probe's measurements share; owned by them too, so one abandoned by a sweep may
// return after the probe and the test's locals are gone.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    QStringList asked;
    int running = 0;
    int mostRunning = 0;
    int returned = 0;
    std::set<std::thread::id> threads; // that measured an address not blocking

    void release()
    {
        const std::lock_guard<std::mutex> held(mutex);
        open = true;
        opened.notify_all();
    }
    int returnedCount()
    {
        const std::lock_guard<std::mutex> held(mutex);
        return returned;
    }
    QStringList askedSoFar()
    {
        const std::lock_guard<std::mutex> held(mutex);
        return asked;
    }
};

// Answers every address with figures made from its length; addresses in `blocking` wait
// for the gate first (a statvfs on a dead mount), the others take `delay`.
class GatedProbe : public DiskSpaceProbe {
public:
    explicit GatedProbe(QStringList blocking = {}, std::chrono::milliseconds delay = 0ms,
                        bool atOnce = false)
        : m_blocking(std::move(blocking))
        , m_delay(delay)
        , m_atOnce(atOnce)
    {
    }
    bool answersAtOnce(const QString&) const override { return m_atOnce; }
    Measurement prepare(const QString& address, std::chrono::milliseconds) override
    {
        return [gate = gate, address, blocks = m_blocking.contains(address), delay = m_delay] {
            std::unique_lock<std::mutex> lock(gate->mutex);
            gate->asked << address;
            gate->mostRunning = std::max(gate->mostRunning, ++gate->running);
            if (blocks) {
                gate->opened.wait(lock, [&] { return gate->open; });
            } else {
                gate->threads.insert(std::this_thread::get_id());
                lock.unlock();
                std::this_thread::sleep_for(delay);
                lock.lock();
            }
            --gate->running;
            ++gate->returned;
            return ProbeOutcome::measured(DiskSpace{address.size(), 100});
        };
    }

    const std::shared_ptr<Gate> gate = std::make_shared<Gate>();

private:
    QStringList m_blocking;
    std::chrono::milliseconds m_delay;
    bool m_atOnce;
};

QStringList numbered(const QString& prefix, int count)
{
    QStringList addresses;
    for (int i = 0; i < count; ++i)
        addresses << prefix + QString::number(i);
    return addresses;
}

} // namespace

class TestProbeSweep : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void outcomesInTheAddressesOrder();
    void poolBound();
    void stuckProbeTimesOutAndIsNotStartedAgain_data();
    void stuckProbeTimesOutAndIsNotStartedAgain();
    void addressesThatAnswerAtOnceShareOneThread();
    void oneThatDoesNotAnswerAtOnceLeavesTheRestToThePool();
    void deadPeersDoNotHoldUpTheQueue_data();
    void deadPeersDoNotHoldUpTheQueue();
    void starvedProbesKeepTheBound_data();
    void starvedProbesKeepTheBound();
    void whileWaitingMayEndTheSweep();
};

void TestProbeSweep::outcomesInTheAddressesOrder()
{
    GatedProbe probe({}, 1ms);
    const QStringList addresses{u"/a"_s, u"/bbbb"_s, u"/cc"_s, u"/a"_s, u"/dddddd"_s, u"/cc"_s};

    const QList<ProbeOutcome> outcomes = sweepAddresses(probe, addresses);

    QCOMPARE(outcomes.size(), addresses.size());
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        QVERIFY2(outcomes[i].space, qPrintable(addresses[i]));
        QCOMPARE(outcomes[i].space->freeBytesAvailable, addresses[i].size());
        QVERIFY(outcomes[i].failure.isEmpty());
    }
    QStringList asked = probe.gate->askedSoFar();
    asked.sort();
    QCOMPARE(asked, (QStringList{u"/a"_s, u"/bbbb"_s, u"/cc"_s, u"/dddddd"_s}));
    QVERIFY(sweepAddresses(probe, {}).isEmpty());
}

void TestProbeSweep::poolBound()
{
    GatedProbe probe({}, 3ms);
    SweepSettings settings;
    settings.concurrency = 4;
    settings.stalledAfter = 1h; // nothing counts as stalled: the bound alone decides

    const QList<ProbeOutcome> outcomes = sweepAddresses(probe, numbered(u"/pool"_s, 60), settings);

    QCOMPARE(outcomes.size(), 60);
    QCOMPARE(probe.gate->askedSoFar().size(), 60);
    QVERIFY2(probe.gate->mostRunning <= 4, qPrintable(QString::number(probe.gate->mostRunning)));
    QVERIFY(probe.gate->mostRunning > 1);
}

void TestProbeSweep::stuckProbeTimesOutAndIsNotStartedAgain_data()
{
    QTest::addColumn<bool>("atOnce");
    QTest::newRow("an address with a thread of its own") << false;
    QTest::newRow("a local folder, measured after another") << true;
}

void TestProbeSweep::stuckProbeTimesOutAndIsNotStartedAgain()
{
    QFETCH(bool, atOnce);
    auto probe = std::make_unique<GatedProbe>(QStringList{u"/mnt/dead"_s}, 0ms, atOnce);
    const std::shared_ptr<Gate> gate = probe->gate;
    const QStringList addresses{u"/srv/one"_s, u"/mnt/dead"_s, u"/srv/two"_s};
    SweepSettings settings;
    settings.timeout = 200ms;
    int waitingCalls = 0;
    bool waitedOnThisThread = true;
    settings.whileWaiting = [&] {
        ++waitingCalls;
        waitedOnThisThread = waitedOnThisThread && QThread::currentThread() == thread();
    };

    const QList<ProbeOutcome> first = sweepAddresses(*probe, addresses, settings);
    QVERIFY(first[0].space);
    QVERIFY(!first[1].space);
    QCOMPARE(first[1].failure, QString(ProbeFailure::TimedOut));
    QVERIFY(first[2].space);
    QVERIFY(waitingCalls > 0);
    QVERIFY(waitedOnThisThread);
    QCOMPARE(gate->returnedCount(), 2); // the dead mount's call is still blocked

    // Still blocked: the next sweep does not pile a second call onto the same path.
    const QList<ProbeOutcome> second = sweepAddresses(*probe, addresses, settings);
    QCOMPARE(second[1].failure, QString(ProbeFailure::EarlierProbeStillWaiting));
    QVERIFY(second[0].space && second[2].space);
    QCOMPARE(gate->askedSoFar().count(u"/mnt/dead"_s), 1);

    // The probe goes while its call is blocked; the call returns later on its own.
    probe.reset();
    gate->release();
    QTRY_COMPARE(gate->returnedCount(), 5);

    // Once the call has returned, the path is probed again.
    GatedProbe again;
    QTRY_VERIFY(sweepAddresses(again, {u"/mnt/dead"_s}, settings).front().space);
}

void TestProbeSweep::addressesThatAnswerAtOnceShareOneThread()
{
    GatedProbe probe({}, 0ms, true);
    const QStringList addresses = numbered(u"/srv/share"_s, 200);

    const QList<ProbeOutcome> outcomes = sweepAddresses(probe, addresses);

    for (const ProbeOutcome& outcome : outcomes)
        QVERIFY(outcome.space);
    QCOMPARE(probe.gate->mostRunning, 1);
    QCOMPARE(probe.gate->threads.size(), size_t(1));
    QVERIFY(!probe.gate->threads.count(std::this_thread::get_id()));
}

void TestProbeSweep::oneThatDoesNotAnswerAtOnceLeavesTheRestToThePool()
{
    // The third folder hangs (a dead network mount). The ones after it must not wait for it:
    // it answers only once all of them have, long before its time-out.
    const QStringList addresses = numbered(u"/srv/share"_s, 50);
    GatedProbe probe({addresses[2]}, 0ms, true);
    SweepSettings settings;
    settings.timeout = 30s;
    settings.promptWithin = 20ms;
    settings.whileWaiting = [&] {
        if (probe.gate->returnedCount() == addresses.size() - 1)
            probe.gate->release();
    };

    const QList<ProbeOutcome> outcomes = sweepAddresses(probe, addresses, settings);

    for (const ProbeOutcome& outcome : outcomes)
        QVERIFY2(outcome.space, qPrintable(outcome.failure));
    QVERIFY(probe.gate->threads.size() > 1);
}

void TestProbeSweep::deadPeersDoNotHoldUpTheQueue_data()
{
    QTest::addColumn<bool>("spareCpu");
    QTest::newRow("idle processors") << true;
    QTest::newRow("processors busy with other work") << false;
}

void TestProbeSweep::deadPeersDoNotHoldUpTheQueue()
{
    QFETCH(bool, spareCpu);
    // Two slots, both taken first by peers that never answer by themselves. The live ones
    // queued behind them must still be measured long before the dead ones time out.
    const QStringList dead{u"smb://dead1/x"_s, u"smb://dead2/x"_s, u"smb://dead3/x"_s};
    const QStringList live = numbered(u"smb://live/"_s, 6);
    GatedProbe probe(dead);
    SweepSettings settings;
    settings.concurrency = 2;
    settings.stalledAfter = 50ms;
    settings.timeout = 30s;
    settings.cpuHasSpareCapacity = [spareCpu] { return spareCpu; };
    settings.whileWaiting = [&] {
        // Once every live share has answered, the dead ones may answer too.
        if (probe.gate->returnedCount() == live.size())
            probe.gate->release();
    };

    const QList<ProbeOutcome> outcomes = sweepAddresses(probe, dead + live, settings);

    for (const ProbeOutcome& outcome : outcomes)
        QVERIFY2(outcome.space, qPrintable(outcome.failure));
}

void TestProbeSweep::starvedProbesKeepTheBound_data()
{
    QTest::addColumn<bool>("spareCpu");
    QTest::newRow("idle processors: slow probes make room") << true;
    // Busy processors, and answers keep coming: the slow probes are taken for starved ones,
    // and more at once would make every probe slower still.
    QTest::newRow("busy processors: the bound holds") << false;
}

void TestProbeSweep::starvedProbesKeepTheBound()
{
    QFETCH(bool, spareCpu);
    // Three slots: two held by slow probes, the third answering quick ones all along.
    const QStringList slow{u"/slow/1"_s, u"/slow/2"_s};
    const QStringList quick = numbered(u"/quick/"_s, 100);
    GatedProbe probe(slow, 5ms);
    SweepSettings settings;
    settings.concurrency = 3;
    settings.stalledAfter = 200ms;
    settings.cpuHasSpareCapacity = [spareCpu] { return spareCpu; };
    settings.whileWaiting = [&] {
        if (probe.gate->returnedCount() == quick.size()) // the slow ones end last
            probe.gate->release();
    };

    const QList<ProbeOutcome> outcomes = sweepAddresses(probe, slow + quick, settings);

    for (const ProbeOutcome& outcome : outcomes)
        QVERIFY(outcome.space);
    if (spareCpu)
        QVERIFY2(probe.gate->mostRunning > 3, qPrintable(QString::number(probe.gate->mostRunning)));
    else
        QCOMPARE(probe.gate->mostRunning, 3);
}

void TestProbeSweep::whileWaitingMayEndTheSweep()
{
    GatedProbe probe({u"/mnt/stuck-too"_s});
    SweepSettings settings;
    settings.whileWaiting = [] { throw std::runtime_error("closed"); };

    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             sweepAddresses(probe, {u"/mnt/stuck-too"_s, u"/srv"_s}, settings));
    probe.gate->release();
    QTRY_COMPARE(probe.gate->returnedCount(), probe.gate->askedSoFar().size());
}

QTEST_GUILESS_MAIN(TestProbeSweep)
#include "test_probe_sweep.moc"
