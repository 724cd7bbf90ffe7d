#pragma once

#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantList>

// The one connection to the database file. It opens an existing file for reading and
// writing and never creates one: a missing file, a file that is not a database, a file
// that cannot be written and a file another process holds locked are all errors with a
// message that names the file.
class DbConnection : public QObject {
    Q_OBJECT
public:
    explicit DbConnection(const QString& name, QObject* parent = nullptr);
    ~DbConnection() override;

    void setFileName(const QString& fileName) { m_fileName = fileName; }
    const QString& fileName() const { return m_fileName; }
    // How long a write waits for another process's run to finish before it fails. A run of
    // thousands of systems holds the file for well under a second once its addresses are
    // measured, but a second program may be in the middle of one; waiting is always better
    // than losing the run.
    void setBusyTimeoutMs(int ms) { m_busyTimeoutMs = ms; }
    // How long opening waits for a lock before it says the file is locked: a program that
    // holds the file exclusively is reported at once rather than freezing the start.
    void setOpenBusyTimeoutMs(int ms) { m_openBusyTimeoutMs = ms; }
    static constexpr int DefaultBusyTimeoutMs = 30'000;
    // A connection that never writes. It opens a file the user may only read, and on a file
    // that may be written it still leaves no side files behind (SQLite's read-only mode
    // would leave its write-ahead log and index beside the file).
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    // Up to this many bytes of the file read through a memory map instead of copied page by
    // page: a short-lived reader that walks thousands of pages once spends less. A failing
    // disk under a map ends the process instead of failing a statement, so only readers that
    // may end that way (command-line reports) ask for it. 0, the default: no map.
    void setMemoryMapBytes(qint64 bytes) { m_memoryMapBytes = bytes; }
    qint64 memoryMapBytes() const { return m_memoryMapBytes; }
    bool isReadOnly() const { return m_readOnly; }
    // Whether this process may write the file and create its side files beside it.
    static bool canBeWritten(const QString& fileName);

    void open();
    void close();
    // Closes without moving what the write-ahead log holds into the file, which closing
    // otherwise does: a file refused must be left byte for byte as it was found.
    void closeLeavingFileAsItIs();
    bool isConnected() const;
    QSqlDatabase database() const;
    // SQLite's own connection while connected, else null; for readers that go straight to it.
    struct sqlite3* sqliteConnection() const { return m_handle; }

    // SQLite's count of the commits other connections made to the file (PRAGMA
    // data_version): it changes when another program, or another connection of this one,
    // has committed since it was last read, and never for this connection's own writes.
    // The values mean something only between two readings on one opening of the
    // connection. Asked without waiting for a lock: a file another program holds exclusively
    // raises DatabaseError at once, like a connection that is not open.
    qint64 dataVersion() const;

    // Groups writes so that they cost one disk sync; nests by counting. The transaction is
    // a writer from its first statement (BEGIN IMMEDIATE): a second process waits for it
    // instead of failing when its reader would have to become a writer halfway.
    void beginTransaction();
    void commit();
    void rollback();
    bool inTransaction() const { return m_transactionDepth > 0; }

    // For a reader that runs many small statements: they all see one state of the file, and
    // the file's read lock is taken once for all of them instead of once for each (two lock
    // calls and a look at the file a statement, more than SQLite's own work on a small query).
    // Nothing may be written while one is open; outside a transaction only.
    class ReadSnapshot {
    public:
        explicit ReadSnapshot(DbConnection& db);
        ~ReadSnapshot();
        ReadSnapshot(const ReadSnapshot&) = delete;
        ReadSnapshot& operator=(const ReadSnapshot&) = delete;

    private:
        DbConnection& m_db;
        bool m_open = false;
    };

    // Savepoints inside a transaction: everything written after the savepoint is kept by
    // release and undone by rollbackTo, the rest of the transaction untouched.
    void savepoint(const QString& name);
    void releaseSavepoint(const QString& name);
    void rollbackToSavepoint(const QString& name);

    // Prepares and runs one statement with positional values; throws on failure.
    QSqlQuery exec(const QString& sql, const QVariantList& values = {}) const;

    // Runs a statement that returns no rows (INSERT, UPDATE, DELETE), keeping it prepared
    // for the next call with the same text: a run writes thousands of rows alike.
    struct WriteResult {
        int rowsAffected = 0;
        qint64 lastInsertId = 0;
    };
    WriteResult write(const QString& sql, const QVariantList& values);

    // One row of readRows, valid only inside the call that receives it.
    class Row {
    public:
        // Whether the column holds an integer or a real, not Null, text or a blob.
        bool isNumber(int column) const;
        bool isNull(int column) const;
        double number(int column) const;
        qint64 integer(int column) const;
        bool isText(int column) const;
        // The column's text as UTF-8, valid until the next call on this row.
        QByteArrayView utf8(int column) const;
        QVariant value(int column) const;

    private:
        friend class DbConnection;
        explicit Row(struct sqlite3_stmt* statement)
            : m_statement(statement)
        {
        }
        struct sqlite3_stmt* m_statement;
    };
    // Runs a query kept prepared for the next call with the same text and hands each row to
    // row: for a query run once for each of a thousand systems, where preparing it again
    // and converting every value cost more than SQLite's reading. Throws on failure.
    void readRows(const QString& sql, const QVariantList& values,
                  const std::function<void(const Row&)>& row) const;
    // A statement kept prepared for this connection until it closes, reset, with nothing
    // bound: for a reader that steps it itself and must reset it when done. A statement that
    // cannot be prepared is reported under context (the file's name when empty).
    struct sqlite3_stmt* preparedForReading(const QString& sql, const QString& context = {}) const;
    [[noreturn]] void raise(const QString& context, const QSqlError& error) const;

Q_SIGNALS:
    void connectedChanged(bool connected);

private:
    QString m_connectionName;
    QString m_fileName;
    int m_busyTimeoutMs = DefaultBusyTimeoutMs;
    int m_appliedBusyTimeoutMs = DefaultBusyTimeoutMs; // what open gave SQLite
    int m_openBusyTimeoutMs = 2000;
    int m_transactionDepth = 0;
    bool m_readOnly = false;
    qint64 m_memoryMapBytes = 0;
    bool m_logExistedAtOpen = false;
    // SQLite's own prepared statements: QSqlQuery spends more on binding than SQLite on
    // the write itself. Finalised when the connection closes.
    // SQLite's own connection while open: asked for on every statement, and finding it
    // through the driver each time cost more than many a statement.
    struct sqlite3* m_handle = nullptr;
    struct PreparedStatements {
        QHash<QString, struct sqlite3_stmt*> byText;
        // By the text's storage, which the copy held here keeps alive and unchanged: callers
        // pass the same string again and again, and hashing a long text cost more than
        // running the statement it names.
        struct Known {
            QString sql;
            struct sqlite3_stmt* statement;
        };
        QHash<const QChar*, Known> byStorage;
    };
    PreparedStatements m_writeStatements;
    mutable PreparedStatements m_readStatements;
    struct sqlite3_stmt* prepared(PreparedStatements& statements, const QString& sql,
                                  const QString& context = {}) const;
    struct SavepointSql {
        QString begin, release, rollback;
    };
    const SavepointSql& savepointSql(const QString& name);
    QHash<QString, SavepointSql> m_savepointSql;
    void finalizeWriteStatements();
};
