#pragma once

#include "platform/DiskSpaceProbe.h"
#include "platform/SmbLogon.h"

#include <QByteArray>

#include <optional>

// What the SMB probe hands the worker process of one measurement (SmbWorkerServer.h) on
// that process's own socket. The password travels there only, never on a command line, in
// the environment or in an answer.
struct SmbProbeRequest {
    QString server;    // as the address wrote it, for telling an unknown host apart
    QString shareUrl;  // smbClientUrl(address, true)
    QString folderUrl; // smbClientUrl(address); empty for the share's own root
    SmbLogon logon;
    int timeoutMs = 10'000;
};

QByteArray encodeSmbProbeRequest(const SmbProbeRequest& request);
std::optional<SmbProbeRequest> decodeSmbProbeRequest(const QByteArray& data);

// The worker's answer on the same socket. Anything that does not decode is the worker's
// failure.
QByteArray encodeProbeOutcome(const ProbeOutcome& outcome);
ProbeOutcome decodeProbeOutcome(const QByteArray& data);

// The worker server receives each measurement's socket over its control socket, one per
// message (SCM_RIGHTS). False when the server did not take it; errno says why.
bool sendSocket(int control, int socket);
// The socket of the next message: -1 when the control socket has ended, -2 for a message
// that carried none. The socket received is closed on exec.
int receiveSocket(int control);

// What a failed connection's errno means to a person, in the words of ProbeFailure.h; none
// for an errno that means nothing particular about reaching the server.
std::optional<QString> connectionFailureOf(int error);
