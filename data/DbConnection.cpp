#include "data/DbConnection.h"

#include "data/Errors.h"
#include "data/SqliteValues.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>

#include <sqlite3.h>

#include <atomic>

using namespace Qt::Literals::StringLiterals;

namespace {

QString uniqueConnectionName(const QString& name)
{
    static std::atomic<int> counter{0};
    return u"%1#%2"_s.arg(name).arg(++counter);
}

sqlite3* sqliteHandle(const QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

// How a file this process may not write is opened. In write-ahead mode SQLite reads
// through a log and an index beside the file, and cannot make them in a folder nobody may
// write (a read-only mount): there, with neither of them present, no program has the file
// open for writing, since a writer makes both first, so it is read as the file it is.
QString readOnlyMode(const QFileInfo& file)
{
    const QString path = file.absoluteFilePath();
    const bool sideFiles =
        QFileInfo::exists(path + u"-wal"_s) || QFileInfo::exists(path + u"-shm"_s);
    if (!sideFiles && !QFileInfo(file.absolutePath()).isWritable())
        return u"?mode=ro&immutable=1"_s;
    return u"?mode=ro"_s;
}

} // namespace

DbConnection::DbConnection(const QString& name, QObject* parent)
    : QObject(parent)
    , m_connectionName(uniqueConnectionName(name))
{
    setObjectName(name);
}

DbConnection::~DbConnection()
{
    close();
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool DbConnection::isConnected() const
{
    return m_handle != nullptr;
}

QSqlDatabase DbConnection::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

void DbConnection::open()
{
    if (isConnected())
        return;
    const QFileInfo info(m_fileName);
    const QString shown = m_fileName;
    if (!info.exists())
        throw DatabaseError(u"Cannot open the database %1: the file does not exist"_s.arg(shown));
    if (!info.isFile())
        throw DatabaseError(u"Cannot open the database %1: it is not a file"_s.arg(shown));
    // Checked first: SQLite would otherwise fail on a read-only file system with only
    // "unable to open database file", which does not tell the user what is wrong.
    if (!m_readOnly && !info.isWritable())
        throw DatabaseError(
            u"Cannot open the database %1: the file cannot be written"_s.arg(shown));
    // A reader of a file it may write opens it for writing all the same, with writes
    // forbidden below: only a connection that may write removes the side files on closing.
    const bool sqliteReadOnly = m_readOnly && !canBeWritten(m_fileName);

    m_logExistedAtOpen = QFileInfo::exists(m_fileName + u"-wal"_s);
    QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
                          ? QSqlDatabase::database(m_connectionName, false)
                          : QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connectionName);
    // mode=rw: read and write, but never create a new, empty file.
    db.setDatabaseName(QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded) +
                       (sqliteReadOnly ? readOnlyMode(info) : u"?mode=rw"_s));
    db.setConnectOptions(u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1"_s.arg(m_openBusyTimeoutMs) +
                         (sqliteReadOnly ? u";QSQLITE_OPEN_READONLY"_s : QString()));
    if (!db.open())
        throw DatabaseError(
            u"Cannot open the database %1: %2"_s.arg(shown, db.lastError().databaseText()));

    auto fail = [&](const QString& reason) {
        db.close();
        throw DatabaseError(u"Cannot open the database %1: %2"_s.arg(shown, reason));
    };
    // SQLite reads the file lazily; make it prove now that it is a database we can use.
    QSqlQuery probe(db);
    if (!probe.exec(u"SELECT count(*) FROM sqlite_master"_s))
        fail(probe.lastError().databaseText().contains(u"database is locked"_s)
                 ? u"the file is locked by another process"_s
                 : probe.lastError().databaseText());
    probe.finish();
    // A walk of the history in system order reads one table page per snapshot, so the
    // pages of a system's ten years must stay cached to be reused by the next system.
    probe.exec(u"PRAGMA cache_size = -16384"_s);
    probe.finish();
    if (m_readOnly) {
        probe.exec(u"PRAGMA query_only = 1"_s);
        probe.finish();
    }
    if (m_memoryMapBytes > 0) {
        probe.exec(u"PRAGMA mmap_size = %1"_s.arg(m_memoryMapBytes));
        probe.finish();
    }
    sqlite3* handle = sqliteHandle(db);
    if (!m_readOnly && handle && sqlite3_db_readonly(handle, "main") == 1)
        fail(u"the file cannot be written"_s);
    if (!handle)
        fail(u"the database driver gave no connection"_s);
    sqlite3_busy_timeout(handle, m_busyTimeoutMs);
    m_appliedBusyTimeoutMs = m_busyTimeoutMs;
    m_handle = handle;
    m_transactionDepth = 0;
    Q_EMIT connectedChanged(true);
}

bool DbConnection::canBeWritten(const QString& fileName)
{
    const QFileInfo info(fileName);
    return info.isWritable() && QFileInfo(info.absolutePath()).isWritable();
}

void DbConnection::closeLeavingFileAsItIs()
{
    // A log this connection made holds nothing, and closing removes it as usual; one that
    // was there before may hold another program's rows, which must stay where they are.
    if (m_handle && m_logExistedAtOpen)
        sqlite3_db_config(m_handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    close();
}

void DbConnection::close()
{
    // Whatever state Qt's side is in, the handle kept here is not to be used again.
    if (m_handle && !(QSqlDatabase::contains(m_connectionName) &&
                      QSqlDatabase::database(m_connectionName, false).isOpen())) {
        finalizeWriteStatements();
        m_handle = nullptr;
    }
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen())
        return;
    if (m_transactionDepth > 0)
        db.rollback();
    m_transactionDepth = 0;
    finalizeWriteStatements();
    m_handle = nullptr;
    db.close();
    Q_EMIT connectedChanged(false);
}

qint64 DbConnection::dataVersion() const
{
    sqlite3* db = m_handle;
    if (!db)
        raise(m_fileName,
              QSqlError(QString(), u"the database is not connected"_s, QSqlError::ConnectionError));
    // Asked every second or so by an idle window: waiting out another program's lock here
    // would freeze it for as long, while the next reading comes soon enough anyway.
    sqlite3_busy_timeout(db, 0);
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA data_version", -1, &statement, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(statement);
    const qint64 version = rc == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : 0;
    const QSqlError error = rc == SQLITE_ROW
                                ? QSqlError()
                                : QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(db)),
                                            QSqlError::StatementError, QString::number(rc));
    sqlite3_finalize(statement);
    sqlite3_busy_timeout(db, m_appliedBusyTimeoutMs);
    if (error.isValid())
        raise(m_fileName, error);
    return version;
}

void DbConnection::beginTransaction()
{
    if (m_transactionDepth++ > 0)
        return;
    QSqlQuery begin(database());
    if (!begin.exec(u"BEGIN IMMEDIATE"_s)) {
        m_transactionDepth = 0;
        raise(u"Cannot start a transaction"_s, begin.lastError());
    }
}

DbConnection::ReadSnapshot::ReadSnapshot(DbConnection& db)
    : m_db(db)
{
    if (db.inTransaction())
        return;
    QSqlQuery begin(db.database());
    if (!begin.exec(u"BEGIN DEFERRED"_s))
        db.raise(u"Cannot start reading"_s, begin.lastError());
    m_open = true;
}

DbConnection::ReadSnapshot::~ReadSnapshot()
{
    // Nothing was written, so ending the read cannot lose anything; a failure to end it
    // (the connection already gone) leaves nothing to undo either.
    if (m_open && m_db.isConnected())
        QSqlQuery(m_db.database()).exec(u"COMMIT"_s);
}

void DbConnection::commit()
{
    if (m_transactionDepth == 0 || --m_transactionDepth > 0)
        return;
    QSqlQuery end(database());
    if (!end.exec(u"COMMIT"_s)) {
        const QSqlError error = end.lastError();
        end.finish();
        QSqlQuery(database()).exec(u"ROLLBACK"_s);
        raise(u"Cannot save the changes"_s, error);
    }
}

void DbConnection::rollback()
{
    if (m_transactionDepth == 0)
        return;
    m_transactionDepth = 0;
    QSqlQuery(database()).exec(u"ROLLBACK"_s);
}

// Kept prepared, like the writes, with their texts made once: a run sets one per system.
const DbConnection::SavepointSql& DbConnection::savepointSql(const QString& name)
{
    auto found = m_savepointSql.find(name);
    if (found == m_savepointSql.end())
        found = m_savepointSql.insert(name, SavepointSql{u"SAVEPOINT "_s + name,
                                                         u"RELEASE SAVEPOINT "_s + name,
                                                         u"ROLLBACK TO SAVEPOINT "_s + name});
    return *found;
}

void DbConnection::savepoint(const QString& name)
{
    write(savepointSql(name).begin, {});
}

void DbConnection::releaseSavepoint(const QString& name)
{
    write(savepointSql(name).release, {});
}

void DbConnection::rollbackToSavepoint(const QString& name)
{
    // Rolling back to a savepoint keeps it open; releasing it then ends it with nothing in it.
    const SavepointSql& sql = savepointSql(name);
    write(sql.rollback, {});
    write(sql.release, {});
}

QSqlQuery DbConnection::exec(const QString& sql, const QVariantList& values) const
{
    QSqlQuery query(database());
    if (!query.prepare(sql))
        raise(m_fileName, query.lastError());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        raise(m_fileName, query.lastError());
    return query;
}

void DbConnection::finalizeWriteStatements()
{
    for (PreparedStatements* statements : {&m_writeStatements, &m_readStatements}) {
        for (sqlite3_stmt* statement : std::as_const(statements->byText))
            sqlite3_finalize(statement);
        statements->byText.clear();
        statements->byStorage.clear();
    }
}

sqlite3_stmt* DbConnection::prepared(PreparedStatements& statements, const QString& sql,
                                     const QString& context) const
{
    sqlite3* db = m_handle;
    if (!db)
        raise(m_fileName,
              QSqlError(QString(), u"the database is not connected"_s, QSqlError::ConnectionError));
    const auto known = statements.byStorage.constFind(sql.constData());
    if (known != statements.byStorage.constEnd() && known->sql.size() == sql.size())
        return known->statement;
    auto found = statements.byText.constFind(sql);
    if (found == statements.byText.constEnd()) {
        const QByteArray text = sql.toUtf8();
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &statement,
                               nullptr) != SQLITE_OK)
            raise(context.isEmpty() ? m_fileName : context,
                  QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(db)),
                            QSqlError::StatementError,
                            QString::number(sqlite3_extended_errcode(db))));
        found = statements.byText.insert(sql, statement);
    }
    // Texts made afresh for each call would each hold their storage here: a few dozen are
    // plenty for the strings callers keep.
    if (statements.byStorage.size() >= 64)
        statements.byStorage.clear();
    statements.byStorage.insert(sql.constData(), {sql, *found});
    return *found;
}

bool DbConnection::Row::isNumber(int column) const
{
    const int type = sqlite3_column_type(m_statement, column);
    return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
}

bool DbConnection::Row::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

double DbConnection::Row::number(int column) const
{
    return sqlite3_column_double(m_statement, column);
}

qint64 DbConnection::Row::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

bool DbConnection::Row::isText(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_TEXT;
}

QByteArrayView DbConnection::Row::utf8(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return QByteArrayView(text, sqlite3_column_bytes(m_statement, column));
}

QVariant DbConnection::Row::value(int column) const
{
    return SqliteValues::columnValue(m_statement, column);
}

sqlite3_stmt* DbConnection::preparedForReading(const QString& sql, const QString& context) const
{
    sqlite3_stmt* statement = prepared(m_readStatements, sql, context);
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return statement;
}

void DbConnection::readRows(const QString& sql, const QVariantList& values,
                            const std::function<void(const Row&)>& row) const
{
    sqlite3_stmt* statement = prepared(m_readStatements, sql);
    sqlite3* db = sqlite3_db_handle(statement);
    // Reset on every way out, so the statement never keeps the file's read lock.
    struct Reset {
        sqlite3_stmt* statement;
        ~Reset() { sqlite3_reset(statement); }
    } reset{statement};
    const auto fail = [&] {
        raise(m_fileName,
              QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(db)), QSqlError::StatementError,
                        QString::number(sqlite3_extended_errcode(db))));
    };
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    for (int i = 0; i < values.size(); ++i)
        if (SqliteValues::bindValue(statement, i + 1, values[i]) != SQLITE_OK)
            fail();
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
        row(Row(statement));
    if (rc != SQLITE_DONE)
        fail();
}

DbConnection::WriteResult DbConnection::write(const QString& sql, const QVariantList& values)
{
    sqlite3* db = m_handle;
    if (!db)
        raise(m_fileName,
              QSqlError(QString(), u"the database is not connected"_s, QSqlError::ConnectionError));
    auto fail = [&] {
        raise(m_fileName,
              QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(db)), QSqlError::StatementError,
                        QString::number(sqlite3_extended_errcode(db))));
    };
    sqlite3_stmt* statement = prepared(m_writeStatements, sql);
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    for (int i = 0; i < values.size(); ++i)
        if (SqliteValues::bindValue(statement, i + 1, values[i]) != SQLITE_OK)
            fail();
    const int rc = sqlite3_step(statement);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        sqlite3_reset(statement);
        fail();
    }
    const WriteResult result{sqlite3_changes(db), sqlite3_last_insert_rowid(db)};
    sqlite3_reset(statement);
    return result;
}

void DbConnection::raise(const QString& context, const QSqlError& error) const
{
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    if (text.contains(u"database is locked"_s))
        text = u"the database %1 is locked by another process"_s.arg(m_fileName);
    throw DatabaseError(context.isEmpty() ? text : context + u": "_s + text);
}
