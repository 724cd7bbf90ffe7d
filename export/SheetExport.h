#pragma once

#include <QString>
#include <QStringList>

class DataSet;
struct WorkbookLayout;

namespace SheetExport {

// Writes the layout's workbook into fileName: the bold header row, the widths the layout
// gives, and one row per record of the dataset from its first record to its last, values
// as stored (text as text, numbers at full precision, dates as date cells, Null as an
// empty cell). The dataset's cursor walks every record and ends on its last one, as any
// walk of a live dataset does. Returns the number of records written. A value that does
// not read as its column's kind is written as its text; a text too long for a cell is cut
// to fit, and notes (when given) gets a line naming the record and the column.
int write(DataSet& records, const WorkbookLayout& layout, const QString& fileName,
          QStringList* notes = nullptr);

} // namespace SheetExport
