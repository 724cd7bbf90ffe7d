#pragma once

#include <QStringList>

#include <cstdio>

// vardometer-cli compact [DATABASE]: rewrites the database compactly in place and prints its
// size before and after. Exit 0 when done, 2 with the reason on the error stream otherwise
// (the file is then as it was).
int runCompactCommand(const QStringList& arguments, FILE* out, FILE* err);
