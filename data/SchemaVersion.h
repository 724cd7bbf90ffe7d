#pragma once

class DbConnection;

// The schema's version, kept in the file (SQLite's user_version). A file written by an
// older program is brought up to date when it is opened: every step in one transaction, and
// none of them changes a column of the six original tables. A file written by a newer
// program is refused before anything in it is touched.
namespace SchemaVersion {

// 0: the six original tables only. 1: the Credentials table.
inline constexpr int Current = 1;

int of(DbConnection& db);

// Whether a file of that version was written by a program newer than this one.
bool isNewer(int version);

// Throws DatabaseError when the file is newer than this program; changes nothing.
void refuseNewer(DbConnection& db);

// Applies the steps the file lacks. Throws DatabaseError, with the file unchanged, for a
// file newer than this program or a step that fails.
void upgrade(DbConnection& db);

// For a new file: the tables added since the original ones, and the version stamp.
void writeCurrent(DbConnection& db);

} // namespace SchemaVersion
