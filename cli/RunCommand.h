#pragma once

#include "platform/DiskSpaceProbe.h"

#include <QStringList>

#include <chrono>
#include <optional>

#include <cstdio>

class Clock;
class DiskSpaceProbe;

enum class RunKind { CheckSpace, Snapshot };

// [--timeout SECONDS] [FILE]; none when the words are off (a time-out must be a positive
// number of seconds, a day at most).
struct RunArguments {
    QString file;
    std::chrono::milliseconds timeout = DefaultProbeTimeout;
};
std::optional<RunArguments> parseRunArguments(const QStringList& arguments);

// vardometer-cli check|snapshot [--timeout SECONDS] [FILE]: one run without a window. Prints
// each alert line as the popup shows it, and why each unreachable system was not found on
// the error stream; exits 0 when the run raised no line, 1 when it raised lines and 2 when it
// failed (the message on the error stream; rows written before the failure stay).
int runEngineCommand(RunKind kind, const QStringList& arguments, FILE* out, FILE* err);

// The same with the clock and the probe supplied, for tests.
int runEngineCommand(RunKind kind, const QStringList& arguments, FILE* out, FILE* err,
                     const Clock& clock, DiskSpaceProbe& probe);
