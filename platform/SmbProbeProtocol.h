#pragma once

#include "platform/DiskSpaceProbe.h"
#include "platform/SmbLogon.h"

#include <QByteArray>

#include <optional>

// What the SMB probe hands its helper process on standard input. libsmbclient cannot serve
// several threads at once, so every SMB measurement runs in a process of its own; the
// password travels through this pipe only, never on a command line or in the environment.
struct SmbProbeRequest {
    QString server;    // as the address wrote it, for telling an unknown host apart
    QString shareUrl;  // smbClientUrl(address, true)
    QString folderUrl; // smbClientUrl(address); empty for the share's own root
    SmbLogon logon;
    int timeoutMs = 10'000;
};

QByteArray encodeSmbProbeRequest(const SmbProbeRequest& request);
std::optional<SmbProbeRequest> decodeSmbProbeRequest(const QByteArray& data);

// The helper's answer on standard output. Anything that does not decode is the helper's
// failure.
QByteArray encodeProbeOutcome(const ProbeOutcome& outcome);
ProbeOutcome decodeProbeOutcome(const QByteArray& data);
