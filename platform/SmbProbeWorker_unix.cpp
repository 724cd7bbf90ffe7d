// vardometer-smb-probe --serve: measures SMB shares for the SMB probe, each in a process of
// its own, since libsmbclient cannot serve several threads at once. It waits on standard
// input (a socket from SmbWorkerServer) for sockets, one per measurement, and forks a child
// for each; the child says its PID, reads one request (SmbProbeProtocol.h), answers it and
// ends. The password arrives through that socket and goes nowhere but to the server.
//
// The server itself never calls the library, so every child starts from a clean copy of
// it, without the cost of loading it again.

#include "platform/ProbeFailure.h"
#include "platform/SmbProbeProtocol.h"

#include <libsmbclient.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qsizetype MaximumRequestBytes = 1 << 20;

struct Logon {
    bool guest = true;
    QByteArray domain;
    QByteArray username;
    QByteArray password;
};

void copyInto(char* target, int size, const QByteArray& value)
{
    if (size <= 0)
        return;
    const int length = std::min<int>(static_cast<int>(value.size()), size - 1);
    std::memcpy(target, value.constData(), static_cast<size_t>(length));
    target[length] = '\0';
}

void supplyLogon(SMBCCTX* context, const char*, const char*, char* workgroup, int workgroupSize,
                 char* username, int usernameSize, char* password, int passwordSize)
{
    const auto* logon = static_cast<const Logon*>(smbc_getOptionUserData(context));
    if (logon->guest) {
        copyInto(username, usernameSize, "guest");
        copyInto(password, passwordSize, {});
        return;
    }
    if (!logon->domain.isEmpty())
        copyInto(workgroup, workgroupSize, logon->domain);
    copyInto(username, usernameSize, logon->username);
    copyInto(password, passwordSize, logon->password);
}

class SmbClient {
public:
    SmbClient(const SmbProbeRequest& request)
        : m_context(smbc_new_context())
    {
        m_logon.guest = request.logon.guest;
        m_logon.domain = request.logon.domain.toUtf8();
        m_logon.username = request.logon.username.toUtf8();
        m_logon.password = request.logon.password.toUtf8();
        if (!m_context)
            return;
        smbc_setDebug(m_context, 0);
        smbc_setOptionDebugToStderr(m_context, 1);
        // 0 would wait for ever.
        smbc_setTimeout(m_context, std::max(1, request.timeoutMs));
        smbc_setOptionUserData(m_context, &m_logon);
        smbc_setFunctionAuthDataWithContext(m_context, supplyLogon);
        // A rejected password must fail, not quietly become an anonymous logon that a
        // guest share would accept.
        smbc_setOptionNoAutoAnonymousLogin(m_context, m_logon.guest ? 0 : 1);
        smbc_setOptionUseKerberos(m_context, 0);
        if (!smbc_init_context(m_context))
            m_context = nullptr;
    }
    SmbClient(const SmbClient&) = delete;
    SmbClient& operator=(const SmbClient&) = delete;

    bool valid() const { return m_context != nullptr; }
    bool guest() const { return m_logon.guest; }

    int statvfs(const QString& url, struct statvfs* volume)
    {
        QByteArray bytes = url.toUtf8();
        return smbc_getFunctionStatVFS(m_context)(m_context, bytes.data(), volume);
    }
    int stat(const QString& url, struct stat* status)
    {
        const QByteArray bytes = url.toUtf8();
        return smbc_getFunctionStat(m_context)(m_context, bytes.constData(), status);
    }

private:
    Logon m_logon;
    SMBCCTX* m_context; // freed with the process: freeing logs off, which can wait
};

bool hostResolves(const QString& server)
{
    if (server.contains(u':'))
        return true; // an IPv6 literal needs no lookup
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int result = ::getaddrinfo(server.toUtf8().constData(), nullptr, &hints, &found);
    if (found)
        ::freeaddrinfo(found);
    return result == 0;
}

bool isRefusal(int error)
{
    // EINVAL: what the client makes of credentials it cannot even offer (an empty password).
    return error == EACCES || error == EPERM || error == EINVAL;
}

// The server accepted the logon (user and password) when it lets the user at its IPC$
// share; only a refused logon is a logon failure rather than a refused share.
bool logonRefused(SmbClient& client, const QString& shareUrl)
{
    const QString ipcUrl = shareUrl.left(shareUrl.lastIndexOf(u'/')) + u"/IPC$"_s;
    struct stat status {};
    return client.stat(ipcUrl, &status) != 0 && isRefusal(errno);
}

QString connectionFailure(int error, const QString& server)
{
    if (const std::optional<QString> failure = connectionFailureOf(error))
        return *failure;
    // What libsmbclient says of a name it cannot resolve, among other things.
    if (error == EINVAL && !hostResolves(server))
        return ProbeFailure::HostNotFound;
    return u"SMB error: "_s + QString::fromLocal8Bit(std::strerror(error));
}

ProbeOutcome figures(const struct statvfs& volume)
{
    // libsmbclient reports allocation units of f_frsize sectors of f_bsize bytes each.
    qint64 unitBytes = 0;
    DiskSpace space;
    if (__builtin_mul_overflow(volume.f_bsize, volume.f_frsize, &unitBytes) ||
        __builtin_mul_overflow(volume.f_bavail, unitBytes, &space.freeBytesAvailable) ||
        __builtin_mul_overflow(volume.f_blocks, unitBytes, &space.totalBytes))
        return ProbeOutcome::failed(ProbeFailure::FiguresTooLarge);
    if (space.totalBytes <= 0)
        return ProbeOutcome::failed(ProbeFailure::NoSize);
    return ProbeOutcome::measured(space);
}

ProbeOutcome measure(const SmbProbeRequest& request)
{
    SmbClient client(request);
    if (!client.valid())
        return ProbeOutcome::failed(u"SMB error: the client library did not start"_s);

    struct statvfs volume {};
    if (client.statvfs(request.shareUrl, &volume) != 0) {
        const int error = errno;
        if (error == ENOENT)
            return ProbeOutcome::failed(ProbeFailure::NoSuchShare);
        if (error == EINVAL && !hostResolves(request.server))
            return ProbeOutcome::failed(ProbeFailure::HostNotFound);
        if (isRefusal(error)) {
            if (client.guest() && error != EINVAL)
                return ProbeOutcome::failed(ProbeFailure::GuestAccessDenied);
            if (!client.guest() && logonRefused(client, request.shareUrl))
                return ProbeOutcome::failed(ProbeFailure::LogonFailure);
            if (error != EINVAL)
                return ProbeOutcome::failed(ProbeFailure::AccessDenied);
        }
        return ProbeOutcome::failed(connectionFailure(error, request.server));
    }
    if (request.folderUrl.isEmpty())
        return figures(volume);

    struct stat status {};
    if (client.stat(request.folderUrl, &status) != 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return ProbeOutcome::failed(ProbeFailure::NoSuchFolder);
        if (error == EACCES || error == EPERM)
            return ProbeOutcome::failed(ProbeFailure::AccessDenied);
        return ProbeOutcome::failed(connectionFailure(error, request.server));
    }
    if (!S_ISDIR(status.st_mode))
        return ProbeOutcome::failed(ProbeFailure::NotAFolder);
    if (client.statvfs(request.folderUrl, &volume) != 0)
        return ProbeOutcome::failed(connectionFailure(errno, request.server));
    return figures(volume);
}

QByteArray readAll(int fd)
{
    QByteArray data;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || data.size() + n > MaximumRequestBytes)
            return data;
        data.append(buffer, n);
    }
}

void writeAll(int fd, const QByteArray& data)
{
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n =
            ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

// One measurement, in a child of the server, on the socket it was given.
[[noreturn]] void answerOneRequest(int socket)
{
    // The answer goes to the socket; whatever the library prints, to standard error, and
    // standard output itself to nowhere.
    const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nowhere < 0 || ::dup2(nowhere, STDOUT_FILENO) < 0)
        ::_exit(2);
    writeAll(socket, QByteArray::number(::getpid()) + '\n');

    const std::optional<SmbProbeRequest> request = decodeSmbProbeRequest(readAll(socket));
    if (!request) {
        writeAll(socket, encodeProbeOutcome(ProbeOutcome::failed(ProbeFailure::SmbWorkerFailed)));
        ::_exit(2);
    }
    // The probe kills this process at its deadline; this is for a probe that cannot.
    ::alarm(static_cast<unsigned>(request->timeoutMs / 1000 + 2));
    writeAll(socket, encodeProbeOutcome(measure(*request)));
    ::_exit(0);
}

int serve()
{
    // Children are reaped by the system as they end.
    ::signal(SIGCHLD, SIG_IGN);
    for (;;) {
        const int socket = receiveSocket(STDIN_FILENO);
        if (socket == -1)
            return 0; // the probe, or the whole program, has gone
        if (socket < 0)
            continue;
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(STDIN_FILENO);
            ::signal(SIGCHLD, SIG_DFL);
            answerOneRequest(socket);
        }
        ::close(socket); // a failed fork ends the exchange: the probe sees no PID
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--serve") == 0)
        return serve();
    std::fputs("vardometer-smb-probe is started by Vardometer's SMB probe\n", stderr);
    return 2;
}
