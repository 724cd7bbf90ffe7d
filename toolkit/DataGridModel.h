#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QList>
#include <QPointer>

#include <functional>

class DataSet;
class DataSource;

// One column of a data-aware grid: the field it shows, its width in characters of the digit
// "0", its title and, for grids with two title lines, the heading shared with its neighbours.
struct GridColumn {
    QString fieldName;
    int widthChars = 10;
    QString title;
    QString groupHeading;
    // Shown as one "*" per character, and edited unseen: for passwords.
    bool masked = false;
};

// What a colour rule may change for one data cell. Every cell starts from these values, so a
// style set for one cell never carries over to the next.
struct CellColors {
    QColor brush = Qt::white;
    QColor font = Qt::black;
    bool bold = false;
};

namespace GridRole {
enum : int {
    Raw = Qt::UserRole + 1, // the stored value, before any display format
    GroupHeading,           // header: the column's upper title line
    GroupHeadingAlignment,  // header: alignment of that upper line
    MergeWithNext,          // data: no row line under this cell, the next row continues it
    MaxLength,              // data: the most characters an editor may hold (0: no limit)
    Masked,                 // data: the value is a secret, shown and edited as asterisks
};
}

// A thin table model over a data source: rows are the dataset's rows as a view sees them
// (a new row being inserted included), cells are the fields' display texts. Nothing is
// copied, so only the rows a view paints are ever read.
class DataGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The painted row's field values are read through the model, never through the cursor.
    using CellColorsRule = std::function<void(const DataGridModel& model, int row,
                                              const QString& fieldName, CellColors& colors)>;
    // Called with the column's field name, or a group heading's text, and the alignment the
    // grid would use; the rule may change it.
    using TitleRule = std::function<void(const QString& name, Qt::Alignment& alignment)>;
    // The text of a column that shows no field of the dataset, for one row.
    using ColumnText = std::function<QString(const DataGridModel& model, int row)>;

    explicit DataGridModel(DataSource* source, QList<GridColumn> columns,
                           QObject* parent = nullptr);

    DataSet* dataSet() const;
    const QList<GridColumn>& columns() const { return m_columns; }

    void setCellColorsRule(CellColorsRule rule) { m_cellColors = std::move(rule); }
    void setTitleRule(TitleRule rule) { m_titleRule = std::move(rule); }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool readOnly() const { return m_readOnly; }
    // In this field's column, a value equal to the one above is shown blank, except on the
    // first visible row, so each run reads as one merged cell.
    void setGroupField(const QString& fieldName) { m_groupField = fieldName; }
    // The column named fieldName is no field of the dataset: its cells show what `text`
    // gives for their row, left-aligned, read-only, coloured by the colour rule like any
    // other cell. Its owner computes what it shows; the model asks only as views paint.
    void setColumnText(const QString& fieldName, ColumnText text);
    // What such columns show has changed: views repaint them.
    void columnTextsChanged();

    // The view tells the model which row is at its top, for rules tied to screen position.
    void setFirstVisibleRow(int row) { m_firstVisibleRow = row; }
    int firstVisibleRow() const { return m_firstVisibleRow; }
    // The painted row's position among the visible rows, 0 at the top.
    int visiblePosition(int row) const { return row - m_firstVisibleRow; }

    // A value of the given row by field name (Null when there is no such field or row).
    QVariant value(int row, const QString& fieldName) const;
    int fieldIndexOf(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Whether the last value written through setData was refused (and reported).
    bool lastWriteRefused() const { return m_lastWriteRefused; }

private:
    void reset();
    void rowChanged(int row);
    CellColors colorsFor(int row, int column) const;
    bool sameGroupValue(int row, int otherRow) const;
    const ColumnText* columnText(int column) const;
    QVariant computedData(int row, int column, const ColumnText& text, int role) const;

    QPointer<DataSource> m_source;
    QList<GridColumn> m_columns;
    CellColorsRule m_cellColors;
    TitleRule m_titleRule;
    QString m_groupField;
    QHash<QString, ColumnText> m_columnTexts; // by case-folded field name
    bool m_readOnly = true;
    bool m_lastWriteRefused = false;
    int m_firstVisibleRow = 0;
    int m_rowCount = 0;
};
