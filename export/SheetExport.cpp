#include "export/SheetExport.h"

#include "data/DataSet.h"
#include "data/Variant.h"
#include "export/ExportError.h"
#include "export/WorkbookLayouts.h"
#include "export/XlsxSheetWriter.h"

#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace SheetExport {
namespace {

void writeValue(XlsxSheetWriter& sheet, int row, int column, const Field& field)
{
    const QVariant value = field.value();
    if (Variant::isNull(value))
        return; // an empty cell; the rest of the row is still written
    switch (field.kind()) {
    case FieldKind::Text:
        sheet.writeText(row, column, Variant::toString(value));
        return;
    case FieldKind::Integer:
    case FieldKind::Double:
    case FieldKind::Currency:
        sheet.writeNumber(row, column, Variant::toDouble(value));
        return;
    case FieldKind::DateTime:
        sheet.writeDate(row, column, Variant::toDouble(value));
        return;
    case FieldKind::Boolean:
        sheet.writeBoolean(row, column, Variant::toBoolean(value));
        return;
    }
}

} // namespace

int write(DataSet& records, const WorkbookLayout& layout, const QString& fileName)
{
    // Every field is looked up before anything is written, so a dataset without one of the
    // layout's columns fails at once with the dataset's own "Field ... not found".
    std::vector<Field*> fields;
    for (const ExportColumn& column : layout.columns)
        fields.push_back(&records.fieldByName(column.field));

    XlsxSheetWriter sheet(fileName, layout.sheetName);
    for (int c = 0; c < layout.columns.size(); ++c) {
        const ExportColumn& column = layout.columns[c];
        sheet.writeHeader(c, column.header);
        if (column.width > 0)
            sheet.setColumnWidth(c, column.width);
    }

    int row = 1;
    records.first();
    while (!records.eof()) {
        if (row >= XlsxSheetWriter::MaxRows)
            throw ExportError(u"A sheet holds at most %L1 rows; %2 was not written"_s
                                  .arg(XlsxSheetWriter::MaxRows)
                                  .arg(fileName));
        for (size_t c = 0; c < fields.size(); ++c)
            writeValue(sheet, row, static_cast<int>(c), *fields[c]);
        records.next();
        ++row;
    }
    sheet.close();
    return row - 1;
}

} // namespace SheetExport
