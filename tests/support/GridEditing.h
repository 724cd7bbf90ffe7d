#pragma once

#include "toolkit/DataGrid.h"

#include <QAbstractItemModel>
#include <QLineEdit>

// Opens the cell's in-place editor as a click into the grid would, its text selected so
// typed keys replace it; null when the grid opened none.
inline QLineEdit* openCellEditor(DataGrid* grid, int row, int column)
{
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(row, column));
    grid->edit(grid->currentIndex());
    auto* cell = grid->findChild<QLineEdit*>(QStringLiteral("InplaceEditor"));
    if (cell)
        cell->selectAll();
    return cell;
}
