#pragma once

#include "data/Variant.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <sqlite3.h>

// Values in and out of SQLite's own statements, the same way QSqlQuery passes them, for the
// paths that go to SQLite directly: reading pages of rows and writing rows.
namespace SqliteValues {

inline QVariant columnValue(sqlite3_stmt* statement, int column)
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

inline int bindValue(sqlite3_stmt* statement, int index, const QVariant& value)
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

} // namespace SqliteValues
