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
    // Installed programs find it beside themselves; the build's programs and tests live in
    // folders of their own and find it where the build put it.
    if (QCoreApplication::instance()) {
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(WorkerName);
        if (isExecutableFile(beside))
            return beside;
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
