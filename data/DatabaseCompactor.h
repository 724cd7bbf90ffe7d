#pragma once

#include <QString>

// Rewrites a database file compactly in place, with SQLite's own VACUUM: one atomic
// transaction in the same file, so a crash or a full disk at any moment leaves the old
// contents whole, and a program that has the file open (a scheduled vardometer-cli run, a
// second window) goes on working with the same file rather than with one that was replaced.
namespace DatabaseCompactor {

struct Sizes {
    qint64 before = 0; // bytes of the file and its write-ahead log before
    qint64 after = 0;  // ... and after
    // While another program reads an older view of the file, the compacted pages wait in
    // the write-ahead log beside it: the file shrinks to `settled` bytes once it lets go.
    bool waitingForReader = false;
    qint64 settled = 0;
};

// Throws DatabaseError with a message that says what went wrong (another program writing,
// a full disk, a file that cannot be written or is not a database of ours); the file is then
// as it was. busyTimeoutMs is how long it waits for another program's write to end.
Sizes compact(const QString& fileName, int busyTimeoutMs);

// "Vardometer.db: 29.5 MB before, 27.1 MB after", or, while a reader holds the old pages,
// "Vardometer.db: 29.5 MB before, 56.2 MB now; 27.1 MB once the other program lets go".
QString sizeLine(const QString& fileName, const Sizes& sizes);

} // namespace DatabaseCompactor
