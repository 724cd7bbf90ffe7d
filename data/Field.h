#pragma once

#include "data/FieldDef.h"

#include <QVariant>

class DataSet;

// Line breaks, tabs and the other control characters, and the Unicode line and paragraph
// separators: whatever could break a line of output or start a new one.
bool hasControlCharacter(const QString& text);

// One column of a dataset, read and written on the dataset's current row. Reads of an
// empty dataset give Null; typed reads of Null raise the conversion error.
class Field {
public:
    Field(DataSet& dataSet, FieldDef def, int index);

    const QString& fieldName() const { return m_def.name; }
    FieldKind kind() const { return m_def.kind; }
    int size() const { return m_def.size; }
    int index() const { return m_index; }
    QString displayLabel() const { return m_def.label(); }
    int displayWidth() const { return m_def.displayWidth; }
    const QString& displayFormat() const { return m_def.displayFormat; }
    bool visible() const { return m_def.visible; }
    const QVariant& defaultValue() const { return m_def.defaultValue; }
    void setDefaultValue(const QVariant& value) { m_def.defaultValue = value; }
    const FieldDef& def() const { return m_def; }
    DataSet& dataSet() const { return m_dataSet; }

    QVariant value() const;
    bool isNull() const;
    int asInteger() const;
    qint64 asLargeInt() const;
    double asFloat() const;
    QString asString() const;
    bool asBoolean() const;
    QString displayText() const;

    // Writes need the dataset in edit or insert mode. Values are checked against the
    // column's kind and size; a bad value raises and leaves the row as it was.
    void setValue(const QVariant& value);
    // Text typed by a user: empty clears the value, anything else must parse.
    void setAsString(const QString& text);
    void clear() { setValue(QVariant()); }

    // The stored form of a value for this column (shared with the dataset's reads).
    QVariant normalized(const QVariant& raw) const;

private:
    DataSet& m_dataSet;
    FieldDef m_def;
    int m_index;
};
