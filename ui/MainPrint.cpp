// File > Print Setup ... and File > Print: the chart pages print their chart alone, with a
// heading and a footer; the grid pages print a picture of the window.
#include "ui/MainForm.h"

#include "engine/Clock.h"
#include "toolkit/ErrorReport.h"
#include "views/ChartFrame.h"
#include "views/ChartFreeSpaceSummary.h"
#include "views/ChartPrinter.h"
#include "views/ChartSysHistory.h"
#include "views/ChartViewport.h"

#include <QMenuBar>
#include <QPrintDialog>
#include <QTabWidget>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;

void TMainForm::MnuMainFilePrintSetupClick()
{
    // What is chosen here is the printer every later print job uses; whether the user
    // confirmed or cancelled does not matter.
    QPrintDialog dialog(&m_printer, this);
    dialog.setObjectName(u"PrinterSetupDialog"_s);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.exec();
}

void TMainForm::MnuMainFilePrintClick()
{
    ErrorReport::guarded([this] {
        switch (PagesFreeSpace->currentIndex()) {
        case PageChart:
            printSummaryChart();
            break;
        case PageSystemHistory:
            printHistoryChart();
            break;
        default:
            printWindowImage();
            break;
        }
    });
}

QString TMainForm::companyCaption() const
{
    return TVMenu->topLevelItem(0)->text(0);
}

void TMainForm::printSummaryChart()
{
    if (!SummaryChartView)
        return;
    // From the first print on, the on-screen title keeps the heading's leading blank.
    const QString title = u" Drive Summary"_s;
    ChartPrinter::printChart(ChartSummary, SummaryChartView->frame(),
                             {companyCaption(), u" "_s, title, u" "_s}, {title}, m_printer,
                             u"ChartSummary"_s, m_clock.now());
}

void TMainForm::printHistoryChart()
{
    if (!HistoryChartView)
        return;
    const QString title = HistoryChartView->frame()->titleLines().value(0);
    QStringList heading{companyCaption(), u" "_s, title};
    if (!HistoryChartView->subtitle().isEmpty())
        heading << HistoryChartView->subtitle();
    heading << u" "_s;
    ChartPrinter::printChart(ChartSystemHistory, HistoryChartView->frame(), heading, {title},
                             m_printer, u"ChartSystemHistory"_s, m_clock.now());
}

void TMainForm::printWindowImage()
{
    // The client area: tool bar, tree, pages and status bar, without the menu bar.
    const int top = menuBar()->isVisible() ? menuBar()->geometry().bottom() + 1 : 0;
    const QPixmap picture = grab(QRect(0, top, width(), height() - top));
    ChartPrinter::printPicture(picture, logicalDpiX(), m_printer, u"Vardometer"_s);
}
