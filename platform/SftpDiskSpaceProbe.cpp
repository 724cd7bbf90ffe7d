#include "platform/SftpDiskSpaceProbe.h"

#include "platform/CheckedConnections.h"
#include "platform/KnownHosts.h"
#include "platform/ProbeFailure.h"
#include "platform/RemoteAddress.h"
#include "platform/Ssh2Api.h"
#include "platform/TcpConnection.h"

#include <QDir>
#include <QFile>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;

// Everything one measurement needs, copied when it is prepared.
struct SftpJob {
    SftpAddress address;
    QString username;
    QString sshFolder; // $HOME/.ssh
    std::chrono::milliseconds timeout;
};

struct SshDeleter {
    const Ssh2Api* lib;
    void operator()(LIBSSH2_SESSION* ssh) const
    {
        // Saying goodbye must not hold a measurement that is over.
        lib->sessionSetTimeout(ssh, 500);
        lib->sessionDisconnect(ssh, SSH_DISCONNECT_BY_APPLICATION, "done", "");
        lib->sessionFree(ssh);
    }
};
struct SftpDeleter {
    const Ssh2Api* lib;
    LIBSSH2_SESSION* ssh;
    void operator()(LIBSSH2_SFTP* sftp) const
    {
        lib->sessionSetTimeout(ssh, 500);
        lib->sftpShutdown(sftp);
    }
};
struct AgentDeleter {
    const Ssh2Api* lib;
    void operator()(LIBSSH2_AGENT* agent) const
    {
        lib->agentDisconnect(agent);
        lib->agentFree(agent);
    }
};
using SshConnection = std::unique_ptr<LIBSSH2_SESSION, SshDeleter>;
using Sftp = std::unique_ptr<LIBSSH2_SFTP, SftpDeleter>;
using Agent = std::unique_ptr<LIBSSH2_AGENT, AgentDeleter>;

class Socket {
public:
    explicit Socket(int fd)
        : m_fd(fd)
    {
    }
    ~Socket() { closeTcp(m_fd); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

QString localUserName()
{
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("LOGNAME") : user;
}

QString lastError(const Ssh2Api& lib, LIBSSH2_SESSION* ssh)
{
    char* message = nullptr;
    lib.sessionLastError(ssh, &message, nullptr, 0);
    return message ? QString::fromUtf8(message) : QString();
}

// Each blocking libssh2 call may take what is left of the time-out, and no more.
class Deadline {
public:
    Deadline(const Ssh2Api& lib, LIBSSH2_SESSION* ssh, Clock::time_point at)
        : m_lib(lib)
        , m_ssh(ssh)
        , m_at(at)
    {
    }
    bool arm() const
    {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_at - Clock::now());
        if (left.count() <= 0)
            return false;
        m_lib.sessionSetTimeout(m_ssh, static_cast<long>(left.count()));
        return true;
    }

private:
    const Ssh2Api& m_lib;
    LIBSSH2_SESSION* m_ssh;
    Clock::time_point m_at;
};

// Asks the server for a type of host key that known_hosts holds for it, when it has one,
// so a host that also offers other types is not taken for an unknown one.
void preferKnownHostKeyTypes(const Ssh2Api& lib, LIBSSH2_SESSION* ssh,
                             const QStringList& knownTypes)
{
    if (knownTypes.isEmpty())
        return;
    const char** supported = nullptr;
    const int count = lib.sessionSupportedAlgs(ssh, LIBSSH2_METHOD_HOSTKEY, &supported);
    if (count <= 0)
        return;
    QStringList wanted;
    for (const QString& type : knownTypes) {
        // One RSA key is offered under three signature names.
        if (type == u"ssh-rsa")
            wanted << u"rsa-sha2-512"_s << u"rsa-sha2-256"_s << u"ssh-rsa"_s;
        else
            wanted << type;
    }
    QStringList first, rest;
    for (int i = 0; i < count; ++i) {
        const QString name = QString::fromLatin1(supported[i]);
        (wanted.contains(name) ? first : rest) << name;
    }
    lib.free(ssh, supported);
    std::sort(first.begin(), first.end(), [&](const QString& a, const QString& b) {
        return wanted.indexOf(a) < wanted.indexOf(b);
    });
    const QByteArray preference = (first + rest).join(u',').toLatin1();
    lib.sessionMethodPref(ssh, LIBSSH2_METHOD_HOSTKEY, preference.constData());
}

bool authenticateWithAgent(const Ssh2Api& lib, LIBSSH2_SESSION* ssh, const QByteArray& user,
                           const Deadline& deadline)
{
    if (qEnvironmentVariableIsEmpty("SSH_AUTH_SOCK"))
        return false;
    const Agent agent(lib.agentInit(ssh), AgentDeleter{&lib});
    if (!agent || lib.agentConnect(agent.get()) != 0 || lib.agentListIdentities(agent.get()) != 0)
        return false;
    libssh2_agent_publickey* identity = nullptr;
    while (deadline.arm() && lib.agentGetIdentity(agent.get(), &identity, identity) == 0)
        if (lib.agentUserauth(agent.get(), user.constData(), identity) == 0)
            return true;
    return false;
}

bool authenticateWithKeyFile(const Ssh2Api& lib, LIBSSH2_SESSION* ssh, const QByteArray& user,
                             const QString& keyFile, const Deadline& deadline)
{
    if (!QFile::exists(keyFile) || !deadline.arm())
        return false;
    const QByteArray path = QFile::encodeName(keyFile);
    return lib.userauthPublickeyFromfile(ssh, user.constData(), static_cast<unsigned>(user.size()),
                                         nullptr, path.constData(), "") == 0;
}

QString sftpFailure(const Ssh2Api& lib, LIBSSH2_SESSION* ssh, LIBSSH2_SFTP* sftp, int result)
{
    if (result == LIBSSH2_ERROR_TIMEOUT)
        return ProbeFailure::TimedOut;
    if (result != LIBSSH2_ERROR_SFTP_PROTOCOL)
        return ProbeFailure::SshFailed + u": "_s + lastError(lib, ssh);
    switch (lib.sftpLastError(sftp)) {
    case LIBSSH2_FX_NO_SUCH_FILE:
    case LIBSSH2_FX_NO_SUCH_PATH:
    case LIBSSH2_FX_NOT_A_DIRECTORY:
        return ProbeFailure::NoSuchFolder;
    case LIBSSH2_FX_PERMISSION_DENIED:
        return ProbeFailure::AccessDenied;
    case LIBSSH2_FX_OP_UNSUPPORTED:
        return ProbeFailure::NoFreeSpaceReport;
    default:
        return u"SFTP error %1"_s.arg(lib.sftpLastError(sftp));
    }
}

ProbeOutcome figures(const LIBSSH2_SFTP_STATVFS& volume)
{
    const quint64 fragment = volume.f_frsize ? volume.f_frsize : volume.f_bsize;
    DiskSpace space;
    if (__builtin_mul_overflow(volume.f_bavail, fragment, &space.freeBytesAvailable) ||
        __builtin_mul_overflow(volume.f_blocks, fragment, &space.totalBytes))
        return ProbeOutcome::failed(ProbeFailure::FiguresTooLarge);
    if (space.totalBytes <= 0)
        return ProbeOutcome::failed(ProbeFailure::NoSize);
    return ProbeOutcome::measured(space);
}

ProbeOutcome measureSftp(const SftpJob& job)
{
    QString whyNoSsh;
    const Ssh2Api* api = ssh2Api(&whyNoSsh);
    if (!api)
        return ProbeOutcome::failed(ProbeFailure::SshFailed +
                                    u": the SSH library could not be loaded: "_s + whyNoSsh);
    const Ssh2Api& lib = *api;
    const Clock::time_point at = Clock::now() + job.timeout;

    QString failure;
    int connection = takeCheckedConnection(job.address.host, job.address.port);
    if (connection < 0)
        connection = connectTcp(job.address.host, job.address.port, at, &failure);
    const Socket socket(connection);
    if (socket.get() < 0)
        return ProbeOutcome::failed(failure);
    const SshConnection ssh(lib.sessionInit(nullptr, nullptr, nullptr, nullptr), SshDeleter{&lib});
    if (!ssh)
        return ProbeOutcome::failed(ProbeFailure::SshFailed);
    const Deadline deadline(lib, ssh.get(), at);
    lib.sessionSetBlocking(ssh.get(), 1);

    QFile knownHostsFile(QDir(job.sshFolder).filePath(u"known_hosts"_s));
    const QByteArray knownHosts =
        knownHostsFile.open(QIODevice::ReadOnly) ? knownHostsFile.readAll() : QByteArray();
    preferKnownHostKeyTypes(lib, ssh.get(),
                            knownHostKeyTypes(knownHosts, job.address.host, job.address.port));

    if (!deadline.arm())
        return ProbeOutcome::failed(ProbeFailure::TimedOut);
    if (const int rc = lib.sessionHandshake(ssh.get(), socket.get()); rc != 0)
        return ProbeOutcome::failed(rc == LIBSSH2_ERROR_TIMEOUT
                                        ? QString(ProbeFailure::TimedOut)
                                        : ProbeFailure::SshFailed + u": "_s +
                                              lastError(lib, ssh.get()));

    size_t keyLength = 0;
    int keyType = 0;
    const char* key = lib.sessionHostkey(ssh.get(), &keyLength, &keyType);
    if (!key)
        return ProbeOutcome::failed(ProbeFailure::SshFailed);
    switch (checkHostKey(knownHosts, job.address.host, job.address.port,
                         QByteArray(key, static_cast<qsizetype>(keyLength)))) {
    case HostKeyStatus::Known:
        break;
    case HostKeyStatus::Unknown:
        return ProbeOutcome::failed(ProbeFailure::HostKeyUnknown);
    case HostKeyStatus::Changed:
        return ProbeOutcome::failed(ProbeFailure::HostKeyChanged);
    case HostKeyStatus::Revoked:
        return ProbeOutcome::failed(ProbeFailure::HostKeyRevoked);
    }

    const QByteArray user = job.username.toUtf8();
    const QDir keys(job.sshFolder);
    if (!authenticateWithAgent(lib, ssh.get(), user, deadline) &&
        !authenticateWithKeyFile(lib, ssh.get(), user, keys.filePath(u"id_ed25519"_s), deadline) &&
        !authenticateWithKeyFile(lib, ssh.get(), user, keys.filePath(u"id_ecdsa"_s), deadline))
        return ProbeOutcome::failed(Clock::now() >= at
                                        ? QString(ProbeFailure::TimedOut)
                                        : QString(ProbeFailure::AuthenticationFailed));

    if (!deadline.arm())
        return ProbeOutcome::failed(ProbeFailure::TimedOut);
    const Sftp sftp(lib.sftpInit(ssh.get()), SftpDeleter{&lib, ssh.get()});
    if (!sftp)
        return ProbeOutcome::failed(lib.sessionLastErrno(ssh.get()) == LIBSSH2_ERROR_TIMEOUT
                                        ? QString(ProbeFailure::TimedOut)
                                        : ProbeFailure::SshFailed + u": no SFTP service"_s);

    const QByteArray path = job.address.path.toUtf8();
    const auto pathLength = static_cast<unsigned>(path.size());
    LIBSSH2_SFTP_ATTRIBUTES attributes{};
    if (!deadline.arm())
        return ProbeOutcome::failed(ProbeFailure::TimedOut);
    if (const int rc =
            lib.sftpStat(sftp.get(), path.constData(), pathLength, LIBSSH2_SFTP_STAT, &attributes);
        rc != 0)
        return ProbeOutcome::failed(sftpFailure(lib, ssh.get(), sftp.get(), rc));
    if ((attributes.flags & LIBSSH2_SFTP_ATTR_PERMISSIONS) &&
        !LIBSSH2_SFTP_S_ISDIR(attributes.permissions))
        return ProbeOutcome::failed(ProbeFailure::NotAFolder);

    LIBSSH2_SFTP_STATVFS volume{};
    if (!deadline.arm())
        return ProbeOutcome::failed(ProbeFailure::TimedOut);
    if (const int rc = lib.sftpStatvfs(sftp.get(), path.constData(), pathLength, &volume); rc != 0)
        return ProbeOutcome::failed(sftpFailure(lib, ssh.get(), sftp.get(), rc));
    return figures(volume);
}

} // namespace

Measurement SftpDiskSpaceProbe::prepare(const QString& address, std::chrono::milliseconds timeout)
{
    QString whyNot;
    const std::optional<SftpAddress> sftp = parseSftpAddress(address, &whyNot);
    if (!sftp)
        return [whyNot] {
            return ProbeOutcome::failed(ProbeFailure::InvalidAddress + u": "_s + whyNot);
        };
    SftpJob job{*sftp, sftp->username.isEmpty() ? localUserName() : sftp->username,
                QDir(QDir::homePath()).filePath(u".ssh"_s), timeout};
    return [job] { return measureSftp(job); };
}

std::optional<HostEndpoint> SftpDiskSpaceProbe::hostToCheck(const QString& address) const
{
    const std::optional<SftpAddress> sftp = parseSftpAddress(address);
    if (!sftp)
        return std::nullopt;
    HostEndpoint endpoint;
    endpoint.host = sftp->host;
    endpoint.ports = {sftp->port};
    endpoint.keepConnection = true;
    return endpoint;
}
