#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <vector>

struct sqlite3_stmt;

// A page of rows as read, a cell each, a few bytes per cell: a kind and eight bytes of
// number, or the place of a text among the page's texts. A QVariant per cell took four times
// the memory, and fresh memory costs a short run more than reading the rows does.
//
// A cell gives back the QVariant it was given, type and all: Null, a 64-bit integer, a
// double and a text are kept in place, anything else (a blob, a value of another type the
// dataset wrote) is kept whole beside them.
class RowPage {
public:
    RowPage() = default;
    RowPage(int rows, int columns);

    // The value of the statement's column sqlColumn, as QSqlQuery would give it.
    void setFromStatement(int row, int column, sqlite3_stmt* statement, int sqlColumn);
    void set(int row, int column, const QVariant& value);

    QVariant value(int row, int column) const;
    QList<QVariant> values(int row) const;

private:
    enum class Kind : std::uint8_t { Null, Integer, Real, Text, Other };
    union Payload {
        qint64 integer;
        double real;
        qsizetype at; // in m_texts or m_others
    };
    size_t cell(int row, int column) const
    {
        return static_cast<size_t>(row) * static_cast<size_t>(m_columns) +
               static_cast<size_t>(column);
    }

    int m_columns = 0;
    std::vector<Kind> m_kinds;
    std::vector<Payload> m_payloads;
    QList<QString> m_texts;
    QList<QVariant> m_others;
};
