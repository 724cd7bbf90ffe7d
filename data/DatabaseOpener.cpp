#include "data/DatabaseOpener.h"

#include "data/DbConnection.h"
#include "data/Errors.h"
#include "data/Schema.h"
#include "data/SchemaVersion.h"

#include <QSet>
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
    // One reading of the schema's names: every run opens the file, so this is kept short.
    QSet<QString> present;
    QSqlQuery names = db.exec(u"SELECT name FROM sqlite_master WHERE type IN ('table', 'view')"_s);
    while (names.next())
        present.insert(names.value(0).toString().toCaseFolded());
    names.finish();
    for (const TableDef& table : std::as_const(tables)) {
        if (!present.contains(table.name.toCaseFolded()))
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
