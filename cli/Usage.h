#pragma once

#include <QString>

#include <cstdio>

// One synopsis for every verb: --help prints all of it, VERB --help and a wrong command line
// print the verb's own lines, and the manual page shows the same words.
namespace Usage {

// Every line, starting with "usage: ".
QString all();

// The verb's lines, or empty for a word that is no verb.
QString ofVerb(const QString& verb);

// The verb's usage (all of it for an unknown verb) on err; returns 2, the status of a wrong
// command line.
int wrongCommandLine(FILE* err, const QString& verb = {});

} // namespace Usage
