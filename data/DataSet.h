#pragma once

#include "data/Field.h"
#include "data/FieldDef.h"
#include "data/RowReader.h"

#include <QHash>
#include <QObject>
#include <QVariantMap>

#include <memory>
#include <optional>
#include <vector>

class DatabaseError;
class DbConnection;
class DataSource;

enum class DataSetState { Inactive, Browse, Edit, Insert };

// A named, long-lived view of one table: a table in its stored order, or a query of the
// form "SELECT * FROM table [WHERE ...] [ORDER BY ...]". It has a cursor with begin and end
// flags, an edit buffer for the current row, fields by case-insensitive name, an optional
// master data source it follows, and signals that bound controls listen to.
//
// Cursor rules: moving the cursor ends a pending edit (posted when modified, cancelled
// otherwise); closing discards it. first() sets bof, last() sets eof, next() on the last
// row sets eof without moving and prior() on the first row sets bof without moving.
class DataSet : public QObject {
    Q_OBJECT
public:
    DataSet(const QString& name, DbConnection& connection, QObject* parent = nullptr);
    ~DataSet() override;

    // Definition, fixed before the dataset is opened.
    void setTableName(const QString& table);
    void setSql(const QString& sql);
    const QString& sql() const { return m_sql; }
    const QString& tableName() const { return m_table; }
    void setDeclaredFields(FieldDefs fields) { m_declared = std::move(fields); }
    // The default a field takes in new rows; kept across closing and reopening.
    void setFieldDefault(const QString& fieldName, const QVariant& value);
    void setMasterSource(DataSource* master, const QString& masterField,
                         const QString& detailField);
    void setOpenAtLoad(bool open) { m_openAtLoad = open; }
    bool openAtLoad() const { return m_openAtLoad; }
    void setParameter(const QString& name, const QVariant& value);
    QVariant parameter(const QString& name) const;

    void open();
    void close();
    void setActive(bool active);
    bool isActive() const { return m_state != DataSetState::Inactive; }
    DataSetState state() const { return m_state; }

    void first();
    void last();
    void next();
    void prior();
    void moveTo(int row);
    bool eof();
    bool bof();
    int recordCount();
    int recNo(); // zero-based current row, -1 when there is none
    // The file's key of the current stored row (none on an empty dataset or a new row), and
    // back to the row of a key: false, the cursor unmoved, when the row is no longer there.
    std::optional<qint64> currentKey();
    bool moveToKey(qint64 key);
    bool isEmpty() { return recordCount() == 0; }

    void edit();
    void append();
    void post();
    void cancel();
    void deleteRecord();
    bool modified() const;
    // Ends a pending edit the way a cursor move does.
    void checkBrowseMode();
    // Drops a pending edit and reads the rows again from the file, staying on the same row
    // when it is still there: for after writes were undone underneath the dataset.
    void refresh();

    int fieldCount() const { return static_cast<int>(m_fields.size()); }
    Field& field(int index) { return *m_fields[static_cast<size_t>(index)]; }
    Field* findField(const QString& name);
    Field& fieldByName(const QString& name);

    // For views: a row's value without moving the cursor (the edit buffer on the row being
    // edited; the new row's buffer sits after the last row while appending).
    int viewRowCount();
    QVariant valueAt(int row, int fieldIndex);

    // While disabled (counted), bound controls and detail datasets are not notified; the
    // last enable tells them everything changed.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }

    // Used by Field.
    QVariant currentValue(int fieldIndex);
    void setCurrentValue(int fieldIndex, const QVariant& value);

Q_SIGNALS:
    void activeChanged(bool active);
    void stateChanged(DataSetState state);
    void layoutChanged();      // rows came, went or were reread
    void rowChanged(int row);  // one row's values changed (buffer or stored)
    void cursorMoved(int row); // the current row changed

private:
    [[noreturn]] void raise(const QString& text) const;
    // Refuses a value another row already holds in a field that must be unique; ownKey is
    // the row being edited (none while inserting).
    void checkUnique(std::optional<qint64> ownKey);
    [[noreturn]] void raiseNotUnique(const FieldDef& def, const QVariant& value) const;
    [[noreturn]] void raiseWriteError(const DatabaseError& error) const;
    void requireActive() const;
    void ensureRows();
    void buildFields();
    QString tailSql() const;
    QVariantMap boundParameters() const;
    void masterChanged();
    void markRowsStale();
    void setState(DataSetState state);
    void placeAtFirst();
    void notifyLayout();
    void notifyRow(int row);
    void notifyCursor();
    QVariant storedValue(int row, int fieldIndex);
    QVariant bufferValue(int fieldIndex) const;
    // The value of the row being edited or inserted as it stands, not normalized.
    QVariant bufferedRaw(int fieldIndex) const;

    DbConnection& m_connection;
    QString m_table;
    QString m_sql;
    QString m_tail;              // WHERE and ORDER BY of a query dataset
    QStringList m_columns;       // the file's spelling of each field's column
    QStringList m_quotedColumns; // the same, quoted for SQL
    // The UPDATE for each set of changed fields (one character per field, 1 for changed) and
    // the INSERT: a run posts a thousand rows changing the same fields of each.
    QHash<QByteArray, QString> m_updateSql;
    QString m_insertSql;
    FieldDefs m_declared;
    QVariantMap m_parameters;
    bool m_openAtLoad = false;

    DataSource* m_master = nullptr;
    QString m_masterField;
    QString m_detailField;

    DataSetState m_state = DataSetState::Inactive;
    std::vector<std::unique_ptr<Field>> m_fields;
    struct NameFound {
        QString name; // held, so its storage cannot come to hold another text
        Field* field;
    };
    QHash<const QChar*, NameFound> m_fieldsByText; // see findField
    std::unique_ptr<RowReader> m_rows;
    bool m_rowsStale = false;          // a master moved; reread on next use
    QVariant m_boundMasterValue;       // the master value the rows were read for
    std::optional<qint64> m_keyToFind; // a row posted while the rows were unread
    int m_pos = -1;
    bool m_bof = true;
    bool m_eof = true;
    int m_posBeforeInsert = -1;
    // Inserting: every value of the new row. Editing: the values written so far, the others
    // read from m_editRow, the row as it was when the edit began.
    QList<QVariant> m_buffer;
    RowReader::RowSnapshot m_editRow;
    std::vector<bool> m_changed;
    int m_disableCount = 0;
};
