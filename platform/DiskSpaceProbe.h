#pragma once

#include <QString>

#include <optional>

struct DiskSpace {
    // What the calling user may still write: less than the volume's free bytes under quotas
    // or with space reserved for the administrator.
    qint64 freeBytesAvailable = 0;
    qint64 totalBytes = 0;
};

// Asks how large the volume behind an address is and how much of it is free. The engine
// holds one of these and never looks at the address itself, so probes for further kinds of
// address (SMB shares, SSH hosts) plug in without the engine changing.
//
// An address is data typed by the user: probes never hand it to a shell.
class DiskSpaceProbe {
public:
    virtual ~DiskSpaceProbe() = default;

    // Empty when the address cannot be parsed, reached or measured, access included; the
    // reason does not matter to the caller, which reports the system as not found. A result
    // always has a positive total: a volume claiming 0 bytes is a failure too, because no
    // percentage or prediction can be made of it.
    virtual std::optional<DiskSpace> query(const QString& address) = 0;

protected:
    DiskSpaceProbe() = default;
    DiskSpaceProbe(const DiskSpaceProbe&) = delete;
    DiskSpaceProbe& operator=(const DiskSpaceProbe&) = delete;
};
