#include "data/DatabaseCreator.h"

#include "data/DateTimeValue.h"
#include "data/DbConnection.h"
#include "data/Errors.h"
#include "data/Schema.h"
#include "data/SchemaVersion.h"

#include <QFile>
#include <QSqlQuery>
#include <QVariantMap>

using namespace Qt::Literals::StringLiterals;

namespace DatabaseCreator {
namespace {

QVariantMap startingOptions()
{
    return {
        {u"Key"_s, 1},
        {u"CompanyName"_s, u"Company Name"_s},
        {u"DefaultAlertList"_s, QString()},
        {u"DefaultAlertMB"_s, 500},
        {u"EMailFrom"_s, QString()},
        {u"EMailSubject"_s, QString()},
        {u"TimerToLoadEnabled"_s, false},
        {u"TimeToLoadFreeSpace"_s, DateTimeValue::fromTime(QTime(2, 0))},
        {u"TimerForCheckEnabled"_s, false},
        {u"TimeIntervalForCheck"_s, 60},
        {u"TimerToLoadFilesEnabled"_s, false},
        {u"TimeToLoadFiles"_s, 0.0},
        {u"EMailToUsersHeader"_s, QString()},
        {u"EMailToUsersFooter"_s, QString()},
        {u"EMailToUsersMBLimit"_s, 0},
        {u"DefaultAlertPC"_s, 0},
        {u"PopupAlerts"_s, false},
        {u"NovellPurgeAsFree"_s, false},
        {u"EMailAlerts"_s, false},
        {u"EMailHost"_s, QString()},
        {u"EMailUsername"_s, QString()},
        {u"EMailPassword"_s, QString()},
        {u"EMailAuth"_s, false},
        {u"ServiceInUse"_s, false},
    };
}

// Empty strings are stored as text, not as Null: every option must be readable.
QVariant storable(const QVariant& v)
{
    if (v.typeId() == QMetaType::QString && v.toString().isNull())
        return QString(u""_s);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? 1 : 0;
    return v;
}

void writeSchema(DbConnection& db, const QList<NewSystem>& systems)
{
    db.exec(u"PRAGMA journal_mode = WAL"_s).finish();
    db.beginTransaction();
    for (const TableDef& table : Schema::requiredTables())
        db.exec(Schema::createTableSql(table));
    for (const QString& index : Schema::createIndexSql())
        db.exec(index);
    SchemaVersion::writeCurrent(db);

    const QVariantMap options = startingOptions();
    QStringList columns;
    QStringList marks;
    QVariantList values;
    for (const FieldDef& f : Schema::options().columns) {
        columns << Schema::quoted(f.name);
        marks << u"?"_s;
        values << storable(options.value(f.name));
    }
    db.exec(
        u"INSERT INTO Options (%1) VALUES (%2)"_s.arg(columns.join(u", "_s), marks.join(u", "_s)),
        values);

    for (const NewSystem& s : systems)
        db.exec(u"INSERT INTO Systems (System, Address, Owner, Alert1MB, \"LastFree%\", "
                u"\"LastUsed%\", LastFreeMB, LastUsedMB, LastTotalMB) "
                u"VALUES (?, ?, ?, ?, 0, 0, 0, 0, 0)"_s,
                {s.name, s.address, s.owner.isEmpty() ? QVariant() : QVariant(s.owner),
                 options.value(u"DefaultAlertMB"_s)});
    db.commit();
}

} // namespace

void create(const QString& fileName, const QList<NewSystem>& systems)
{
    QFile file(fileName);
    // NewOnly makes "refuse to overwrite" atomic: no window in which another file appears.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        if (QFile::exists(fileName))
            throw DatabaseError(u"%1 already exists; it was left untouched"_s.arg(fileName));
        throw DatabaseError(u"Cannot create %1: %2"_s.arg(fileName, file.errorString()));
    }
    file.close();

    try {
        DbConnection db(u"DatabaseCreator"_s);
        db.setFileName(fileName);
        db.open();
        writeSchema(db, systems);
        db.close();
    } catch (...) {
        QFile::remove(fileName);
        QFile::remove(fileName + u"-wal"_s);
        QFile::remove(fileName + u"-shm"_s);
        throw;
    }
}

} // namespace DatabaseCreator
