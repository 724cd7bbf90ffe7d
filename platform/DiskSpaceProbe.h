#pragma once

#include "platform/HostEndpoint.h"
#include "platform/ShareCredential.h"

#include <QList>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

struct DiskSpace {
    // What the calling user may still write: less than the volume's free bytes under quotas
    // or with space reserved for the administrator.
    qint64 freeBytesAvailable = 0;
    qint64 totalBytes = 0;
};

// What one measurement found: the figures, or why there are none. The reason is for people
// (the command-line tool's standard error, tests): short, in lower case, one of the texts of
// ProbeFailure.h where one fits, and never holding a password.
struct ProbeOutcome {
    std::optional<DiskSpace> space;
    QString failure; // empty exactly when space holds figures

    static ProbeOutcome measured(DiskSpace space) { return {space, {}}; }
    static ProbeOutcome failed(QString reason) { return {std::nullopt, std::move(reason)}; }
};

// One prepared measurement, ready to run on any thread. It owns everything it needs, so it
// may outlive the probe that prepared it: a sweep abandons one that misses its time-out
// and never waits for it.
using Measurement = std::function<ProbeOutcome()>;

inline constexpr std::chrono::milliseconds DefaultProbeTimeout{10'000};

// Asks how large the volume behind an address is and how much of it is free. The engine
// holds one of these and never looks at the address itself, so probes for further kinds of
// address plug in without the engine changing.
//
// An address is data typed by the user: probes never hand it to a shell.
class DiskSpaceProbe {
public:
    virtual ~DiskSpaceProbe() = default;

    // The measurement of one address, ready to run and bounded by the time-out where the kind of
    // address allows it (a local call blocked in the kernel cannot be bounded; the sweep
    // abandons it instead). Called on the caller's thread; it may run on another, at the same
    // time as others this probe prepared, and after the probe is gone.
    //
    // It fails when the address cannot be parsed, reached or measured, access included. Figures
    // always have a positive total: a volume claiming 0 bytes is a failure too, because no
    // percentage or prediction can be made of it.
    virtual Measurement prepare(const QString& address, std::chrono::milliseconds timeout) = 0;

    // prepare() and run at once, on this thread.
    ProbeOutcome measure(const QString& address,
                         std::chrono::milliseconds timeout = DefaultProbeTimeout)
    {
        return prepare(address, timeout)();
    }

    // Whether the address's measurement answers at once unless something is wrong with the
    // place it asks (a local folder, against a share across the network): a sweep measures
    // such addresses one after another on one thread of its own, and gives threads of their
    // own only to the rest and to one that keeps it waiting.
    virtual bool answersAtOnce(const QString& address) const;

    // The server the address's measurement must reach first. A sweep checks that it answers
    // (HostCheck.h) before the measurement gets a thread or a worker of its own, so the
    // addresses of a host that is dead or unknown cost one cheap check together, however
    // many they are. Empty, the default, for addresses measured on this machine.
    virtual std::optional<HostEndpoint> hostToCheck(const QString& address) const;

    // The passwords of SMB servers, for the measurements prepared from now on. Probes that log on
    // to nothing ignore them.
    virtual void setShareCredentials(const QList<ShareCredential>& credentials);

protected:
    DiskSpaceProbe() = default;
    DiskSpaceProbe(const DiskSpaceProbe&) = delete;
    DiskSpaceProbe& operator=(const DiskSpaceProbe&) = delete;
};
