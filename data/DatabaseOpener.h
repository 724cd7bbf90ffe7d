#pragma once

class DbConnection;

// How a program means to use the database it opens.
enum class DatabaseAccess {
    ReadWrite,
    // Nothing is written, so a file the user may only read (on a read-only mount, mode
    // 0400) serves as well as any other.
    ReadOnly,
};

// The one way every program and verb opens a database, so that each refuses the same files
// with the same messages and leaves them byte for byte as they were: the file must exist and
// be a database, of a schema no newer than this program's, holding the six tables the
// program reads. A file of an older schema is brought up to date first (in one transaction);
// one that only may be read cannot be, and is refused with a message that says so.
namespace DatabaseOpener {

// db has its file name set; throws DatabaseError, with db closed and the file untouched.
void open(DbConnection& db, DatabaseAccess access);

} // namespace DatabaseOpener
