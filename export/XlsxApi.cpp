#include "export/XlsxApi.h"

#include "platform/OnDemandLibrary.h"

using namespace Qt::Literals::StringLiterals;

namespace {

struct LoadedXlsx {
    OnDemandLibrary library{u"xlsxwriter"_s, 4};
    XlsxApi api;

    LoadedXlsx()
    {
        library.resolve(api.workbookNew, "workbook_new");
        library.resolve(api.addWorksheet, "workbook_add_worksheet");
        library.resolve(api.addFormat, "workbook_add_format");
        library.resolve(api.close, "workbook_close");
        library.resolve(api.free, "lxw_workbook_free");
        library.resolve(api.setBold, "format_set_bold");
        library.resolve(api.setNumFormat, "format_set_num_format");
        library.resolve(api.setColumn, "worksheet_set_column");
        library.resolve(api.writeString, "worksheet_write_string");
        library.resolve(api.writeNumber, "worksheet_write_number");
        library.resolve(api.writeBoolean, "worksheet_write_boolean");
        library.resolve(api.strerror, "lxw_strerror");
    }
};

} // namespace

const XlsxApi* xlsxApi(QString* whyNot)
{
    // Loaded once, by whichever thread asks first; the others wait for it.
    static const LoadedXlsx loaded;
    return functionsOrReason(loaded.api, loaded.library.error(), whyNot);
}
