#pragma once

#include <QString>

// Putting a finished file under its final name in a folder others may write to (a shared
// folder, /tmp): the step must never follow a symbolic link someone left under that name
// and never replace whatever entry is there, or someone else chooses where our file lands.
namespace NewFile {

enum class Outcome {
    Placed,    // the file now has the name; the old name is gone
    NameTaken, // an entry of that name exists (a link of any kind included); nothing changed
    Failed,    // see reason; nothing changed
};

struct Placement {
    Outcome outcome = Outcome::Failed;
    QString reason; // the system's words, for Failed
};

// Renames from to to within one file system without replacing anything at to. Where the
// file system cannot rename that way it makes a hard link instead, and where it has no links
// it copies into a name it creates exclusively, never through a link.
Placement placeWithoutReplacing(const QString& from, const QString& to);

} // namespace NewFile
