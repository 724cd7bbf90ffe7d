// The three "Export to Excel" commands of the main window.

#include "ui/MainForm.h"

#include "data/DM2.h"
#include "engine/Clock.h"
#include "engine/RunGuards.h"
#include "export/SheetExport.h"
#include "export/WorkbookFile.h"
#include "export/WorkbookLayouts.h"
#include "toolkit/ErrorReport.h"

#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace {

// Writes the workbook into a new file of the export folder, under the hourglass.
QString saveWorkbook(EngineHost& host, DataSet& records, const WorkbookLayout& layout,
                     const QDateTime& now)
{
    BusyGuard busy(host);
    return WorkbookFile::saveInFolder(
        WorkbookFile::defaultFolder(), WorkbookFile::baseName(layout.title, now),
        [&](const QString& file) { SheetExport::write(records, layout, file); });
}

// Hands the saved workbook to the desktop's program for spreadsheets. The file is kept
// whatever happens, so when nothing takes it the user learns where it is.
void openWorkbook(const QString& path, QWidget* parent)
{
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return;
    QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(),
                    u"The workbook was saved as\n\n%1\n\nbut no program could be started to "
                    u"open it. Open it from there with a spreadsheet program."_s.arg(
                        QDir::toNativeSeparators(path)),
                    QMessageBox::Ok, parent);
    box.setObjectName(u"ExportNotOpenedMessage"_s);
    box.exec();
}

void exportAndOpen(TMainForm& window, DataSet& records, const WorkbookLayout& layout,
                   const QDateTime& now)
{
    ErrorReport::guarded([&] {
        const QString path = saveWorkbook(window, records, layout, now);
        openWorkbook(path, &window);
    });
}

} // namespace

// The two Systems exports walk the live table the summary grid shows, so its selection runs
// through every row and rests on the last one afterwards.
void TMainForm::MnuMainActionExportExcelFreeSpaceSummaryClick()
{
    exportAndOpen(*this, m_dm.ATblSystems, WorkbookLayouts::freeSpaceSummary(), m_clock.now());
}

// The history table follows the current Systems row: the snapshots of the current system.
void TMainForm::MnuMainActionExportExcelHistoryDetailsClick()
{
    exportAndOpen(*this, m_dm.ATblFreeSpaceHistory, WorkbookLayouts::historyDetails(),
                  m_clock.now());
}

void TMainForm::MnuMainActionExportExcelSystemsClick()
{
    exportAndOpen(*this, m_dm.ATblSystems, WorkbookLayouts::systems(), m_clock.now());
}
