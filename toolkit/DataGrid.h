#pragma once

#include "toolkit/DataGridModel.h"

#include <QTableView>

#include <functional>

class DataSource;

// The data-aware grid: shows a data source through a DataGridModel and shares the dataset's
// current row both ways. Colours, title alignment and grouping come from the model's rules;
// the grid itself only paints what the model's roles say.
class DataGrid : public QTableView {
    Q_OBJECT
public:
    DataGrid(DataSource* source, QList<GridColumn> columns, QWidget* parent = nullptr);

    DataGridModel* gridModel() const { return m_model; }

    // Read-only grids neither edit nor insert; others edit in place, straight into the row.
    void setReadOnly(bool readOnly);

    // Lines between columns and between rows; a row line is left out under a cell whose
    // next row continues its run.
    void setLines(bool columnLines, bool rowLines);
    // Two title lines: the upper one carries the group headings.
    void setTwoTitleLines(bool on);
    // Columns keep their proportions when the grid's width changes.
    void setStretchColumns(bool on) { m_stretch = on; }
    // Widths of the columns from their character counts, in the grid's font.
    void applyColumnWidths();
    // Hands what an open in-place editor holds to the row, as leaving the cell would, and
    // closes the editor. False when the row refused it: the editor then stays open with
    // the typed text (the refusal has been reported).
    bool commitOpenEditor();

    // Called after the current row changed, whether by the user or by the dataset.
    std::function<void()> onRowChanged;

    bool columnLines() const { return m_columnLines; }
    bool rowLines() const { return m_rowLines; }

protected:
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void followCursor();
    void updateFirstVisibleRow();
    void fitColumnsToWidth();
    void cancelUntouchedInsert();

    DataGridModel* m_model;
    bool m_columnLines = true;
    bool m_rowLines = true;
    bool m_stretch = false;
    bool m_following = false;
};
