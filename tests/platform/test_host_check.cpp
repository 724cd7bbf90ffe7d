#include "platform/CheckedConnections.h"
#include "platform/DispatchingDiskSpaceProbe.h"
#include "platform/HostCheck.h"
#include "platform/ProbeFailure.h"
#include "platform/ProbeSweep.h"
#include "platform/SftpDiskSpaceProbe.h"
#include "platform/SmbDiskSpaceProbe.h"
#include "support/PrivateNetwork.h"
#include "support/ServerFixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

// A socket listening on a free port of 127.0.0.1.
int listeningOnLoopback(int backlog, int* port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::listen(s, backlog);
    *port = ntohs(address.sin_port);
    return s;
}

// A loopback server that answers each connection in one way, on a thread of its own.
class Greeter {
public:
    enum class Manner { SpeaksFirst, AnswersHello, ClosesAtOnce };
    static constexpr QByteArrayView Greeting = "SSH-2.0-greeter\r\n";

    explicit Greeter(Manner manner)
    {
        m_socket = listeningOnLoopback(16, &m_port);
        ::pipe2(m_wake, O_CLOEXEC);
        m_thread = std::thread([this, manner] {
            std::vector<int> open;
            for (;;) {
                pollfd watched[2] = {{m_wake[0], POLLIN, 0}, {m_socket, POLLIN, 0}};
                ::poll(watched, 2, -1);
                if (watched[0].revents)
                    break;
                const int c = ::accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC);
                if (c < 0)
                    continue;
                char hello[256];
                if (manner == Manner::AnswersHello && ::recv(c, hello, sizeof hello, 0) > 0)
                    hello[0] = 0;
                if (manner != Manner::ClosesAtOnce)
                    ::send(c, Greeting.data(), size_t(Greeting.size()), MSG_NOSIGNAL);
                if (manner == Manner::ClosesAtOnce)
                    ::close(c);
                else
                    open.push_back(c);
            }
            for (const int c : open)
                ::close(c);
        });
    }
    ~Greeter()
    {
        ::write(m_wake[1], "x", 1);
        m_thread.join();
        for (const int fd : {m_socket, m_wake[0], m_wake[1]})
            ::close(fd);
    }
    Greeter(const Greeter&) = delete;
    Greeter& operator=(const Greeter&) = delete;

    int port() const { return m_port; }

private:
    int m_socket = -1;
    int m_port = 0;
    int m_wake[2] = {-1, -1};
    std::thread m_thread;
};

// A loopback port whose connection attempts go unanswered, like a port a firewall drops:
// its listener's queue is full and it never accepts.
class SwallowingPort {
public:
    SwallowingPort()
    {
        m_listener = listeningOnLoopback(0, &m_port);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(m_port));
        for (int i = 0; i < 3; ++i) {
            const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
            m_fillers.push_back(filler);
        }
        std::this_thread::sleep_for(50ms); // for the queue to fill
    }
    ~SwallowingPort()
    {
        for (const int fd : m_fillers)
            ::close(fd);
        ::close(m_listener);
    }
    SwallowingPort(const SwallowingPort&) = delete;
    SwallowingPort& operator=(const SwallowingPort&) = delete;

    int port() const { return m_port; }

private:
    int m_listener = -1;
    int m_port = 0;
    std::vector<int> m_fillers;
};

struct Verdicts {
    std::vector<std::optional<QString>> given;
    int count = 0;

    explicit Verdicts(size_t endpoints)
        : given(endpoints)
    {
    }
    auto recorder()
    {
        return [this](size_t i, const QString& failure) {
            QVERIFY2(!given[i], "a second verdict");
            given[i] = failure;
            ++count;
        };
    }
};

HostEndpoint endpoint(const QString& host, std::vector<int> ports, QByteArray hello = {})
{
    return HostEndpoint{host, std::move(ports), std::move(hello), false};
}

int threadsOfThisProcess()
{
    return static_cast<int>(
        QDir(u"/proc/self/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

} // namespace

class TestHostCheck : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void serversOfAddresses_data();
    void serversOfAddresses();
    void verdicts_data();
    void verdicts();
    void keptConnectionIsHandedOverUnread();
    void cancelledCheckEndsAtOnce();
    void unknownNames_data();
    void unknownNames();
    void sweepOfDeadAndUnknownHostsEndsWithinItsTimeout_data();
    void sweepOfDeadAndUnknownHostsEndsWithinItsTimeout();

private:
    // Everything here runs in it, so names are asked of its stub and nothing else.
    std::optional<PrivateNetwork> m_network;
    int m_threads = 0; // of the process once the network's stub runs
};

void TestHostCheck::initTestCase()
{
    m_network.emplace(PrivateNetwork::Dns::NoSuchName);
    // Only without root may the tests of names be skipped: half a move would leave the
    // other tests on a network of unknown state.
    QVERIFY2(m_network->error().isEmpty() || ::geteuid() != 0, qPrintable(m_network->error()));
    m_threads = threadsOfThisProcess();
}

void TestHostCheck::cleanup()
{
    // Lookups a check gave up on end on their own, within the resolver's own time-out;
    // the next test must not find the lookup threads still busy with them.
    QTRY_VERIFY_WITH_TIMEOUT(threadsOfThisProcess() <= m_threads, 20'000);
}

void TestHostCheck::serversOfAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("workerThere");
    QTest::addColumn<QString>("host"); // empty: nothing to check
    QTest::addColumn<QList<int>>("ports");
    QTest::addColumn<bool>("kept");

    const QList<int> usual{445, 139};
    QTest::newRow("share") << u"\\\\fs1\\data\\x"_s << true << u"fs1"_s << usual << false;
    QTest::newRow("its own port") << u"smb://fs1:4450/data"_s << true << u"fs1"_s << QList{4450}
                                  << false;
    QTest::newRow("IPv6 literal") << u"smb://[fe80::1]/data"_s << true << u"fe80::1"_s << usual
                                  << false;
    QTest::newRow("IPv6 literal as the client library writes it")
        << u"\\\\fe80--1s2.ipv6-literal.net\\data"_s << true << u"fe80::1%2"_s << usual << false;
    QTest::newRow("no worker: it fails at once, without the network")
        << u"\\\\fs1\\data"_s << false << QString() << QList<int>() << false;
    QTest::newRow("not an address") << u"smb://fs1"_s << true << QString() << QList<int>() << false;
    QTest::newRow("SSH host: the connection goes on to the measurement")
        << u"sftp://me@host.example:2222/srv"_s << true << u"host.example"_s << QList{2222} << true;
}

void TestHostCheck::serversOfAddresses()
{
    QFETCH(QString, address);
    QFETCH(bool, workerThere);
    QFETCH(QString, host);
    QFETCH(QList<int>, ports);
    QFETCH(bool, kept);
    const std::unique_ptr<DiskSpaceProbe> probe =
        address.startsWith(u"sftp:")
            ? std::unique_ptr<DiskSpaceProbe>(std::make_unique<SftpDiskSpaceProbe>())
            : std::make_unique<SmbDiskSpaceProbe>(workerThere ? QString()
                                                              : u"/nonexistent/worker"_s);

    const std::optional<HostEndpoint> endpoint = probe->hostToCheck(address);

    QCOMPARE(endpoint.has_value(), !host.isEmpty());
    if (!endpoint)
        return;
    QCOMPARE(endpoint->host, host);
    QCOMPARE(QList<int>(endpoint->ports.begin(), endpoint->ports.end()), ports);
    QCOMPARE(endpoint->keepConnection, kept);
    QCOMPARE(endpoint->hello.isEmpty(), kept); // SSH servers speak first
}

void TestHostCheck::verdicts_data()
{
    QTest::addColumn<int>("manner");    // a Greeter's, or -1 for a silent listener, -2 for none
    QTest::addColumn<int>("firstPort"); // 0: none; 1: one that refuses; 2: one that swallows
    QTest::addColumn<QByteArray>("hello");
    QTest::addColumn<QString>("failure");

    const auto greeter = [](Greeter::Manner m) { return static_cast<int>(m); };
    QTest::newRow("a server that speaks first")
        << greeter(Greeter::Manner::SpeaksFirst) << 0 << QByteArray() << QString();
    QTest::newRow("a server that answers the hello")
        << greeter(Greeter::Manner::AnswersHello) << 0 << QByteArray("hello") << QString();
    QTest::newRow("a server that closes at once: there, for the measurement to say why")
        << greeter(Greeter::Manner::ClosesAtOnce) << 0 << QByteArray("hello") << QString();
    QTest::newRow("the second port, after the first refused")
        << greeter(Greeter::Manner::SpeaksFirst) << 1 << QByteArray() << QString();
    QTest::newRow("the second port, while the first swallows the attempt")
        << greeter(Greeter::Manner::SpeaksFirst) << 2 << QByteArray() << QString();
    QTest::newRow("a server that accepts and never says a word")
        << -1 << 0 << QByteArray("hello") << QString(ProbeFailure::TimedOut);
    QTest::newRow("nothing listening")
        << -2 << 0 << QByteArray() << QString(ProbeFailure::ConnectionRefused);
}

void TestHostCheck::verdicts()
{
    QFETCH(int, manner);
    QFETCH(int, firstPort);
    QFETCH(QByteArray, hello);
    QFETCH(QString, failure);
    std::optional<Greeter> greeter;
    std::optional<SilentListeners> silent;
    int port = freeLoopbackPort();
    if (manner >= 0) {
        greeter.emplace(static_cast<Greeter::Manner>(manner));
        port = greeter->port();
    } else if (manner == -1) {
        silent.emplace(1);
        port = silent->ports()[0];
    }
    std::optional<SwallowingPort> swallowing;
    std::vector<int> ports{port};
    if (firstPort == 1)
        ports.insert(ports.begin(), freeLoopbackPort());
    if (firstPort == 2)
        ports.insert(ports.begin(), swallowing.emplace().port());
    const std::vector<HostEndpoint> endpoints{endpoint(u"127.0.0.1"_s, ports, hello)};
    Verdicts verdicts(endpoints.size());
    const std::atomic<bool> cancelled{false};

    QElapsedTimer timer;
    timer.start();
    checkHosts(endpoints, Clock::now() + 500ms, verdicts.recorder(), cancelled);

    QCOMPARE(verdicts.count, 1);
    QCOMPARE(*verdicts.given[0], failure);
    if (failure.isEmpty()) // the next attempt starts 250 ms after one that keeps waiting
        QVERIFY2(timer.elapsed() < 450, qPrintable(QString::number(timer.elapsed())));
}

void TestHostCheck::keptConnectionIsHandedOverUnread()
{
    Greeter greeter(Greeter::Manner::SpeaksFirst);
    HostEndpoint kept = endpoint(u"127.0.0.1"_s, {freeLoopbackPort(), greeter.port()});
    kept.keepConnection = true;
    const std::atomic<bool> cancelled{false};
    Verdicts verdicts(1);

    checkHosts({kept}, Clock::now() + 2s, verdicts.recorder(), cancelled);
    QCOMPARE(*verdicts.given[0], QString());

    const int socket = takeCheckedConnection(u"127.0.0.1"_s, greeter.port());
    QVERIFY(socket >= 0);
    QCOMPARE(takeCheckedConnection(u"127.0.0.1"_s, greeter.port()), -1); // handed out once
    QByteArray greeting(64, '\0');
    const ssize_t n = ::recv(socket, greeting.data(), size_t(greeting.size()), 0); // blocking
    ::close(socket);
    QCOMPARE(greeting.left(n), Greeter::Greeting.toByteArray());

    // One no measurement took is closed when its sweep is over.
    checkHosts({kept}, Clock::now() + 2s, Verdicts(1).recorder(), cancelled);
    dropCheckedConnections({kept});
    QCOMPARE(takeCheckedConnection(u"127.0.0.1"_s, greeter.port()), -1);
}

void TestHostCheck::cancelledCheckEndsAtOnce()
{
    SilentListeners silent(3);
    std::vector<HostEndpoint> endpoints;
    for (const int port : silent.ports())
        endpoints.push_back(endpoint(u"127.0.0.1"_s, {port}, "hello"));
    std::atomic<bool> cancelled{false};
    Verdicts verdicts(endpoints.size());
    std::thread canceller([&] {
        std::this_thread::sleep_for(100ms);
        cancelled = true;
    });
    QElapsedTimer timer;
    timer.start();

    checkHosts(endpoints, Clock::now() + 60s, verdicts.recorder(), cancelled);

    canceller.join();
    QVERIFY2(timer.elapsed() < 5'000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(verdicts.count, 0);
}

void TestHostCheck::unknownNames_data()
{
    QTest::addColumn<bool>("dnsAnswers");
    QTest::addColumn<QString>("failure");
    QTest::newRow("the name server says there is no such name")
        << true << QString(ProbeFailure::HostNotFound);
    QTest::newRow("the name server never answers") << false << QString(ProbeFailure::TimedOut);
}

void TestHostCheck::unknownNames()
{
    QFETCH(bool, dnsAnswers);
    QFETCH(QString, failure);
    if (!m_network->error().isEmpty())
        QSKIP(qPrintable(m_network->error()));
    m_network->setDns(dnsAnswers ? PrivateNetwork::Dns::NoSuchName : PrivateNetwork::Dns::Silent);
    // A thousand names, and a name given twice is looked up once.
    std::vector<HostEndpoint> endpoints;
    for (int i = 0; i < 1000; ++i)
        endpoints.push_back(endpoint(u"host%1.example.invalid"_s.arg(i), {445, 139}));
    endpoints.push_back(endpoint(u"host0.example.invalid"_s, {22}));
    const int threadsBefore = threadsOfThisProcess();
    int mostThreads = threadsBefore;
    Verdicts verdicts(endpoints.size());
    const auto record = verdicts.recorder();
    const std::atomic<bool> cancelled{false};
    QElapsedTimer timer;
    timer.start();

    checkHosts(
        endpoints, Clock::now() + 2s,
        [&](size_t i, const QString& f) {
            mostThreads = std::max(mostThreads, threadsOfThisProcess());
            record(i, f);
        },
        cancelled);

    QVERIFY2(timer.elapsed() < 3'000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(verdicts.count, int(endpoints.size()));
    for (const std::optional<QString>& given : verdicts.given)
        QCOMPARE(*given, failure);
    // A lookup thread that has just finished may not have gone yet when the next starts.
    QVERIFY2(mostThreads - threadsBefore <= MaxNameLookupThreads + 4,
             qPrintable(QString::number(mostThreads - threadsBefore)));
    QVERIFY(m_network->questions() > 0); // the private stub was asked, nothing else
}

void TestHostCheck::sweepOfDeadAndUnknownHostsEndsWithinItsTimeout_data()
{
    unknownNames_data();
}

void TestHostCheck::sweepOfDeadAndUnknownHostsEndsWithinItsTimeout()
{
    QFETCH(bool, dnsAnswers);
    QFETCH(QString, failure);
    if (!m_network->error().isEmpty())
        QSKIP(qPrintable(m_network->error()));
    m_network->setDns(dnsAnswers ? PrivateNetwork::Dns::NoSuchName : PrivateNetwork::Dns::Silent);
    // Three hundred servers that accept and never answer, of every kind of remote address,
    // and a thousand shares on hosts no one knows: far more than the probes busy at once.
    QStringList atPort445;
    for (int i = 0; i < 100; ++i)
        atPort445 << u"127.0.1.%1"_s.arg(i + 1);
    const SilentListeners unc(atPort445, 445);
    const SilentListeners other(200);
    QVERIFY2(unc.error().isEmpty() && other.error().isEmpty(),
             qPrintable(unc.error() + other.error()));
    QStringList dead;
    for (const QString& host : std::as_const(atPort445))
        dead << u"\\\\%1\\share"_s.arg(host);
    for (int i = 0; i < 100; ++i)
        dead << u"smb://127.0.0.1:%1/share"_s.arg(other.ports()[size_t(i)])
             << u"sftp://127.0.0.1:%1/"_s.arg(other.ports()[size_t(i + 100)]);
    QStringList unknown;
    for (int i = 0; i < 1000; ++i)
        unknown << u"\\\\host%1.example.invalid\\share"_s.arg(i);
    const std::unique_ptr<DiskSpaceProbe> probe = createDiskSpaceProbe();
    SweepSettings settings;
    settings.timeout = 2s;
    QElapsedTimer timer;
    timer.start();

    const QList<ProbeOutcome> outcomes = sweepAddresses(*probe, dead + unknown, settings);

    QVERIFY2(timer.elapsed() < 3'000, qPrintable(QString::number(timer.elapsed())));
    for (qsizetype i = 0; i < outcomes.size(); ++i)
        QCOMPARE(outcomes[i].failure, i < dead.size() ? QString(ProbeFailure::TimedOut) : failure);
}

QTEST_GUILESS_MAIN(TestHostCheck)
#include "test_host_check.moc"
