#include "data/DatabaseOpener.h"

#include "data/DbConnection.h"
#include "data/Errors.h"
#include "data/Schema.h"
#include "data/SchemaVersion.h"

#include <QSqlQuery>

using namespace Qt::Literals::StringLiterals;

namespace DatabaseOpener {
namespace {

// A file without one of the program's tables (an empty file, another program's database)
// is not ours: refused before anything reads or writes it.
void requireOwnTables(DbConnection& db, int version)
{
    QList<TableDef> tables = Schema::requiredTables();
    // Brought by the first upgrade, so a file that says it had it must hold it.
    if (version >= 1)
        tables << Schema::credentials();
    for (const TableDef& table : std::as_const(tables)) {
        QSqlQuery found = db.exec(u"SELECT 1 FROM sqlite_master WHERE type IN ('table', 'view') "
                                  u"AND name = ? COLLATE NOCASE"_s,
                                  {table.name});
        const bool exists = found.next();
        found.finish();
        if (!exists)
            throw DatabaseError(
                u"Cannot open the database %1: it is not a Vardometer database (Table '%2' "
                u"not found)"_s.arg(db.fileName(), table.name));
    }
}

// A reader cannot bring an older file up to date itself; a writer beside it can, when the
// file may be written at all.
void upgradeForReading(DbConnection& reader)
{
    if (!DbConnection::canBeWritten(reader.fileName()))
        throw DatabaseError(
            u"Cannot open the database %1: it was written by an older version "
            u"of Vardometer (schema %2) and must be opened once by a program "
            u"that may write it, which brings it up to date"_s.arg(reader.fileName())
                .arg(SchemaVersion::of(reader)));
    DbConnection writer(u"Upgrade"_s);
    writer.setFileName(reader.fileName());
    writer.open();
    SchemaVersion::upgrade(writer);
    writer.close();
}

} // namespace

void open(DbConnection& db, DatabaseAccess access)
{
    db.setReadOnly(access == DatabaseAccess::ReadOnly);
    db.open();
    try {
        SchemaVersion::refuseNewer(db);
        const int version = SchemaVersion::of(db);
        requireOwnTables(db, version);
        if (version < SchemaVersion::Current) {
            if (access == DatabaseAccess::ReadWrite) {
                SchemaVersion::upgrade(db);
            } else {
                upgradeForReading(db);
                // What the reader saw of the schema is from before the upgrade.
                db.close();
                db.open();
            }
        }
    } catch (...) {
        db.closeLeavingFileAsItIs();
        throw;
    }
}

} // namespace DatabaseOpener
