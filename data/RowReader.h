#pragma once

#include "data/RowPage.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <deque>
#include <memory>

class DbConnection;
struct sqlite3;

// Reads the rows of one table in a query's order without holding them all: opening keeps
// only the list of row ids in order, and rows are fetched a page at a time by id when they
// are looked at. A few recently used pages stay cached.
class RowReader {
public:
    RowReader(const DbConnection& connection, QString table, QStringList columns);

    // The part of a SELECT after "FROM table": WHERE and ORDER BY, with :name parameters.
    void setTail(const QString& tail) { m_tail = tail; }
    void setParameters(const QVariantMap& parameters) { m_parameters = parameters; }

    void loadKeys();
    void clear();
    int count() const { return static_cast<int>(m_keys.size()); }
    qint64 keyAt(int index) const { return m_keys[static_cast<size_t>(index)]; }
    QVariant value(int index, int column);
    QList<QVariant> values(int index);

    // A row as read, for as long as the holder keeps it: what later reads and writes do to
    // the cached pages leaves it as it was.
    class RowSnapshot {
    public:
        RowSnapshot() = default;
        QVariant value(int column) const { return m_page->value(m_row, column); }
        bool isEmpty() const { return !m_page; }

    private:
        friend class RowReader;
        RowSnapshot(std::shared_ptr<const RowPage> page, int row)
            : m_page(std::move(page))
            , m_row(row)
        {
        }
        std::shared_ptr<const RowPage> m_page;
        int m_row = -1;
    };
    RowSnapshot snapshot(int index);

    // Keep the id list in step with writes made through the dataset.
    void appendKey(qint64 key);
    void removeAt(int index);
    void forget(int index); // the row changed in the file: read it again when next needed
    // The dataset wrote these values itself: keep the cached copy in step instead of
    // reading the whole page again for one changed row.
    void updateCached(int index, int column, const QVariant& value);

    static constexpr int PageSize = 256;
    static constexpr int CachedPages = 8;

private:
    // The page holding the row, fetched when it is not cached.
    const std::shared_ptr<RowPage>& pageOf(int index);
    void fetchPage(int page);
    sqlite3* handle() const;
    [[noreturn]] void fail(sqlite3* db) const;

    const DbConnection& m_connection;
    QString m_table;
    QStringList m_columns;
    QString m_tail;
    // The two ways of reading a page, made once: the connection keeps them prepared.
    QString m_rangeSql;
    QString m_listSql;
    QVariantMap m_parameters;
    // A deque, not a vector: millions of ids arrive with no count up front, and a vector
    // growing by doubling briefly holds up to three times the list while it copies.
    std::deque<qint64> m_keys;
    QHash<int, std::shared_ptr<RowPage>> m_pages;
    // The page last looked at, while m_pages is unchanged: a walk asks for the same page
    // many times in a row.
    int m_lastPageNumber = -1;
    std::shared_ptr<RowPage>* m_lastPage = nullptr;
    QList<int> m_recentPages; // most recent last
};
