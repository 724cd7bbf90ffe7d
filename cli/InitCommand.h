#pragma once

#include <QStringList>

#include <cstdio>

// vardometer-cli init [--demo] [FILE]: exit 0 when the file was created, 2 otherwise.
int runInitCommand(const QStringList& arguments, FILE* out, FILE* err);
