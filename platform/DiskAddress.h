#pragma once

#include <QString>

// The forms a system's address can take, each measured by its own kind of probe.
enum class DiskAddressKind {
    Invalid,     // empty, or holding a NUL character no platform call could pass on
    Local,       // a path on this machine, absolute or relative to the working directory
    Smb,         // \\server\share\... or smb://server/share/...
    Sftp,        // sftp://[user@]host[:port]/path
    Unsupported, // any other scheme://
};

// Decided from the address's form alone, without touching the network or the disk.
DiskAddressKind diskAddressKind(const QString& address);
