#include "platform/SmbDiskSpaceProbe.h"

#include "platform/ProbeFailure.h"
#include "platform/RemoteAddress.h"
#include "platform/SmbProbeProtocol.h"
#include "platform/SmbWorkerServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString WorkerName = u"vardometer-smb-probe"_s;

bool isExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

// An SMB2 NEGOTIATE request offering the dialects 2.0.2 to 3.0.2, in its session-service
// frame. Any server answers it, if only to refuse the dialects or to close the connection.
QByteArray negotiateRequest()
{
    QByteArray header(64, '\0');
    header.replace(0, 4, "\xfeSMB");
    header[4] = 64; // structure size
    header[14] = 1; // credits requested
    QByteArray body(36, '\0');
    body[0] = 36; // structure size
    body[2] = 4;  // dialect count
    body[4] = 1;  // signing enabled
    for (const char* dialect : {"\x02\x02", "\x10\x02", "\x00\x03", "\x02\x03"})
        body.append(dialect, 2);
    const QByteArray message = header + body;
    QByteArray frame(4, '\0');
    frame[2] = char(message.size() >> 8);
    frame[3] = char(message.size() & 0xff);
    return frame + message;
}

// The server as the system's resolver knows it: a name the client library reads as an IPv6
// literal ("fe80--1s2.ipv6-literal.net") as that literal ("fe80::1%2").
QString resolvableServer(const QString& server)
{
    static const QString Suffix = u".ipv6-literal.net"_s;
    if (!server.endsWith(Suffix, Qt::CaseInsensitive))
        return server;
    QString literal = server.chopped(Suffix.size());
    return literal.replace(u'-', u':').replace(QChar(u's'), QChar(u'%'), Qt::CaseInsensitive);
}

} // namespace

SmbDiskSpaceProbe::SmbDiskSpaceProbe(QString workerProgram)
    : m_workerProgram(std::move(workerProgram))
{
}

QString SmbDiskSpaceProbe::defaultWorkerProgram()
{
    // An installed program finds it in its own folder under libexec/, the way there taken
    // from where the program itself is, never from PATH; one copied elsewhere with its worker
    // finds it beside itself; the build's programs and tests, in folders of their own, find
    // it where the build put it.
    if (QCoreApplication::instance()) {
        const QDir programs(QCoreApplication::applicationDirPath());
        for (const QString& candidate :
             {programs.filePath(QStringLiteral(VARDOMETER_WORKERDIR_FROM_PROGRAMS) + u'/' +
                                WorkerName),
              programs.filePath(WorkerName)}) {
            if (isExecutableFile(candidate))
                return QDir::cleanPath(candidate);
        }
    }
#ifdef VARDOMETER_SMB_WORKER
    if (isExecutableFile(QStringLiteral(VARDOMETER_SMB_WORKER)))
        return QStringLiteral(VARDOMETER_SMB_WORKER);
#endif
    return {};
}

std::optional<HostEndpoint> SmbDiskSpaceProbe::hostToCheck(const QString& address) const
{
    // Without a worker, or for an address no server could make sense of, the measurement
    // fails at once and needs no server.
    const std::optional<SmbAddress> smb = parseSmbAddress(address);
    const QString worker = workerProgram();
    if (!smb || !isExecutableFile(worker))
        return std::nullopt;
    HostEndpoint endpoint;
    endpoint.host = resolvableServer(smb->server);
    endpoint.ports = smb->port ? std::vector<int>{smb->port} : std::vector<int>{445, 139};
    static const QByteArray hello = negotiateRequest();
    endpoint.hello = hello;
    return endpoint;
}

QString SmbDiskSpaceProbe::workerProgram() const
{
    return m_workerProgram.isEmpty() ? defaultWorkerProgram() : m_workerProgram;
}

void SmbDiskSpaceProbe::setShareCredentials(const QList<ShareCredential>& credentials)
{
    m_credentials = credentials;
}

Measurement SmbDiskSpaceProbe::prepare(const QString& address, std::chrono::milliseconds timeout)
{
    QString whyNot;
    const std::optional<SmbAddress> smb = parseSmbAddress(address, &whyNot);
    if (!smb)
        return [whyNot] {
            return ProbeOutcome::failed(ProbeFailure::InvalidAddress + u": "_s + whyNot);
        };
    const QString worker = workerProgram();
    if (!isExecutableFile(worker))
        return [] { return ProbeOutcome::failed(ProbeFailure::SmbWorkerMissing); };

    SmbProbeRequest request;
    request.server = smb->server;
    request.shareUrl = smbClientUrl(*smb, true);
    if (!smb->folders.isEmpty())
        request.folderUrl = smbClientUrl(*smb);
    request.logon = smbLogonFor(*smb, m_credentials);
    request.timeoutMs = static_cast<int>(std::max<qint64>(1, timeout.count()));
    if (!m_server || m_serverProgram != worker) {
        m_server = std::make_shared<SmbWorkerServer>(worker);
        m_serverProgram = worker;
    }
    return [server = m_server, input = encodeSmbProbeRequest(request), timeout] {
        const SmbWorkerServer::Answer answer =
            server->exchange(input, std::chrono::steady_clock::now() + timeout);
        if (answer.timedOut)
            return ProbeOutcome::failed(ProbeFailure::TimedOut);
        if (!answer.error.isEmpty())
            return ProbeOutcome::failed(ProbeFailure::SmbWorkerFailed + u": "_s + answer.error);
        return decodeProbeOutcome(answer.data);
    };
}
