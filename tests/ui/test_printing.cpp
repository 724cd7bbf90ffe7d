// File > Print: the chart pages print their chart alone with a heading and a footer, the
// grid pages a picture of the window. Read back from Qt's PDF output with pdftotext and
// pdfinfo, and printed through a real spooler with a cups-pdf queue when one was started
// for the tests (tests/print/cups-server.sh).
#include "data/DateTimeValue.h"
#include "support/MainWindowFixture.h"
#include "support/WidgetTestMain.h"
#include "support/WindowTest.h"
#include "views/ChartFrame.h"
#include "views/ChartFreeSpaceSummary.h"
#include "views/ChartSysHistory.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

struct PdfPages {
    int count = 0;
    QSizeF points; // of the first page
    bool landscape() const { return points.width() > points.height(); }
};

PdfPages pdfInfo(const QString& file)
{
    const QString info = run(u"pdfinfo"_s, {file});
    PdfPages pages;
    pages.count = QRegularExpression(u"Pages:\\s+(\\d+)"_s).match(info).captured(1).toInt();
    const auto size = QRegularExpression(u"Page size:\\s+([\\d.]+) x ([\\d.]+) pts"_s).match(info);
    pages.points = QSizeF(size.captured(1).toDouble(), size.captured(2).toDouble());
    return pages;
}

// The lines of text on a PDF's page in the order they were drawn, from the heading on
// (the chart's own texts come before it). pdftotext reads runs of blanks as one.
QStringList pdfLines(const QString& file)
{
    QStringList lines;
    for (const QString& line : run(u"pdftotext"_s, {u"-raw"_s, file, u"-"_s}).split(u'\n'))
        if (!line.trimmed().isEmpty())
            lines << line.simplified();
    return lines;
}

QStringList heading(const QStringList& lines)
{
    return lines.mid(lines.indexOf(u"Acme"_s));
}

// Which side of a printed page has the widest margin around a chart's plot (its light yellow
// wall): the bottom, where the axis, legend and footer are, on a chart laid out the way up
// the page is; a side, on a landscape chart the spooler turned onto portrait paper.
Qt::Edge widestMarginAroundPlot(const QString& pdf)
{
    const QString prefix = pdf + u"-page"_s;
    run(u"pdftoppm"_s, {u"-r"_s, u"30"_s, u"-png"_s, u"-singlefile"_s, pdf, prefix});
    const QImage page(prefix + u".png"_s);
    QRect wall;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.red() > 240 && c.green() > 240 && std::abs(c.blue() - 128) < 20)
                wall |= QRect(x, y, 1, 1);
        }
    if (wall.isEmpty())
        return Qt::Edge{};
    const QList<std::pair<int, Qt::Edge>> margins{{wall.top(), Qt::TopEdge},
                                                  {page.height() - wall.bottom(), Qt::BottomEdge},
                                                  {wall.left(), Qt::LeftEdge},
                                                  {page.width() - wall.right(), Qt::RightEdge}};
    return std::max_element(margins.begin(), margins.end())->second;
}

struct Window : MainWindowFixture {
    explicit Window(const QList<DatabaseCreator::NewSystem>& systems, const QStringList& sql = {})
        : MainWindowFixture(systems, QStringList{u"UPDATE Options SET CompanyName = 'Acme', "
                                                 u"PopupAlerts = 0, EMailAlerts = 0"_s,
                                                 u"UPDATE Systems SET LastUsedMB = 30720, "
                                                 u"LastFreeMB = 10240"_s} +
                                         sql)
    {
        open();
        form->resize(1057, 641);
        form->show();
    }
    QTabWidget* pages() const { return form->findChild<QTabWidget*>(u"PagesFreeSpace"_s); }
    // Prints the page in front into a PDF file of Qt's own output.
    QString printToPdf(int page, const QString& name)
    {
        pages()->setCurrentIndex(page);
        const QString file = db.dir() + u'/' + name;
        form->currentPrinter().setOutputFormat(QPrinter::PdfFormat);
        form->currentPrinter().setOutputFileName(file);
        form->MnuMainFilePrintClick();
        return file;
    }
};

const QString PrintTime = u"Printed on Sunday, March 11, 2007, at 09:30 AM"_s;

} // namespace

class TestPrinting : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void summaryChartPrintsTheSameHeadingEveryTime()
    {
        Window w({{u"Mail"_s, u"/srv/mail"_s, {}}});
        const QString first = w.printToPdf(TMainForm::PageChart, u"first.pdf"_s);
        const QString second = w.printToPdf(TMainForm::PageChart, u"second.pdf"_s);
        const QStringList lines = pdfLines(first);
        QVERIFY(lines.contains(u"Mail"_s));
        QCOMPARE(heading(lines), (QStringList{u"Acme"_s, u"Drive Summary"_s, PrintTime}));
        QCOMPARE(pdfLines(second), lines);
        const PdfPages pages = pdfInfo(first);
        QCOMPARE(pages.count, 1);
        QVERIFY(pages.landscape());
        // On screen afterwards: one title line with its leading blank, no foot lines.
        ChartFrame* frame = w.form->summaryChartView()->frame();
        QCOMPARE(frame->titleLines(), QStringList{u" Drive Summary"_s});
        QVERIFY(frame->footLines().isEmpty());
        QCOMPARE(frame->printSettings.margins, QMarginsF(5, 5, 5, 5));
        QVERIFY(!frame->printSettings.proportional);
        QCOMPARE(frame->printSettings.resolution, -100);
        QCOMPARE(w.form->currentPrinter().pageLayout().orientation(), QPageLayout::Portrait);
        QCOMPARE(w.form->currentPrinter().docName(), u"ChartSummary"_s);
    }

    void historyChartKeepsItsTitle()
    {
        Window w({{u"Alpha"_s, u"/srv/a"_s, {}}},
                 {u"INSERT INTO FreeSpaceHistory (System, Date, Time, FreeMB, UsedMB) "
                  u"VALUES ('Alpha', %1, 0.5, 20480, 40960)"_s.arg(
                      DateTimeValue::fromDate(QDate(2009, 1, 5)))});
        dvChartSysHistory* history = w.form->historyChartView();
        history->setSubtitle(u"in 41 days (33-52)"_s);
        const QString file = w.printToPdf(TMainForm::PageSystemHistory, u"history.pdf"_s);
        const QStringList lines = pdfLines(file);
        QCOMPARE(heading(lines),
                 (QStringList{u"Acme"_s, u"Alpha History"_s, u"in 41 days (33-52)"_s, PrintTime}));
        QVERIFY(pdfInfo(file).landscape());
        QCOMPARE(history->frame()->titleLines(), QStringList{u"Alpha History"_s});
        QCOMPARE(history->subtitle(), u"in 41 days (33-52)"_s);
        QVERIFY(history->frame()->footLines().isEmpty());
        QCOMPARE(w.form->currentPrinter().docName(), u"ChartSystemHistory"_s);
    }

    void historyChartWithNoSystemShown()
    {
        Window w({});
        const QString file = w.printToPdf(TMainForm::PageSystemHistory, u"empty.pdf"_s);
        QCOMPARE(heading(pdfLines(file)), (QStringList{u"Acme"_s, PrintTime}));
        QCOMPARE(w.form->historyChartView()->frame()->titleLines(), QStringList{QString()});
    }

    void windowPictureInThePrintersOrientation()
    {
        Window w({{u"Mail"_s, u"/srv/mail"_s, {}}});
        // As "Print Setup ..." leaves it after choosing portrait.
        w.form->currentPrinter().setPageOrientation(QPageLayout::Portrait);
        for (int page : {int(TMainForm::PageSummary), int(TMainForm::PageHistory)}) {
            const QString picture = w.printToPdf(page, u"window%1.pdf"_s.arg(page));
            const PdfPages pages = pdfInfo(picture);
            QCOMPARE(pages.count, 1);
            QVERIFY(!pages.landscape());
            // No heading or footer: the picture is all there is.
            QVERIFY(pdfLines(picture).isEmpty());
            // A chart printed in between comes out landscape and leaves portrait behind.
            QVERIFY(pdfInfo(w.printToPdf(TMainForm::PageChart, u"chart.pdf"_s)).landscape());
            QCOMPARE(w.form->currentPrinter().pageLayout().orientation(), QPageLayout::Portrait);
        }
    }

    // Run as test_printing_without_printer, where no spooler is reachable, so the window's
    // printer is what the toolkit gives when none is installed.
    void withoutAPrinterTheErrorIsReported()
    {
        if (!QPrinterInfo::availablePrinters().isEmpty())
            QSKIP("a printer is installed here; test_printing_without_printer runs this where "
                  "none is");
        Window w({{u"Alpha"_s, u"/srv/a"_s, {}}});
        const QString expected = u"No printer is installed: there is nothing to print on."_s;
        for (int page : {int(TMainForm::PageChart), int(TMainForm::PageSystemHistory),
                         int(TMainForm::PageSummary)}) {
            w.pages()->setCurrentIndex(page);
            w.form->MnuMainFilePrintClick();
            QCOMPARE(reports, QStringList{expected});
            reports.clear();
        }
        QCOMPARE(w.form->summaryChartView()->frame()->titleLines(),
                 QStringList{u" Drive Summary"_s});
        QVERIFY(w.form->summaryChartView()->frame()->footLines().isEmpty());
        QCOMPARE(w.form->historyChartView()->frame()->titleLines(),
                 QStringList{u"Alpha History"_s});
        QVERIFY(w.form->historyChartView()->frame()->footLines().isEmpty());
    }

    void throughTheSpooler()
    {
        const QString outDir = qEnvironmentVariable("VARDOMETER_CUPS_PDF_DIR");
        if (qEnvironmentVariable("CUPS_SERVER").isEmpty() || outDir.isEmpty())
            QSKIP("no print spooler was started for this test: run tests/print/cups-server.sh "
                  "start and export the variables it prints");
        Window w({{u"Alpha"_s, u"/srv/a"_s, {}}});
        QPrinter& printer = w.form->currentPrinter();
        QCOMPARE(printer.outputFormat(), QPrinter::NativeFormat);
        QVERIFY(!printer.printerName().isEmpty());
        const auto completedJobs = [] {
            return run(u"lpstat"_s, {u"-W"_s, u"completed"_s, u"-o"_s})
                .split(u'\n', Qt::SkipEmptyParts)
                .size();
        };
        const int jobsBefore = completedJobs();
        const QList<std::pair<int, QString>> prints{
            {TMainForm::PageChart, u"ChartSummary"_s},
            {TMainForm::PageSystemHistory, u"ChartSystemHistory"_s},
            {TMainForm::PageSummary, u"Vardometer"_s}};
        // cups-pdf names each file after its job's title, with a suffix of its own.
        const auto output = [&outDir](const QString& title) {
            return QDir(outDir).entryList({title + u"*.pdf"_s}, QDir::Files);
        };
        for (const auto& [page, title] : prints)
            for (const QString& old : output(title))
                QFile::remove(outDir + u'/' + old);
        for (const auto& [page, title] : prints) {
            w.pages()->setCurrentIndex(page);
            w.form->MnuMainFilePrintClick();
        }
        QTRY_COMPARE_WITH_TIMEOUT(completedJobs(), jobsBefore + 3, 60000);
        // Every job comes out on the printer's paper as it lies; a chart's landscape page is
        // turned onto it.
        const QSizeF paper = printer.pageLayout().fullRect(QPageLayout::Point).size();
        for (const auto& [page, title] : prints) {
            QTRY_COMPARE_WITH_TIMEOUT(output(title).size(), 1, 30000);
            const QString file = outDir + u'/' + output(title).front();
            QTRY_VERIFY_WITH_TIMEOUT(pdfInfo(file).count == 1, 30000);
            const PdfPages pages = pdfInfo(file);
            QVERIFY2(std::abs(pages.points.width() - paper.width()) < 2 &&
                         std::abs(pages.points.height() - paper.height()) < 2,
                     qPrintable(u"%1: %2 x %3"_s.arg(title)
                                    .arg(pages.points.width())
                                    .arg(pages.points.height())));
            if (page != TMainForm::PageSummary) {
                const Qt::Edge widest = widestMarginAroundPlot(file);
                QVERIFY2(widest == Qt::LeftEdge || widest == Qt::RightEdge, qPrintable(title));
            }
        }
        QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Portrait);
    }
};

VARDOMETER_WIDGET_TEST_MAIN(TestPrinting)

#include "test_printing.moc"
