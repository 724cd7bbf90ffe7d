#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Where a program finds its database: Vardometer.db in the working directory unless the
// command line names a file (--database FILE) or asks for the user's own (--user), the one
// file the window started from the desktop menu and the user's timers share.
namespace DatabaseLocation {

enum class Kind { WorkingDirectory, Named, PerUser };

struct Choice {
    Kind kind = Kind::WorkingDirectory;
    QString file;
};

// Takes every --user, --database FILE and --database=FILE out of arguments, keeping the rest
// in their order (also when the line is wrong). The word after an option listed in
// optionsWithValue is that option's value, never one of these, so a system may be called
// "--user". Fails, setting *error, when both are given, one of them twice, or --database has
// no file.
std::optional<Choice> takeFrom(QStringList& arguments, const QStringList& optionsWithValue,
                               QString* error);

// $XDG_DATA_HOME/vardometer/Vardometer.db; ~/.local/share stands in for XDG_DATA_HOME when it
// is unset, empty or not an absolute path.
QString perUserFile();

// Makes the per-user folder when it is missing (with its parents) and keeps it and the
// database in it to their owner alone (0700 and 0600), since the file holds an SMTP password.
// Throws VardometerError when the folder cannot be made.
void preparePerUserFolder();

// The file a choice names: its own file, the per-user file, or Vardometer.db.
QString fileOf(const Choice& choice);

} // namespace DatabaseLocation
