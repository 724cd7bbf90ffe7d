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
    const QString worker = m_workerProgram.isEmpty() ? defaultWorkerProgram() : m_workerProgram;
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
