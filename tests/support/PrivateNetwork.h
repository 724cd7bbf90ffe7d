#pragma once

#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

// Moves the calling thread, and the threads and programs it starts from then on, into a
// network of its own with only a loopback interface and a resolver of its own: names are
// looked up in a hosts file that knows localhost only, then asked of a DNS stub on
// 127.0.0.1:53 run by this object, which answers every question "no such name", or never;
// a resolver gives up on a question after 3 s. The machine's name (for a search domain),
// the resolver's environment variables and caching daemons are out of the way. Nothing asks
// the machine's resolver or leaves the machine. Needs root. The move lasts for the rest of the
// thread's life; the stub, while the object lives.
class PrivateNetwork {
public:
    enum class Dns { NoSuchName, Silent };
    explicit PrivateNetwork(Dns dns);
    ~PrivateNetwork();
    PrivateNetwork(const PrivateNetwork&) = delete;
    PrivateNetwork& operator=(const PrivateNetwork&) = delete;

    QString error() const { return m_error; }
    void setDns(Dns dns) { m_dns = dns; }
    // Questions the stub has been asked so far.
    int questions() const { return m_questions; }

private:
    bool enter();
    void serve();

    std::atomic<Dns> m_dns;
    QTemporaryDir m_files;
    int m_socket = -1;
    int m_wake[2] = {-1, -1};
    std::atomic<int> m_questions{0};
    std::thread m_stub;
    QString m_error;
};
