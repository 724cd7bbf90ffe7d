#include "data/RowPage.h"

#include <QByteArray>

#include <sqlite3.h>

RowPage::RowPage(int rows, int columns)
    : m_columns(columns)
    , m_kinds(static_cast<size_t>(rows) * static_cast<size_t>(columns), Kind::Null)
    , m_payloads(m_kinds.size())
{
}

void RowPage::setFromStatement(int row, int column, sqlite3_stmt* statement, int sqlColumn)
{
    const size_t at = cell(row, column);
    // The same types QSqlQuery gives for each storage class, so readers cannot tell.
    switch (sqlite3_column_type(statement, sqlColumn)) {
    case SQLITE_NULL:
        m_kinds[at] = Kind::Null;
        return;
    case SQLITE_INTEGER:
        m_kinds[at] = Kind::Integer;
        m_payloads[at].integer = sqlite3_column_int64(statement, sqlColumn);
        return;
    case SQLITE_FLOAT:
        m_kinds[at] = Kind::Real;
        m_payloads[at].real = sqlite3_column_double(statement, sqlColumn);
        return;
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(statement, sqlColumn));
        m_kinds[at] = Kind::Other;
        m_payloads[at].at = m_others.size();
        m_others << QVariant(QByteArray(data, sqlite3_column_bytes(statement, sqlColumn)));
        return;
    }
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, sqlColumn));
        m_kinds[at] = Kind::Text;
        m_payloads[at].at = m_texts.size();
        m_texts << QString::fromUtf8(text, sqlite3_column_bytes(statement, sqlColumn));
        return;
    }
    }
}

void RowPage::set(int row, int column, const QVariant& value)
{
    const size_t at = cell(row, column);
    // A text or a whole value written over another takes a new place; the old one stays
    // until the page goes, which is soon: pages are few and short-lived.
    if (!value.isValid()) {
        m_kinds[at] = Kind::Null;
        return;
    }
    // A null of a type (a double that holds nothing) is kept whole, so it stays one.
    switch (value.isNull() ? QMetaType::UnknownType : value.typeId()) {
    case QMetaType::LongLong:
        m_kinds[at] = Kind::Integer;
        m_payloads[at].integer = value.toLongLong();
        return;
    case QMetaType::Double:
        m_kinds[at] = Kind::Real;
        m_payloads[at].real = value.toDouble();
        return;
    case QMetaType::QString:
        m_kinds[at] = Kind::Text;
        m_payloads[at].at = m_texts.size();
        m_texts << value.toString();
        return;
    default:
        m_kinds[at] = Kind::Other;
        m_payloads[at].at = m_others.size();
        m_others << value;
        return;
    }
}

QVariant RowPage::value(int row, int column) const
{
    const size_t at = cell(row, column);
    switch (m_kinds[at]) {
    case Kind::Null:
        return QVariant();
    case Kind::Integer:
        return QVariant(m_payloads[at].integer);
    case Kind::Real:
        return QVariant(m_payloads[at].real);
    case Kind::Text:
        return QVariant(m_texts[m_payloads[at].at]);
    case Kind::Other:
        break;
    }
    return m_others[m_payloads[at].at];
}

QList<QVariant> RowPage::values(int row) const
{
    QList<QVariant> all;
    all.reserve(m_columns);
    for (int c = 0; c < m_columns; ++c)
        all << value(row, c);
    return all;
}
