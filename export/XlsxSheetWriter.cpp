#include "export/XlsxSheetWriter.h"

#include "export/ExportError.h"
#include "export/XlsxApi.h"
#include "platform/QuietStandardError.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

using namespace Qt::Literals::StringLiterals;

XlsxSheetWriter::XlsxSheetWriter(const QString& fileName, const QString& sheetName)
    : m_fileName(fileName)
{
    QString whyNot;
    m_api = xlsxApi(&whyNot);
    if (!m_api)
        throw ExportError(u"Could not start the workbook %1: %2"_s.arg(fileName, whyNot));
    const QByteArray file = QFile::encodeName(fileName);
    {
        // The library prints its own lines besides returning its error; ours say it all.
        const QuietStandardError quiet;
        m_workbook = m_api->workbookNew(file.constData());
    }
    if (!m_workbook)
        throw ExportError(u"Could not start the workbook %1"_s.arg(fileName));
    m_sheet = m_api->addWorksheet(m_workbook, sheetName.toUtf8().constData());
    m_bold = m_api->addFormat(m_workbook);
    m_date = m_api->addFormat(m_workbook);
    if (!m_sheet || !m_bold || !m_date)
        throw ExportError(u"Could not start the workbook %1"_s.arg(fileName));
    m_api->setBold(m_bold);
    // An unambiguous date the same everywhere; the value itself stays the serial date.
    m_api->setNumFormat(m_date, "yyyy-mm-dd");
}

XlsxSheetWriter::~XlsxSheetWriter()
{
    if (m_workbook)
        m_api->free(m_workbook);
}

void XlsxSheetWriter::check(int error, const char* what) const
{
    if (error == LXW_NO_ERROR)
        return;
    if (error == LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE)
        throw ExportError(
            u"A sheet holds at most %L1 rows; %2 was not written"_s.arg(MaxRows).arg(m_fileName));
    throw ExportError(u"Could not write %1 (%2): %3"_s.arg(
        m_fileName, QString::fromLatin1(what),
        QString::fromLocal8Bit(m_api->strerror(static_cast<lxw_error>(error)))));
}

void XlsxSheetWriter::setColumnWidth(int column, double width)
{
    const auto c = static_cast<lxw_col_t>(column);
    check(m_api->setColumn(m_sheet, c, c, width, nullptr), "column width");
}

void XlsxSheetWriter::writeHeader(int column, const QString& text)
{
    check(m_api->writeString(m_sheet, 0, static_cast<lxw_col_t>(column), text.toUtf8().constData(),
                             m_bold),
          "header");
}

QString XlsxSheetWriter::cellText(const QString& text, bool* cut)
{
    // Counted in UTF-16 code units, as spreadsheet programs count a cell's characters; a
    // character written as a surrogate pair is kept whole or left out whole.
    qsizetype length = std::min(text.size(), MaxTextLength);
    if (length < text.size() && length > 0 && text[length - 1].isHighSurrogate())
        --length;
    QString cell = text.left(length);
    cell.replace(QChar(0), QChar(QChar::ReplacementCharacter));
    if (cut)
        *cut = length < text.size();
    return cell;
}

bool XlsxSheetWriter::writeText(int row, int column, const QString& text)
{
    bool cut = false;
    const QByteArray cell = cellText(text, &cut).toUtf8();
    // A string cell is never read as a formula, so no text needs escaping here.
    check(m_api->writeString(m_sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
                             cell.constData(), nullptr),
          "text cell");
    return !cut;
}

void XlsxSheetWriter::writeNumber(int row, int column, double value)
{
    // The file format has no infinities; such a value is kept as its text rather than lost.
    if (!std::isfinite(value)) {
        writeText(row, column, QString::number(value));
        return;
    }
    check(m_api->writeNumber(m_sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
                             value, nullptr),
          "number cell");
}

void XlsxSheetWriter::writeDate(int row, int column, double serialDate)
{
    if (!std::isfinite(serialDate)) {
        writeText(row, column, QString::number(serialDate));
        return;
    }
    check(m_api->writeNumber(m_sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
                             serialDate, m_date),
          "date cell");
}

void XlsxSheetWriter::writeBoolean(int row, int column, bool value)
{
    check(m_api->writeBoolean(m_sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
                              value ? 1 : 0, nullptr),
          "boolean cell");
}

void XlsxSheetWriter::close()
{
    lxw_workbook* workbook = m_workbook;
    m_workbook = nullptr; // closing frees it, whatever the outcome
    errno = 0;
    lxw_error error = LXW_NO_ERROR;
    int closeErrno = 0;
    {
        const QuietStandardError quiet;
        error = m_api->close(workbook);
        closeErrno = errno;
    }
    errno = closeErrno;
    if (error == LXW_NO_ERROR)
        return;
    QString reason = QString::fromLocal8Bit(m_api->strerror(error));
    if (errno != 0)
        reason += u" ("_s + QString::fromLocal8Bit(std::strerror(errno)) + u')';
    throw ExportError(u"Could not write %1: %2"_s.arg(m_fileName, reason));
}
