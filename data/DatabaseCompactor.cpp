#include "data/DatabaseCompactor.h"

#include "data/DbConnection.h"
#include "data/Errors.h"

#include <QFileInfo>
#include <QSqlQuery>

using namespace Qt::Literals::StringLiterals;

namespace DatabaseCompactor {
namespace {

qint64 bytesOnDisk(const QString& fileName)
{
    return QFileInfo(fileName).size() + QFileInfo(fileName + u"-wal"_s).size();
}

// SQLite's words for the failures a user can do something about, said plainly.
QString plainReason(const QString& message)
{
    if (message.contains(u"locked"_s) || message.contains(u"busy"_s))
        return u"another program is writing to the database; try again when it has finished"_s;
    if (message.contains(u"disk is full"_s) || message.contains(u"database or disk is full"_s))
        return u"the disk holding the database is full; compacting needs free space about as "
               u"large as the database"_s;
    if (message.contains(u"readonly"_s) || message.contains(u"read-only"_s) ||
        message.contains(u"cannot be written"_s))
        return u"the database or its folder cannot be written"_s;
    return message;
}

} // namespace

Sizes compact(const QString& fileName, int busyTimeoutMs)
{
    Sizes sizes;
    sizes.before = bytesOnDisk(fileName);
    try {
        DbConnection db(u"Compaction"_s);
        db.setFileName(fileName);
        db.setBusyTimeoutMs(busyTimeoutMs);
        db.open();
        db.exec(u"VACUUM"_s).finish();
        // The rewritten pages sit in the write-ahead log until a checkpoint; this one also
        // gives the freed space back to the disk. With a reader still on the old pages it
        // does what it can and the rest follows when that reader is done: it waits a moment
        // for readers, not the long wait for writers, which would hold up every other run.
        db.exec(u"PRAGMA busy_timeout = 1000"_s).finish();
        db.exec(u"PRAGMA wal_checkpoint(TRUNCATE)"_s).finish();
        db.close();
    } catch (const DatabaseError& e) {
        throw DatabaseError(plainReason(e.message()));
    }
    sizes.after = bytesOnDisk(fileName);
    return sizes;
}

} // namespace DatabaseCompactor
