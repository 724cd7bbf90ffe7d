#pragma once

#include <QStringList>

#include <cstdio>

// vardometer-cli forecast [--system NAME] [--json] [DATABASE]: the forecast of every system
// (or of one), one line each or as a JSON array. Exit 0; 2 with the reason on the error
// stream for wrong arguments, an unknown system or a database that cannot be read.
int runForecastCommand(const QStringList& arguments, FILE* out, FILE* err);
