#include "ui/MainForm.h"

#include "data/DM2.h"
#include "engine/Directories.h"
#include "toolkit/ErrorReport.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

TMainForm::TMainForm(TDMVardometer& dataModule, const QStringList& arguments, DiskSpaceProbe& probe,
                     const Clock& clock, QWidget* parent)
    : QMainWindow(parent)
    , m_dm(dataModule)
    , m_arguments(arguments)
    , m_probe(probe)
    , m_clock(clock)
{
    setObjectName(u"MainForm"_s);
    setWindowTitle(u"Vardometer"_s);
    resize(1057, 641);
    buildLayout();
    FormCreate();
}

TMainForm::~TMainForm()
{
    FormDestroy();
}

void TMainForm::buildLayout()
{
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(u"Splitter1"_s);
    Splitter1->setHandleWidth(8);
    Splitter1->setChildrenCollapsible(false);

    TVMenu = new QTreeWidget(Splitter1);
    TVMenu->setObjectName(u"TVMenu"_s);
    TVMenu->setHeaderHidden(true);
    TVMenu->setIndentation(19);

    PagesFreeSpace = new QTabWidget(Splitter1);
    PagesFreeSpace->setObjectName(u"PagesFreeSpace"_s);
    const std::array<std::pair<const char16_t*, const char16_t*>, 4> pages{{
        {u"PageFreeSpaceChart", u"Chart"},
        {u"PagesFreeSpaceSummary", u"Summary"},
        {u"PagesFreeSpaceHistory", u"History"},
        {u"PagesFreeSpaceSystem", u"System History"},
    }};
    for (const auto& [name, caption] : pages) {
        auto* page = new QWidget(PagesFreeSpace);
        page->setObjectName(QString::fromUtf16(name));
        PagesFreeSpace->addTab(page, QString::fromUtf16(caption));
    }
    // The snapshot's progress, across the bottom of the summary page; visible and empty
    // until the first snapshot hides it.
    auto* summaryLayout = new QVBoxLayout(PagesFreeSpace->widget(PageSummary));
    summaryLayout->setContentsMargins(0, 0, 0, 0);
    summaryLayout->addStretch(1);
    PBarLoad = new QProgressBar(PagesFreeSpace->widget(PageSummary));
    PBarLoad->setObjectName(u"PBarLoad"_s);
    PBarLoad->setFixedHeight(17);
    PBarLoad->setRange(0, 100);
    PBarLoad->setValue(0);
    PBarLoad->setTextVisible(false);
    summaryLayout->addWidget(PBarLoad);
    // As laid out, the summary is in front until startup brings the chart forward.
    PagesFreeSpace->setCurrentIndex(PageSummary);

    Splitter1->addWidget(TVMenu);
    Splitter1->addWidget(PagesFreeSpace);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({185, 1057 - 185 - 8});
    setCentralWidget(Splitter1);

    QStatusBar* bar = statusBar();
    bar->setObjectName(u"StatusBar"_s);
    bar->setSizeGripEnabled(true);
    const std::array<int, 4> widths{185, 185, 185, 50};
    for (size_t i = 0; i < widths.size(); ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(u"StatusPanel%1"_s.arg(i));
        panel->setFixedWidth(widths[i]);
        panel->setFrameStyle(QFrame::Panel | (i == 1 ? QFrame::Raised : QFrame::Sunken));
        bar->addWidget(panel);
        m_statusPanels[i] = panel;
    }
    m_statusPanels[0]->setText(u"Watching disk space"_s);
}

QString TMainForm::statusPanelText(int panel) const
{
    return m_statusPanels.at(static_cast<size_t>(panel))->text();
}

void TMainForm::FormCreate()
{
    // Each step relies on the ones before it: an error reports and skips the rest, and the
    // window still opens with whatever was done.
    try {
        m_debugMode = false;
        if (m_arguments.size() == 1 && m_arguments.front() == u"d")
            m_statusPanels[1]->setText(u"DEBUG MODE"_s);
        move(50, 50);
        m_dm.ADOVardometer.open();
        m_dm.SetAllDatasetsActive(true);
        m_directories = std::make_unique<dvDirectories>(m_dm, *this, m_probe, m_clock);
        m_directories->RefreshSystemTree();
        PagesFreeSpace->setCurrentIndex(PageChart);
    } catch (const std::exception& e) {
        ErrorReport::report(e);
    }
}

void TMainForm::FormDestroy()
{
    // Nothing pending is saved at exit; closing a dataset drops its unposted edit.
    try {
        m_dm.SetAllDatasetsActive(false);
    } catch (const std::exception& e) {
        ErrorReport::report(e);
    }
    try {
        m_dm.ADOVardometer.close();
    } catch (const std::exception& e) {
        ErrorReport::report(e);
    }
}

void TMainForm::setBusy(bool busy)
{
    // Counted, because a run started by a timer inside another run's dialog nests.
    if (busy) {
        if (m_busyDepth++ == 0)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (m_busyDepth > 0 && --m_busyDepth == 0) {
        QApplication::restoreOverrideCursor();
    }
}

void TMainForm::showSummaryPage()
{
    PagesFreeSpace->setCurrentIndex(PageSummary);
}

void TMainForm::startProgress(int maximum)
{
    PBarLoad->setRange(0, maximum);
    PBarLoad->setValue(0);
    PBarLoad->setVisible(true);
}

void TMainForm::stepProgress()
{
    PBarLoad->setValue(std::min(PBarLoad->value() + 1, PBarLoad->maximum()));
}

void TMainForm::hideProgress()
{
    PBarLoad->setVisible(false);
}

void TMainForm::holdGrids() {}

void TMainForm::releaseGrids() {}

void TMainForm::repaintHistoryGrid() {}

void TMainForm::setCompanyName(const QString&) {}

void TMainForm::clearSystemList() {}

void TMainForm::addSystem(const QString&) {}

void TMainForm::refreshSummaryChart() {}

void TMainForm::showSystemHistory(const QString&) {}

void TMainForm::showMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, this);
    box.exec();
}

// The popup alert window comes with its own class; until then deliveries show nothing.
void TMainForm::createPopupWindow() {}

void TMainForm::appendPopupLine(const QString&) {}

void TMainForm::showPopupWindow() {}
