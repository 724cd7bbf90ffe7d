#include "data/RowReader.h"

#include "data/SqliteValues.h"

#include "data/DbConnection.h"
#include "data/Schema.h"
#include "data/Variant.h"

#include <QSqlError>

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <vector>

using namespace Qt::Literals::StringLiterals;

// Reads go straight to SQLite rather than through QSqlQuery: with millions of history rows,
// loading the ids spent most of its time wrapping each one in a QVariant, and every page
// paid for a second copy of its values.
namespace {

struct Finalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalizer>;

// Resets a statement the connection keeps on every way out, so it never holds the file's
// read lock nor a value that is gone.
struct ResetWhenDone {
    sqlite3_stmt* statement;
    ~ResetWhenDone()
    {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
    }
};

} // namespace

RowReader::RowReader(const DbConnection& connection, QString table, QStringList columns)
    : m_connection(connection)
    , m_table(std::move(table))
    , m_columns(std::move(columns))
{
    QStringList selected;
    for (const QString& c : std::as_const(m_columns))
        selected << u"t."_s + Schema::quoted(c);
    const QString values = selected.join(u", "_s);
    const QString quotedTable = Schema::quoted(m_table);
    // A table read in its stored order has its ids ascending and nearly contiguous: one walk
    // along that range of the table does what one lookup per id does otherwise.
    m_rangeSql =
        u"SELECT t.rowid, %1 FROM %2 AS t WHERE t.rowid BETWEEN ? AND ?"_s.arg(values, quotedTable);
    // One statement per page, not one per row: each statement is a read transaction of its
    // own, and starting one costs file-lock calls. The id list is the outer loop, and the
    // outer join gives a row deleted by another process since the ids were read as all Null.
    // Each row is placed by its position in the list, so no sort is needed.
    m_listSql =
        u"SELECT k.key, %1 FROM json_each(?) AS k LEFT JOIN %2 AS t ON t.rowid = k.value"_s.arg(
            values, quotedTable);
}

sqlite3* RowReader::handle() const
{
    sqlite3* db = m_connection.sqliteConnection();
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
    m_lastPage = nullptr;
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
        if (SqliteValues::bindValue(prepared, i, value) != SQLITE_OK)
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

const std::shared_ptr<RowPage>& RowReader::pageOf(int index)
{
    const int page = index / PageSize;
    // The page last looked at is also the most recently used: nothing to move.
    if (m_lastPage && page == m_lastPageNumber)
        return *m_lastPage;
    auto found = m_pages.find(page);
    if (found == m_pages.end()) {
        fetchPage(page);
        found = m_pages.find(page);
    } else if (m_recentPages.constLast() != page) {
        m_recentPages.removeOne(page);
        m_recentPages.append(page);
    }
    m_lastPageNumber = page;
    m_lastPage = &*found;
    return *found;
}

QVariant RowReader::value(int index, int column)
{
    return pageOf(index)->value(index % PageSize, column);
}

QList<QVariant> RowReader::values(int index)
{
    return pageOf(index)->values(index % PageSize);
}

RowReader::RowSnapshot RowReader::snapshot(int index)
{
    return RowSnapshot(pageOf(index), index % PageSize);
}

void RowReader::fetchPage(int page)
{
    const int begin = page * PageSize;
    const int end = std::min(count(), begin + PageSize);
    const int size = end - begin;
    const auto first = m_keys.begin() + begin;
    const auto last = m_keys.begin() + end;
    const bool ascending = std::is_sorted(first, last);
    const bool dense = ascending && size > 0 && *(last - 1) - *first < 4 * PageSize;

    QByteArray ids;
    if (!dense) {
        ids = "[";
        for (int i = begin; i < end; ++i) {
            if (i > begin)
                ids += ',';
            ids += QByteArray::number(m_keys[static_cast<size_t>(i)]);
        }
        ids += ']';
    }
    handle(); // says so when the connection is gone
    sqlite3_stmt* prepared =
        m_connection.preparedForReading(dense ? m_rangeSql : m_listSql, m_table);
    const ResetWhenDone reset{prepared};
    sqlite3* db = sqlite3_db_handle(prepared);
    const int bound = dense ? (sqlite3_bind_int64(prepared, 1, *first) |
                               sqlite3_bind_int64(prepared, 2, *(last - 1)))
                            : sqlite3_bind_text(prepared, 1, ids.constData(),
                                                static_cast<int>(ids.size()), SQLITE_STATIC);
    if (bound != SQLITE_OK)
        fail(db);

    const int columnCount = static_cast<int>(m_columns.size());
    RowPage rows(size, columnCount);
    std::vector<bool> placedAt(static_cast<size_t>(size), false);
    int placed = 0;
    auto positionOf = [&](qint64 id) -> qint64 {
        if (!dense)
            return id; // json_each's key: the position in the list
        const auto at = std::lower_bound(first, last, id);
        return at != last && *at == id ? at - first : -1;
    };
    int rc;
    while ((rc = sqlite3_step(prepared)) == SQLITE_ROW) {
        const qint64 at = positionOf(sqlite3_column_int64(prepared, 0));
        if (at < 0 || at >= size || placedAt[static_cast<size_t>(at)])
            continue; // a row another program added inside the range since the ids were read
        for (int c = 0; c < columnCount; ++c)
            rows.setFromStatement(static_cast<int>(at), c, prepared, c + 1);
        placedAt[static_cast<size_t>(at)] = true;
        ++placed;
    }
    if (rc != SQLITE_DONE)
        fail(db);
    // A row deleted by another process since the ids were read reads as all Null, as every
    // cell starts.
    if (dense)
        placed = size;
    if (placed != size)
        m_connection.raise(m_table, QSqlError(QString(), u"rows were read out of step"_s,
                                              QSqlError::StatementError));

    m_lastPage = nullptr;
    if (m_recentPages.size() >= CachedPages)
        m_pages.remove(m_recentPages.takeFirst());
    m_pages.emplace(page, std::make_shared<RowPage>(std::move(rows)));
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
    m_lastPage = nullptr;
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
    m_lastPage = nullptr;
    if (m_pages.remove(page) > 0)
        m_recentPages.removeOne(page);
}

void RowReader::updateCached(int index, int column, const QVariant& value)
{
    const int page = index / PageSize;
    std::shared_ptr<RowPage>* cached = nullptr;
    if (m_lastPage && page == m_lastPageNumber) {
        cached = m_lastPage;
    } else {
        const auto found = m_pages.find(page);
        if (found == m_pages.end())
            return;
        cached = &*found;
    }
    // A page someone holds a row of is copied first, so the row they hold stays as read.
    if (cached->use_count() > 1)
        *cached = std::make_shared<RowPage>(**cached);
    (*cached)->set(index % PageSize, column, value);
}
