// Pictures of the chart pages and their printouts, for looking at by eye: run it under a
// virtual X server on a database with some history.
//
//   xvfb-run -a build/tests/chart_pictures Vardometer.db OUTDIR
//
// It writes the summary chart in percentage and gigabyte mode, the first system's history,
// and each page printed to PDF (turn them into pictures with pdftoppm).

#include "data/DM2.h"
#include "engine/Clock.h"
#include "platform/DispatchingDiskSpaceProbe.h"
#include "platform/SmtpTransport.h"
#include "ui/MainForm.h"

#include <QApplication>
#include <QDir>
#include <QPrinter>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DATABASE OUTDIR\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(u"Vardometer"_s);
    const QDir out(QString::fromLocal8Bit(argv[2]));
    SystemClock clock;
    auto probe = createDiskSpaceProbe();
    auto mail = createSmtpTransport();
    TDMVardometer dm(QString::fromLocal8Bit(argv[1]));
    TMainForm form(dm, {}, *probe, clock, *mail);
    form.show();
    QTest::qWait(300);
    auto* pages = form.findChild<QTabWidget*>(u"PagesFreeSpace"_s);
    auto snap = [&](const QString& name) {
        QTest::qWait(200);
        form.grab().save(out.filePath(name + u".png"_s));
    };
    auto print = [&](const QString& name) {
        form.currentPrinter().setOutputFormat(QPrinter::PdfFormat);
        form.currentPrinter().setOutputFileName(out.filePath(name + u".pdf"_s));
        form.MnuMainFilePrintClick();
    };
    pages->setCurrentIndex(TMainForm::PageChart);
    snap(u"summary-percent"_s);
    print(u"print-summary"_s);
    form.findChild<QRadioButton*>(u"GrpUsageGB"_s)->click();
    snap(u"summary-gb"_s);
    pages->setCurrentIndex(TMainForm::PageSystemHistory);
    snap(u"history"_s);
    print(u"print-history"_s);
    pages->setCurrentIndex(TMainForm::PageSummary);
    snap(u"summary-grid"_s);
    print(u"print-window"_s);
    return 0;
}
