#pragma once

#include <QString>

#include <xlsxwriter.h>

// The libxlsxwriter functions a workbook is written with, from the library opened on first
// use: it brings a zip and a crypto library that every run over local disks would otherwise
// load at start and never touch.
struct XlsxApi {
    decltype(&::workbook_new) workbookNew = nullptr;
    decltype(&::workbook_add_worksheet) addWorksheet = nullptr;
    decltype(&::workbook_add_format) addFormat = nullptr;
    decltype(&::workbook_close) close = nullptr;
    decltype(&::lxw_workbook_free) free = nullptr;
    decltype(&::format_set_bold) setBold = nullptr;
    decltype(&::format_set_num_format) setNumFormat = nullptr;
    decltype(&::worksheet_set_column) setColumn = nullptr;
    decltype(&::worksheet_write_string) writeString = nullptr;
    decltype(&::worksheet_write_number) writeNumber = nullptr;
    decltype(&::worksheet_write_boolean) writeBoolean = nullptr;
    decltype(&::lxw_strerror) strerror = nullptr;
};

// The functions, or nullptr with the reason in *whyNot when the library could not be loaded.
const XlsxApi* xlsxApi(QString* whyNot);
