#pragma once

#include <QList>
#include <QString>
#include <QVariant>

enum class FieldKind { Text, Integer, Double, Currency, Boolean, DateTime };

// One declared column: how it is stored, shown and defaulted.
struct FieldDef {
    QString name;
    FieldKind kind = FieldKind::Text;
    int size = 0;         // text: the most characters it holds; integer: 16 or 32 bits
    QString displayLabel; // empty: the column name
    int displayWidth = 0; // characters
    QString displayFormat;
    bool visible = true;
    QVariant defaultValue; // filled into a new row
    // Text that names something on one line (a system name in an alert line, a header, the
    // command line's output): control characters such as line breaks are refused.
    bool singleLine = false;
    // Non-empty: no two rows may hold the same value (capitals and small letters count as
    // the same); it says what the value is, for the message ("system name").
    QString uniqueWhat;

    static FieldDef of(QString name, FieldKind kind, int size = 0)
    {
        FieldDef f;
        f.name = std::move(name);
        f.kind = kind;
        f.size = size;
        return f;
    }

    QString label() const { return displayLabel.isEmpty() ? name : displayLabel; }
};

using FieldDefs = QList<FieldDef>;

// A table of the database file, with the columns the program relies on.
struct TableDef {
    QString name;
    FieldDefs columns;
};
