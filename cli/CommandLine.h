#pragma once

#include "data/DatabaseLocation.h"

#include <QString>
#include <QStringList>

// vardometer-cli's command line before a verb sees it: the options every verb shares
// (--user, --database FILE, --help, --version) are taken out here, anywhere on the line, and
// the chosen database is handed to the verb as its own FILE argument.
struct CommandLine {
    enum class Action { Run, ShowUsage, ShowVersion, ShowVerbUsage, Wrong };

    Action action = Action::Wrong;
    QString verb;
    QStringList verbArguments;
    DatabaseLocation::Kind database = DatabaseLocation::Kind::WorkingDirectory;
    // Why the line is wrong, or empty when the usage says enough.
    QString error;

    static CommandLine parse(QStringList arguments);
};
