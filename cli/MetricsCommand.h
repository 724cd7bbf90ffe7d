#pragma once

#include <QStringList>

#include <cstdio>

// vardometer-cli metrics [--output FILE] [DATABASE]: every system's latest figures in
// Prometheus's text format, on the output stream or into FILE. FILE is replaced in one step
// (written beside it, then renamed over it), so a collector reading it never sees half a
// file. Exit 0; 2 with the reason on the error stream.
int runMetricsCommand(const QStringList& arguments, FILE* out, FILE* err);
