#pragma once

#include "platform/DiskSpaceProbe.h"

#include <memory>

class SmbWorkerServer;

// Measures SMB shares (\\server\share\folder, smb://...) without mounting them, through
// libsmbclient in a process of its own per measurement, forked by the worker program
// vardometer-smb-probe (SmbWorkerServer.h): the library cannot serve several threads at
// once, and a process can be killed at the time-out wherever the library waits. Free
// bytes are those the server grants the user logged on; the logon comes from the share
// credentials (SmbLogon.h).
class SmbDiskSpaceProbe : public DiskSpaceProbe {
public:
    // An empty worker path finds the worker beside the running program, then where the
    // build put it.
    explicit SmbDiskSpaceProbe(QString workerProgram = {});

    Measurement prepare(const QString& address, std::chrono::milliseconds timeout) override;
    // The server, on the address's port or on 445 and then 139, greeted with an SMB2
    // negotiate request.
    std::optional<HostEndpoint> hostToCheck(const QString& address) const override;
    void setShareCredentials(const QList<ShareCredential>& credentials) override;

    static QString defaultWorkerProgram();

private:
    QString workerProgram() const;

    QString m_workerProgram;
    QList<ShareCredential> m_credentials;
    // Started with the first measurement; shared with the measurements, which may outlive this.
    std::shared_ptr<SmbWorkerServer> m_server;
    QString m_serverProgram;
};
