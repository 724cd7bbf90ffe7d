#include "views/ChartPrinter.h"

#include "views/ChartFrame.h"
#include "views/PrintTimeLine.h"

#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace ChartPrinter {
namespace {

// Runs its action when it goes out of scope, on every way out.
template <typename Action> class Finally {
public:
    explicit Finally(Action action)
        : m_action(std::move(action))
    {
    }
    ~Finally() { m_action(); }
    Finally(const Finally&) = delete;
    Finally& operator=(const Finally&) = delete;

private:
    Action m_action;
};

// Starts a job on the printer; a job that fails while it is drawn is aborted.
class Job {
public:
    Job(QPrinter& printer, const QString& documentName)
        : m_printer(printer)
    {
        requirePrinter(printer);
        printer.setDocName(documentName);
        if (!m_painter.begin(&printer))
            throw PrintError(u"The printer %1 could not start the print job"_s.arg(
                printer.printerName().isEmpty() ? printer.outputFileName()
                                                : printer.printerName()));
    }
    ~Job()
    {
        if (m_painter.isActive()) {
            if (!m_finished)
                m_printer.abort();
            m_painter.end();
        }
    }
    QPainter& painter() { return m_painter; }
    void finish()
    {
        m_finished = true;
        m_painter.end();
    }

private:
    QPrinter& m_printer;
    QPainter m_painter;
    bool m_finished = false;
};

void layoutNow(QChart* chart)
{
    QCoreApplication::sendPostedEvents(chart, QEvent::LayoutRequest);
    if (chart->layout())
        chart->layout()->activate();
}

} // namespace

void requirePrinter(const QPrinter& printer)
{
    // With no printer installed the toolkit falls back to PDF output without a file.
    const bool toFile = !printer.outputFileName().isEmpty();
    if (!toFile &&
        (printer.outputFormat() == QPrinter::PdfFormat || printer.printerName().isEmpty()))
        throw PrintError(u"No printer is installed: there is nothing to print on"_s);
}

void printChart(QChartView* view, ChartFrame* frame, const QStringList& heading,
                const QStringList& titleAfter, QPrinter& printer, const QString& documentName,
                const QDateTime& now)
{
    const QString subtitle = frame->subtitle();
    Finally restoreLines([frame, &titleAfter, &subtitle] {
        frame->setTitleLines(titleAfter);
        frame->setSubtitle(subtitle);
        frame->setFootLines({});
    });
    frame->setSubtitle(QString());
    frame->setTitleLines(heading);
    frame->setFootLines({u" "_s, printTimeLine(now)});
    frame->printSettings = {QMarginsF(5, 5, 5, 5), false, -100};

    const QPageLayout::Orientation orientation = printer.pageLayout().orientation();
    Finally restoreOrientation(
        [&printer, orientation] { printer.setPageOrientation(orientation); });
    printer.setPageOrientation(QPageLayout::Landscape);

    Job job(printer, documentName);
    QChart* chart = view->chart();
    const QSizeF screenSize = chart->size();
    Finally restoreSize([chart, screenSize] {
        chart->resize(screenSize);
        layoutNow(chart);
    });
    const ChartFrame::PrintSettings& settings = frame->printSettings;
    const double scale = settings.resolution < 0 ? 1.0 - settings.resolution / 100.0 : 1.0;
    chart->resize(screenSize * scale);
    layoutNow(chart);

    // Margins are shares of the whole sheet; the painter starts at its printable area.
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF printable = printer.pageRect(QPrinter::DevicePixel);
    const QMarginsF& m = settings.margins;
    QRectF target(paper.width() * m.left() / 100, paper.height() * m.top() / 100,
                  paper.width() * (100 - m.left() - m.right()) / 100,
                  paper.height() * (100 - m.top() - m.bottom()) / 100);
    target.translate(-printable.topLeft() + paper.topLeft());
    QPainter& painter = job.painter();
    painter.setRenderHint(QPainter::Antialiasing);
    view->scene()->render(&painter, target, chart->sceneBoundingRect(),
                          settings.proportional ? Qt::KeepAspectRatio : Qt::IgnoreAspectRatio);
    job.finish();
}

void printPicture(const QPixmap& picture, double screenDpi, QPrinter& printer,
                  const QString& documentName)
{
    Job job(printer, documentName);
    const QSizeF pixels = picture.deviceIndependentSize();
    QSizeF dots = pixels * (printer.resolution() / screenDpi);
    const QSizeF page = printer.pageRect(QPrinter::DevicePixel).size();
    if (dots.width() > page.width() || dots.height() > page.height())
        dots.scale(page, Qt::KeepAspectRatio);
    job.painter().drawPixmap(QRectF(QPointF(0, 0), dots), picture, QRectF(picture.rect()));
    job.finish();
}

} // namespace ChartPrinter
