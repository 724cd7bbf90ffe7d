#include "data/RowReader.h"

#include "data/DbConnection.h"
#include "data/Schema.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::Literals::StringLiterals;

RowReader::RowReader(const DbConnection& connection, QString table, QStringList columns)
    : m_connection(connection)
    , m_table(std::move(table))
    , m_columns(std::move(columns))
{
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
    QSqlQuery query(m_connection.database());
    query.setForwardOnly(true);
    const QString sql = u"SELECT rowid FROM %1 %2"_s.arg(Schema::quoted(m_table), m_tail);
    if (!query.prepare(sql))
        m_connection.raise(m_table, query.lastError());
    static const QRegularExpression parameter(u":(\\w+)"_s);
    for (auto it = parameter.globalMatch(m_tail); it.hasNext();) {
        const QString name = it.next().captured(1);
        query.bindValue(u':' + name, m_parameters.value(name));
    }
    if (!query.exec())
        m_connection.raise(m_table, query.lastError());
    while (query.next())
        m_keys.push_back(query.value(0).toLongLong());
    query.finish();
}

const RowReader::Row& RowReader::row(int index)
{
    const int page = index / PageSize;
    auto found = m_pages.find(page);
    if (found == m_pages.end()) {
        fetchPage(page);
        found = m_pages.find(page);
    } else {
        m_recentPages.removeOne(page);
        m_recentPages.append(page);
    }
    return (*found)[index % PageSize];
}

void RowReader::fetchPage(int page)
{
    const int begin = page * PageSize;
    const int end = std::min(count(), begin + PageSize);
    QStringList ids;
    ids.reserve(end - begin);
    for (int i = begin; i < end; ++i)
        ids << QString::number(m_keys[static_cast<size_t>(i)]);

    QStringList selected;
    for (const QString& c : m_columns)
        selected << Schema::quoted(c);
    QSqlQuery query(m_connection.database());
    query.setForwardOnly(true);
    const QString sql =
        u"SELECT rowid, %1 FROM %2 WHERE rowid IN (SELECT value FROM json_each(?))"_s.arg(
            selected.join(u", "_s), Schema::quoted(m_table));
    if (!query.prepare(sql))
        m_connection.raise(m_table, query.lastError());
    query.addBindValue(u'[' + ids.join(u',') + u']');
    if (!query.exec())
        m_connection.raise(m_table, query.lastError());

    QHash<qint64, Row> byKey;
    byKey.reserve(end - begin);
    const int columnCount = static_cast<int>(m_columns.size());
    while (query.next()) {
        Row values;
        values.reserve(columnCount);
        for (int c = 0; c < columnCount; ++c)
            values << query.value(c + 1);
        byKey.insert(query.value(0).toLongLong(), std::move(values));
    }
    query.finish();

    // A row deleted by another process since the ids were read shows as all Null.
    QList<Row> rows;
    rows.reserve(end - begin);
    for (int i = begin; i < end; ++i)
        rows << byKey.value(m_keys[static_cast<size_t>(i)], Row(columnCount));

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
