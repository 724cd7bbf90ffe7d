#include "data/RowReader.h"

#include "data/DbConnection.h"
#include "data/Schema.h"
#include "data/Variant.h"

#include <QSqlDriver>
#include <QSqlError>

#include <sqlite3.h>

#include <memory>

using namespace Qt::Literals::StringLiterals;

// Reads go straight to SQLite rather than through QSqlQuery: with millions of history rows,
// loading the ids spent most of its time wrapping each one in a QVariant, and every page
// paid for a second copy of its values.
namespace {

struct Finalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalizer>;

QVariant columnValue(sqlite3_stmt* statement, int column)
{
    // The same types QSqlQuery gives for each storage class, so readers cannot tell.
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER:
        return QVariant(static_cast<qint64>(sqlite3_column_int64(statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, column));
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(statement, column));
        return QByteArray(data, sqlite3_column_bytes(statement, column));
    }
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
    }
    }
}

int bindValue(sqlite3_stmt* statement, int index, const QVariant& value)
{
    // A null string is Null, as QSqlQuery binds it, not an empty text.
    if (Variant::isNull(value) ||
        (value.typeId() == QMetaType::QString && value.toString().isNull()) ||
        (value.typeId() == QMetaType::QByteArray && value.toByteArray().isNull()))
        return sqlite3_bind_null(statement, index);
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return sqlite3_bind_int64(statement, index, value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(statement, index, value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return sqlite3_bind_blob(statement, index, bytes.constData(),
                                 static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        return sqlite3_bind_text(statement, index, text.constData(), static_cast<int>(text.size()),
                                 SQLITE_TRANSIENT);
    }
    }
}

} // namespace

RowReader::RowReader(const DbConnection& connection, QString table, QStringList columns)
    : m_connection(connection)
    , m_table(std::move(table))
    , m_columns(std::move(columns))
{
}

sqlite3* RowReader::handle() const
{
    const QVariant driverHandle = m_connection.database().driver()->handle();
    sqlite3* db = nullptr;
    if (qstrcmp(driverHandle.typeName(), "sqlite3*") == 0)
        db = *static_cast<sqlite3* const*>(driverHandle.constData());
    if (!db)
        m_connection.raise(m_table, QSqlError(QString(), u"the database is not connected"_s,
                                              QSqlError::ConnectionError));
    return db;
}

void RowReader::fail(sqlite3* db) const
{
    m_connection.raise(m_table, QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(db)),
                                          QSqlError::StatementError,
                                          QString::number(sqlite3_extended_errcode(db))));
}

void RowReader::clear()
{
    m_keys.clear();
    m_keys.shrink_to_fit();
    m_pages.clear();
    m_recentPages.clear();
}

void RowReader::loadKeys()
{
    clear();
    sqlite3* db = handle();
    const QByteArray sql =
        u"SELECT rowid FROM %1 %2"_s.arg(Schema::quoted(m_table), m_tail).toUtf8();
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), static_cast<int>(sql.size()), &prepared, nullptr) !=
        SQLITE_OK)
        fail(db);
    const Statement statement(prepared);
    for (int i = 1; i <= sqlite3_bind_parameter_count(prepared); ++i) {
        // Named as ":name" in the query; a name with no value is bound as Null.
        const char* name = sqlite3_bind_parameter_name(prepared, i);
        const QVariant value = name ? m_parameters.value(QString::fromUtf8(name + 1)) : QVariant();
        if (bindValue(prepared, i, value) != SQLITE_OK)
            fail(db);
    }
    int rc;
    while ((rc = sqlite3_step(prepared)) == SQLITE_ROW)
        m_keys.push_back(sqlite3_column_int64(prepared, 0));
    if (rc != SQLITE_DONE) {
        clear();
        fail(db);
    }
}

const RowReader::Row& RowReader::row(int index)
{
    const int page = index / PageSize;
    auto found = m_pages.find(page);
    if (found == m_pages.end()) {
        fetchPage(page);
        found = m_pages.find(page);
    } else if (m_recentPages.constLast() != page) {
        m_recentPages.removeOne(page);
        m_recentPages.append(page);
    }
    return (*found)[index % PageSize];
}

void RowReader::fetchPage(int page)
{
    const int begin = page * PageSize;
    const int end = std::min(count(), begin + PageSize);
    QByteArray ids = "[";
    for (int i = begin; i < end; ++i) {
        if (i > begin)
            ids += ',';
        ids += QByteArray::number(m_keys[static_cast<size_t>(i)]);
    }
    ids += ']';

    // One statement per page, not one per row: each statement is a read transaction of its
    // own, and starting one costs file-lock calls. The id list is the outer loop, and the
    // outer join gives a row deleted by another process since the ids were read as all Null.
    // Each row is placed by its position in the list, so no sort is needed for the order.
    QStringList selected{u"k.key"_s};
    for (const QString& c : m_columns)
        selected << u"t."_s + Schema::quoted(c);
    const QByteArray sql =
        u"SELECT %1 FROM json_each(?) AS k LEFT JOIN %2 AS t ON t.rowid = k.value"_s
            .arg(selected.join(u", "_s), Schema::quoted(m_table))
            .toUtf8();
    sqlite3* db = handle();
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), static_cast<int>(sql.size()), &prepared, nullptr) !=
        SQLITE_OK)
        fail(db);
    const Statement statement(prepared);
    if (sqlite3_bind_text(prepared, 1, ids.constData(), static_cast<int>(ids.size()),
                          SQLITE_STATIC) != SQLITE_OK)
        fail(db);

    const int size = end - begin;
    const int columnCount = static_cast<int>(m_columns.size());
    QList<Row> rows(size);
    int placed = 0;
    int rc;
    while ((rc = sqlite3_step(prepared)) == SQLITE_ROW) {
        const qint64 at = sqlite3_column_int64(prepared, 0);
        if (at < 0 || at >= size || !rows[at].isEmpty())
            continue;
        Row& values = rows[at];
        values.reserve(columnCount);
        for (int c = 1; c <= columnCount; ++c)
            values << columnValue(prepared, c);
        ++placed;
    }
    if (rc != SQLITE_DONE)
        fail(db);
    if (placed != size)
        m_connection.raise(m_table, QSqlError(QString(), u"rows were read out of step"_s,
                                              QSqlError::StatementError));

    if (m_recentPages.size() >= CachedPages)
        m_pages.remove(m_recentPages.takeFirst());
    m_pages.insert(page, std::move(rows));
    m_recentPages.append(page);
}

void RowReader::appendKey(qint64 key)
{
    m_keys.push_back(key);
    forget(count() - 1);
}

void RowReader::removeAt(int index)
{
    m_keys.erase(m_keys.begin() + index);
    // Every page from this one on has shifted.
    const int firstPage = index / PageSize;
    for (auto it = m_pages.begin(); it != m_pages.end();) {
        if (it.key() >= firstPage) {
            m_recentPages.removeOne(it.key());
            it = m_pages.erase(it);
        } else {
            ++it;
        }
    }
}

void RowReader::forget(int index)
{
    const int page = index / PageSize;
    if (m_pages.remove(page) > 0)
        m_recentPages.removeOne(page);
}

void RowReader::updateCached(int index, int column, const QVariant& value)
{
    const auto found = m_pages.find(index / PageSize);
    if (found != m_pages.end())
        (*found)[index % PageSize][column] = value;
}
