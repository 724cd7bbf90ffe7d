#pragma once

#include <QStringList>

#include <cstdio>

class Clock;
class DiskSpaceProbe;

enum class RunKind { CheckSpace, Snapshot };

// vardometer-cli check|snapshot [FILE]: one run without a window. Prints each alert line as
// the popup shows it and exits 0 when the run raised no line, 1 when it raised lines and 2
// when it failed (the message on the error stream; rows written before the failure stay).
int runEngineCommand(RunKind kind, const QStringList& arguments, FILE* out, FILE* err);

// The same with the clock and the probe supplied, for tests.
int runEngineCommand(RunKind kind, const QStringList& arguments, FILE* out, FILE* err,
                     const Clock& clock, DiskSpaceProbe& probe);
