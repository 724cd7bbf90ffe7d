#pragma once

#include <QString>

class DataSet;
struct WorkbookLayout;

namespace SheetExport {

// Writes the layout's workbook into fileName: the bold header row, the widths the layout
// gives, and one row per record of the dataset from its first record to its last, values
// as stored (text as text, numbers at full precision, dates as date cells, Null as an
// empty cell). The dataset's cursor walks every record and ends on its last one, as any
// walk of a live dataset does. Returns the number of records written.
int write(DataSet& records, const WorkbookLayout& layout, const QString& fileName);

} // namespace SheetExport
