#pragma once

#include <QStringList>

#include <cstdio>

// vardometer-cli export summary|history|systems [--system NAME] --output FILE [DATABASE]:
// the window's three workbooks for scripts. "history" covers the named system, or the
// first system of the table. Exits 0 when FILE was written and 2 otherwise (an existing
// FILE, an unknown system, a database that cannot be read); FILE is never replaced.
int runExportCommand(const QStringList& arguments, FILE* out, FILE* err);
