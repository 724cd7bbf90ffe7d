#pragma once

#include "toolkit/DataGridModel.h"

#include <QDate>
#include <QList>
#include <QVariant>

// What the summary, history and systems grids show and how they colour it. Pure functions of
// the painted row's values, so each rule can be checked on its own.
namespace GridRules {

// The summary grid's columns end with the forecast, which is no field of the Systems table:
// the grid's owner gives its text (DataGridModel::setColumnText).
inline const QString ForecastColumn = QStringLiteral("Forecast");
QList<GridColumn> summaryColumns();
QList<GridColumn> historyColumns();
QList<GridColumn> systemsColumns();

// Summary grid: red text from 80 % used, yellow on red from 90 %, the free columns bold, and
// a predicted full date at most ten days after today (or past) white on black. An empty
// used percentage counts as 0; an empty or zero date counts as no date.
void summaryCellColors(const QString& fieldName, const QVariant& lastUsedPercent,
                       const QVariant& zeroDate1, const QDate& today, CellColors& colors);

// History grid: shading by the row's position on screen (top visible row white), and in
// the Used% column the same 80 / 90 % colours.
void historyCellColors(const QString& fieldName, int visiblePosition, const QVariant& usedPercent,
                       CellColors& colors);

// Titles that stand right-aligned; every other title keeps the alignment passed in.
void summaryTitleAlignment(const QString& name, Qt::Alignment& alignment);
void historyTitleAlignment(const QString& name, Qt::Alignment& alignment);
void systemsTitleAlignment(const QString& name, Qt::Alignment& alignment);

inline const QColor LightYellow{255, 255, 192};

} // namespace GridRules
