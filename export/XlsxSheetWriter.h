#pragma once

#include <QString>

#include <memory>

struct XlsxApi;
struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// A workbook of one worksheet, written to a file when closed. Rows and columns count from
// 0 (row 0 is the header row). Every failure raises ExportError; a workbook that is not
// closed leaves an incomplete file behind, which its caller removes.
class XlsxSheetWriter {
public:
    XlsxSheetWriter(const QString& fileName, const QString& sheetName);
    ~XlsxSheetWriter();
    XlsxSheetWriter(const XlsxSheetWriter&) = delete;
    XlsxSheetWriter& operator=(const XlsxSheetWriter&) = delete;

    // The most rows one sheet can hold, the header row included.
    static constexpr int MaxRows = 1'048'576;

    void setColumnWidth(int column, double width);
    void writeHeader(int column, const QString& text); // bold

    // The most characters (UTF-16 code units) one cell holds.
    static constexpr qsizetype MaxTextLength = 32'767;
    // Text as a cell can hold it: cut to MaxTextLength code units (never inside a character
    // written as a surrogate pair), and a NUL, which the file format cannot carry, shown as
    // U+FFFD so that what follows it is kept. *cut tells whether the text was shortened.
    static QString cellText(const QString& text, bool* cut = nullptr);

    // Text always lands as text, whatever it starts with: "=SUM(A1)" is not a formula.
    // Returns false when the text was too long for a cell and was cut (see cellText).
    bool writeText(int row, int column, const QString& text);
    void writeNumber(int row, int column, double value);
    // A date cell: days since 30 December 1899, the time of day as the fraction, which is
    // the spreadsheet's own serial date.
    void writeDate(int row, int column, double serialDate);
    void writeBoolean(int row, int column, bool value);

    // Writes the file; a failure here (a full disk, a vanished folder) raises.
    void close();

private:
    void check(int error, const char* what) const;

    QString m_fileName;
    const XlsxApi* m_api = nullptr;
    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_bold = nullptr;
    lxw_format* m_date = nullptr;
};
