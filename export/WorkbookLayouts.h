#pragma once

#include <QList>
#include <QString>

// One column of an exported sheet: its header text, the dataset field whose values it
// holds, and its width in the spreadsheet's unit (characters of the standard font).
struct ExportColumn {
    QString header;
    QString field;
    double width = 0; // 0: the spreadsheet's default width
};

// What an export writes: one sheet with a bold header row and one row per record.
struct WorkbookLayout {
    QString title;     // the menu item's name; the saved file is named after it
    QString sheetName; // the worksheet's name
    QList<ExportColumn> columns;
};

namespace WorkbookLayouts {

WorkbookLayout freeSpaceSummary(); // the Systems table as the summary shows it
WorkbookLayout historyDetails();   // the snapshots of one system
WorkbookLayout systems();          // the list of systems with their addresses

} // namespace WorkbookLayouts
