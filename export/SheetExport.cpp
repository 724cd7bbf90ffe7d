#include "export/SheetExport.h"

#include "data/DataSet.h"
#include "data/Errors.h"
#include "data/Variant.h"
#include "export/ExportError.h"
#include "export/WorkbookLayouts.h"
#include "export/XlsxSheetWriter.h"

#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace SheetExport {
namespace {

// A value that does not read as its column's kind (text in a number column, written by
// hand or by another program) is written as the text it is: an export is where a user goes
// to see what is stored, so it must not stop at the row they are looking for.
// Returns false when that text had to be cut to fit its cell.
template <typename Write>
bool writeConverted(XlsxSheetWriter& sheet, int row, int column, const QVariant& value, Write write)
{
    try {
        write();
        return true;
    } catch (const ConversionError&) {
        return sheet.writeText(row, column, value.toString());
    }
}

// Returns false when a text had to be cut to fit its cell.
bool writeValue(XlsxSheetWriter& sheet, int row, int column, const Field& field)
{
    const QVariant value = field.value();
    if (Variant::isNull(value))
        return true; // an empty cell; the rest of the row is still written
    switch (field.kind()) {
    case FieldKind::Text:
        return sheet.writeText(row, column, Variant::toString(value));
    case FieldKind::Integer:
    case FieldKind::Double:
    case FieldKind::Currency:
        return writeConverted(sheet, row, column, value,
                              [&] { sheet.writeNumber(row, column, Variant::toDouble(value)); });
    case FieldKind::DateTime:
        return writeConverted(sheet, row, column, value,
                              [&] { sheet.writeDate(row, column, Variant::toDouble(value)); });
    case FieldKind::Boolean:
        return writeConverted(sheet, row, column, value,
                              [&] { sheet.writeBoolean(row, column, Variant::toBoolean(value)); });
    }
    return true;
}

// Which record a note is about: its system where the records have one, else its row.
QString recordName(DataSet& records, int row)
{
    if (records.findField(u"System"_s)) {
        QString system = Variant::toString(records.fieldByName(u"System"_s).value());
        if (system.size() > 40)
            system = system.left(40) + u"\u2026"_s;
        return u"system '%1' (row %2)"_s.arg(system).arg(row + 1);
    }
    return u"row %1"_s.arg(row + 1);
}

} // namespace

int write(DataSet& records, const WorkbookLayout& layout, const QString& fileName,
          QStringList* notes)
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
            if (!writeValue(sheet, row, static_cast<int>(c), *fields[c]) && notes)
                notes->append(u"The %1 of %2 was cut to the %3 characters a cell holds"_s.arg(
                    layout.columns[static_cast<qsizetype>(c)].header, recordName(records, row),
                    QString::number(XlsxSheetWriter::MaxTextLength)));
        records.next();
        ++row;
    }
    sheet.close();
    return row - 1;
}

} // namespace SheetExport
