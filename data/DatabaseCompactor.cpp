#include "data/DatabaseCompactor.h"

#include "data/DatabaseOpener.h"
#include "data/DbConnection.h"
#include "data/Errors.h"

#include <QFileInfo>
#include <QSqlQuery>
#include <QStorageInfo>

using namespace Qt::Literals::StringLiterals;

namespace DatabaseCompactor {
namespace {

qint64 bytesOnDisk(const QString& fileName)
{
    return QFileInfo(fileName).size() + QFileInfo(fileName + u"-wal"_s).size();
}

// Opening a database in write-ahead mode creates its log and its shared index (32 KiB)
// beside it; below this much free room they cannot even be made, and would be left behind
// half made.
constexpr qint64 LeastRoomToOpen = 256 * 1024;

bool diskIsFull(const QString& fileName)
{
    const QStorageInfo storage(QFileInfo(fileName).absolutePath());
    return storage.isValid() && storage.bytesAvailable() < LeastRoomToOpen;
}

const QString DiskFull = u"the disk holding the database is full; compacting needs free space "
                         u"about as large as the database"_s;

// SQLite's words for the failures a user can do something about, said plainly.
QString plainReason(const QString& message, const QString& fileName)
{
    if (message.contains(u"locked"_s) || message.contains(u"busy"_s))
        return u"another program is writing to the database; try again when it has finished"_s;
    if (message.contains(u"disk is full"_s) || message.contains(u"database or disk is full"_s))
        return DiskFull;
    // A write that fails for want of room can also come back as a plain I/O error.
    if (message.contains(u"disk I/O error"_s) && diskIsFull(fileName))
        return DiskFull;
    if (message.contains(u"readonly"_s) || message.contains(u"read-only"_s) ||
        message.contains(u"cannot be written"_s))
        return u"the database or its folder cannot be written"_s;
    return message;
}

struct Checkpoint {
    bool complete = false; // every page of the log is in the file, and the log is empty
};

// Moves what the write-ahead log holds into the file and empties the log. A reader still on
// older pages keeps them in the log; this waits a moment for readers, not the long wait for
// writers, which would hold up every other run.
Checkpoint checkpoint(DbConnection& db)
{
    db.exec(u"PRAGMA busy_timeout = 1000"_s).finish();
    QSqlQuery q = db.exec(u"PRAGMA wal_checkpoint(TRUNCATE)"_s);
    Checkpoint result;
    // busy, pages in the log, pages moved into the file (-1 when not in write-ahead mode).
    if (q.next())
        result.complete = q.value(0).toInt() == 0 && q.value(1).toInt() == q.value(2).toInt();
    q.finish();
    return result;
}

qint64 pragmaNumber(DbConnection& db, const QString& pragma)
{
    QSqlQuery q = db.exec(u"PRAGMA "_s + pragma);
    const qint64 value = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    return value;
}

QString megabytes(qint64 bytes)
{
    return u"%1 MB"_s.arg(static_cast<double>(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

} // namespace

Sizes compact(const QString& fileName, int busyTimeoutMs)
{
    Sizes sizes;
    sizes.before = bytesOnDisk(fileName);
    if (diskIsFull(fileName))
        throw DatabaseError(DiskFull);
    try {
        DbConnection db(u"Compaction"_s);
        db.setFileName(fileName);
        db.setBusyTimeoutMs(busyTimeoutMs);
        DatabaseOpener::open(db, DatabaseAccess::ReadWrite);
        db.exec(u"VACUUM"_s).finish();
        // The rewritten pages sit in the write-ahead log until a checkpoint; this one also
        // gives the freed space back to the disk, and empties a log that compactions ended
        // halfway (a crash, a kill) left large.
        sizes.waitingForReader =
            !checkpoint(db).complete && QFileInfo(fileName + u"-wal"_s).size() > 0;
        sizes.settled = pragmaNumber(db, u"page_count"_s) * pragmaNumber(db, u"page_size"_s);
        db.close();
    } catch (const DatabaseError& e) {
        throw DatabaseError(plainReason(e.message(), fileName));
    }
    sizes.after = bytesOnDisk(fileName);
    return sizes;
}

QString sizeLine(const QString& fileName, const Sizes& sizes)
{
    if (sizes.waitingForReader)
        return u"%1: %2 before, %3 now; %4 once the other program lets go"_s.arg(
            fileName, megabytes(sizes.before), megabytes(sizes.after), megabytes(sizes.settled));
    return u"%1: %2 before, %3 after"_s.arg(fileName, megabytes(sizes.before),
                                            megabytes(sizes.after));
}

} // namespace DatabaseCompactor
