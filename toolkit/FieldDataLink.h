#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

class DataSet;
class DataSource;
class Field;

// What a data-aware control holds: one field of a data source's dataset, followed on the
// current row. It says when the value shown may have changed (the cursor moved, the row was
// edited or reread, the dataset opened or closed) and writes the control's value into the
// row, putting the dataset into edit mode first.
class FieldDataLink : public QObject {
    Q_OBJECT
public:
    FieldDataLink(DataSource* source, QString fieldName, QObject* parent = nullptr);

    DataSet* dataSet() const;
    // The field on an open dataset; null while the dataset is closed or lacks the field.
    Field* field() const;
    const QString& fieldName() const { return m_fieldName; }
    // The current row's value; Null when there is none.
    QVariant value() const;
    bool active() const { return field() != nullptr; }
    // Edit mode (a new row on an empty table), then the value; raises what the field raises.
    void write(const QVariant& value);
    void writeText(const QString& text);

Q_SIGNALS:
    // presentedAnew: the row was read again or another row came (a move, a reopen, a cancel
    // or post ending the edit), rather than one of its fields being written.
    void dataChanged(bool presentedAnew);

private:
    QPointer<DataSource> m_source;
    QString m_fieldName;
};
