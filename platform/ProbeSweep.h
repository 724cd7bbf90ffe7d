#pragma once

#include "platform/DiskSpaceProbe.h"

#include <QList>
#include <QStringList>

#include <chrono>
#include <functional>

struct SweepSettings {
    // For each probe, from its start; a probe that misses it counts as failed ("timed out").
    std::chrono::milliseconds timeout{DefaultProbeTimeout};
    // Probes busy at once. One still running after stalledAfter is taken to wait on a slow
    // or dead peer and stops counting, so dead hosts cannot hold the queue up for a whole
    // time-out each: when the processors have time to spare, or when no probe at all has
    // answered for stalledAfter. While the processors are busy and answers keep coming,
    // slow probes are more likely starved than waiting, and more at once would only make
    // each slower (and miss time-outs they would otherwise keep), so then every running
    // probe counts. In flight at once are never more than 4 × concurrency.
    int concurrency = 32;
    std::chrono::milliseconds stalledAfter{250};
    // How long an address that answers at once (DiskSpaceProbe::answersAtOnce) may keep the
    // others measured one after another waiting; then it and they go on threads of their own.
    std::chrono::milliseconds promptWithin{50};
    // Whether the processors have time to spare, asked about every 100 ms; empty: at least
    // a quarter of the machine's processor time was idle since the last time.
    std::function<bool()> cpuHasSpareCapacity;
    // Called on the caller's thread about every 20 ms while the sweep waits, to keep a
    // window painting. It may throw; the sweep then ends at once, its probes abandoned.
    std::function<void()> whileWaiting;
    // Called just before whileWaiting with how many of the distinct addresses have their
    // outcome so far, and how many there are.
    std::function<void(int answered, int total)> progress;
};

// Measures every address at once and gives the outcomes in the addresses' order; an
// address given twice is measured once. Returns when every probe has answered or missed
// its time-out, so a sweep lasts about as long as its slowest probe (after its server's
// check, for a remote address).
//
// The servers that remote addresses name (DiskSpaceProbe::hostToCheck) are checked first,
// all at once on one thread of the sweep's (HostCheck.h), within the time-out counted from
// the sweep's start; only the addresses of servers that answered go on to be measured. So
// however many hosts are dead or unknown, they cost the sweep one time-out together, and
// the probes busy at once, and their threads and worker processes, go to servers that are
// there. A server that cannot be reached fails all its addresses with the same reason.
//
// Probes run on threads of their own that are never waited for: a call blocked in the
// kernel (statvfs on a dead network mount) is abandoned at the time-out and left to return
// whenever it does, holding only what its measurement owns. Until it has returned, no sweep in
// this process starts another probe of the same address; such an address fails at once
// ("an earlier probe of this address has not returned").
QList<ProbeOutcome> sweepAddresses(DiskSpaceProbe& probe, const QStringList& addresses,
                                   const SweepSettings& settings = {});

// Whether a probe some sweep gave up on may still be running: true for the rest of the
// process once one was. Such a probe may still be using libraries (a TLS library in an SSH
// session) that the process's normal exit tears down under it: a program that ends then
// must end without running its exit handlers.
bool probesStillRunning();
