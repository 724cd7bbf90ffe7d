#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

// Text from the database as it goes to a terminal or a log: a system name holding a line
// break must not be able to print a line of its own, so every control character (and the
// Unicode line and paragraph separators) is written as a visible escape: \n, \r, \t, or
// \xHH / \uHHHH. Everything else, backslashes included, is left as it is.
QString withVisibleControlCharacters(const QString& text);

// One line of a verb's output or of its errors, with control characters made visible: every
// line a verb prints goes through here, so no name from a database reaches the terminal raw.
void printLine(FILE* stream, const QString& text);

// Writes and flushes of a verb's output, keeping the reason of the first that failed.
void writeOutput(FILE* stream, const QByteArray& bytes);
void flushOutput(FILE* stream);

// Flushes and closes the output stream at the end of a verb: a write that failed (a full
// disk behind a redirection) must fail the verb, not pass as done. Returns the exit status,
// status itself unless the output was lost, then statusWhenLost with the reason on err.
int finishOutput(FILE* out, FILE* err, int status, int statusWhenLost = 2);
