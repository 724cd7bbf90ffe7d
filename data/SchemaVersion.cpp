#include "data/SchemaVersion.h"

#include "data/DbConnection.h"
#include "data/Errors.h"
#include "data/Schema.h"

#include <QSqlQuery>

using namespace Qt::Literals::StringLiterals;

namespace SchemaVersion {
namespace {

void addCredentials(DbConnection& db)
{
    // A table of that name made by hand is kept when it has the columns the program uses;
    // anything else of that name stops the upgrade, which then changes nothing.
    QString sql = Schema::createTableSql(Schema::credentials());
    sql.replace(u"CREATE TABLE "_s, u"CREATE TABLE IF NOT EXISTS "_s);
    db.exec(sql).finish();
    QSqlQuery info = db.exec(u"PRAGMA table_info(Credentials)"_s);
    QStringList columns;
    while (info.next())
        columns << info.value(1).toString().toLower();
    info.finish();
    for (const FieldDef& f : Schema::credentials().columns)
        if (!columns.contains(f.name.toLower()))
            throw DatabaseError(u"Cannot bring the database %1 up to date: its Credentials "
                                u"has no column %2"_s.arg(db.fileName(), f.name));
}

// Step n brings a file from version n - 1 to version n.
void applyStep(DbConnection& db, int step)
{
    switch (step) {
    case 1:
        addCredentials(db);
        break;
    }
}

void stamp(DbConnection& db, int version)
{
    // A pragma takes no bound values; the number is the program's own.
    db.exec(u"PRAGMA user_version = %1"_s.arg(version)).finish();
}

[[noreturn]] void refuseNewer(const DbConnection& db, int version)
{
    throw DatabaseError(u"Cannot open the database %1: it was written by a newer version of "
                        u"Vardometer (schema %2; this one knows schema %3 and older). The file "
                        u"was left as it is."_s.arg(db.fileName())
                            .arg(version)
                            .arg(Current));
}

} // namespace

bool isNewer(int version)
{
    // The stamp is stored signed; a negative one, read as the unsigned number it also is,
    // lies above every version a program has written.
    return version > Current || version < 0;
}

int of(DbConnection& db)
{
    QSqlQuery q = db.exec(u"PRAGMA user_version"_s);
    const int version = q.next() ? q.value(0).toInt() : 0;
    q.finish();
    return version;
}

void refuseNewer(DbConnection& db)
{
    const int found = of(db);
    if (isNewer(found))
        refuseNewer(db, found);
}

void upgrade(DbConnection& db)
{
    const int found = of(db);
    if (isNewer(found))
        refuseNewer(db, found);
    if (found == Current)
        return;
    // Asked again once this program is the file's writer: another one may have upgraded it
    // in the meantime.
    db.beginTransaction();
    try {
        const int version = of(db);
        if (isNewer(version))
            refuseNewer(db, version);
        for (int step = version + 1; step <= Current; ++step)
            applyStep(db, step);
        stamp(db, Current);
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
}

void writeCurrent(DbConnection& db)
{
    for (int step = 1; step <= Current; ++step)
        applyStep(db, step);
    stamp(db, Current);
}

} // namespace SchemaVersion
