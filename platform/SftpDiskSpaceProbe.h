#pragma once

#include "platform/DiskSpaceProbe.h"

// Measures a folder of an SSH host (sftp://[user@]host[:port]/path) through libssh2 and the
// SFTP "statvfs@openssh.com" extension, within the time-out.
//
// The server's host key must be in $HOME/.ssh/known_hosts (hashed lines included; at a
// port other than 22 only "[host]:port" lines count): an unknown or changed key fails the
// measurement and is never accepted or recorded. The probe logs on with the keys of the
// user's ssh-agent, then $HOME/.ssh/id_ed25519, then $HOME/.ssh/id_ecdsa (without a
// passphrase), as the address's user or else the local one.
//
// Available bytes are f_bavail × f_frsize, total bytes f_blocks × f_frsize, as the server's
// own statvfs reports them.
class SftpDiskSpaceProbe : public DiskSpaceProbe {
public:
    Measurement prepare(const QString& address, std::chrono::milliseconds timeout) override;
    // The host's port: the server speaks first, and the measurement goes on on the connection
    // the check made.
    std::optional<HostEndpoint> hostToCheck(const QString& address) const override;
};
