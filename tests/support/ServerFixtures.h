#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <thread>
#include <vector>

// Pieces the loopback server fixtures (and the benchmarks) share. None of them needs
// Qt Test, so the benchmarks can use them too; each reports what went wrong in error().

// A TCP port on 127.0.0.1 that nothing listened on a moment ago.
int freeLoopbackPort();

// Whether a TCP connection to address:port ("127.0.0.1" or "::1") is accepted now.
bool acceptsConnections(const char* address, int port);

// Runs a tool to its end; empty when it exited with 0, else what it said.
QString runTool(const QString& program, const QStringList& arguments, const QByteArray& input = {});

// Loopback ports that accept connections and never say a word: dead SMB or SSH servers
// as a client meets them when a host hangs.
class SilentListeners {
public:
    explicit SilentListeners(int count);
    // One on each of these IPv4 addresses of the loopback network (127.0.1.7, ...), all on
    // the same port (0: each on a free one of its own).
    SilentListeners(const QStringList& addresses, int port);
    ~SilentListeners();
    SilentListeners(const SilentListeners&) = delete;
    SilentListeners& operator=(const SilentListeners&) = delete;

    const std::vector<int>& ports() const { return m_ports; }
    QString error() const { return m_error; }

private:
    std::vector<int> m_sockets;
    std::vector<int> m_ports;
    int m_wake[2] = {-1, -1};
    std::thread m_acceptor;
    QString m_error;
};

// A system user for a server to log on as, created when missing and removed again at the
// end if it was created here. Its password field is "*": not a password anyone can use,
// but not locked either, which sshd would take as a barred account.
class TestUser {
public:
    explicit TestUser(QString name);
    ~TestUser();
    TestUser(const TestUser&) = delete;
    TestUser& operator=(const TestUser&) = delete;

    QString name() const { return m_name; }
    QString error() const { return m_error; }

private:
    QString m_name;
    bool m_created = false;
    QString m_error;
};

// A tmpfs of a known size mounted for the lifetime of the object, so a volume's figures
// are known in advance whatever the machine's disks hold. Needs root.
class TmpfsMount {
public:
    TmpfsMount(const QString& mountPoint, qint64 bytes);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool mounted() const { return m_mounted; }
    QString error() const { return m_error; }

private:
    QByteArray m_path;
    bool m_mounted = false;
    QString m_error;
};

// What a folder's own statvfs says: the figures a remote probe must report for it.
struct FolderFigures {
    qint64 freeBytesAvailable = -1;
    qint64 totalBytes = -1;
};
FolderFigures folderFigures(const QString& path);
