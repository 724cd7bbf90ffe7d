#include "ui/MainForm.h"

#include "data/DM2.h"
#include "engine/Clock.h"
#include "engine/Directories.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/DataGrid.h"
#include "toolkit/ErrorReport.h"
#include "ui/MsgBox.h"
#include "ui/Options.h"
#include "ui/Pictures.h"
#include "ui/Systems.h"
#include "views/ChartFreeSpaceSummary.h"
#include "views/ChartSysHistory.h"
#include "views/GridRules.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

TMainForm::TMainForm(TDMVardometer& dataModule, const QStringList& arguments, DiskSpaceProbe& probe,
                     const Clock& clock, SmtpTransport& mail, QWidget* parent)
    : QMainWindow(parent)
    , m_dm(dataModule)
    , m_arguments(arguments)
    , m_probe(probe)
    , m_clock(clock)
    , m_mail(mail)
{
    setObjectName(u"MainForm"_s);
    setWindowTitle(u"Vardometer"_s);
    resize(1057, 641);
    // An 8-point sans serif of the classic metrics (Liberation Sans is Arial's metric twin);
    // every column width is counted in its digits.
    setFont(QFont(u"Liberation Sans"_s, 8));
    buildLayout();
    createTimers();
    createDatabaseWatch();
    FormCreate();
    // The dialogs are created once at start, hidden, and reused, in this order.
    createInformationDialogs();
    OptionsForm = new TOptionsForm(&m_dm.SrcOptions, &m_dm.SrcAlerts, &m_dm.SrcCredentials,
                                   optionsHooks(), this);
    // It edits the same Systems dataset the summary shows.
    SystemsForm = new TSystemsForm(&m_dm.SrcSystems, this);
    SystemsForm->setWindowIcon(windowIcon());
    SystemsForm->setFont(font());
    createTray();
}

TMainForm::~TMainForm()
{
    if (m_hiddenInTray)
        QGuiApplication::setQuitOnLastWindowClosed(m_quitOnLastWindowClosed);
    FormDestroy();
}

void TMainForm::buildLayout()
{
    setWindowIcon(Pictures::icon(Pictures::CheckSpace));

    CoolBarMain = new QToolBar(this);
    CoolBarMain->setObjectName(u"CoolBarMain"_s);
    CoolBarMain->setMovable(false);
    CoolBarMain->setFloatable(false);
    CoolBarMain->setFixedHeight(29);
    CoolBarMain->setContentsMargins(8, 0, 0, 0);
    BtnCheckSpace = new QToolButton(CoolBarMain);
    BtnCheckSpace->setObjectName(u"BtnCheckSpace"_s);
    BtnCheckSpace->setText(u"Check Space"_s);
    BtnCheckSpace->setIcon(Pictures::icon(Pictures::CheckSpace));
    BtnCheckSpace->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    BtnCheckSpace->setAutoRaise(true);
    BtnCheckSpace->setFixedSize(113, 25);
    CoolBarMain->addWidget(BtnCheckSpace);
    connect(BtnCheckSpace, &QToolButton::clicked, this, &TMainForm::MnuMainActionCheckSpaceClick);
    addToolBar(Qt::TopToolBarArea, CoolBarMain);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(u"Splitter1"_s);
    Splitter1->setHandleWidth(8);
    Splitter1->setChildrenCollapsible(false);

    buildTree();

    PagesFreeSpace = new QTabWidget(Splitter1);
    PagesFreeSpace->setObjectName(u"PagesFreeSpace"_s);
    PagesFreeSpace->setUsesScrollButtons(false);
    const std::array<std::tuple<const char16_t*, const char16_t*, Pictures::Picture>, 4> pages{{
        {u"PageFreeSpaceChart", u"Chart", Pictures::Chart},
        {u"PagesFreeSpaceSummary", u"Summary", Pictures::Table},
        {u"PagesFreeSpaceHistory", u"History", Pictures::Table},
        {u"PagesFreeSpaceSystem", u"System History", Pictures::Chart},
    }};
    for (const auto& [name, caption, picture] : pages) {
        auto* page = new QWidget(PagesFreeSpace);
        page->setObjectName(QString::fromUtf16(name));
        PagesFreeSpace->addTab(page, Pictures::icon(picture), QString::fromUtf16(caption));
    }

    // The snapshot's progress, across the bottom of the summary page; visible and empty
    // until the first snapshot hides it.
    PBarLoad = new QProgressBar(PagesFreeSpace->widget(PageSummary));
    PBarLoad->setObjectName(u"PBarLoad"_s);
    PBarLoad->setFixedHeight(17);
    PBarLoad->setRange(0, 100);
    PBarLoad->setValue(0);
    PBarLoad->setTextVisible(false);

    buildChartPages();
    buildGrids();

    Splitter1->addWidget(TVMenu);
    Splitter1->addWidget(PagesFreeSpace);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({185, 1057 - 185 - 8});
    setCentralWidget(Splitter1);

    QStatusBar* bar = statusBar();
    bar->setObjectName(u"StatusBar"_s);
    bar->setSizeGripEnabled(true);
    bar->setFixedHeight(22);
    const std::array<int, 4> widths{185, 185, 185, 50};
    for (size_t i = 0; i < widths.size(); ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(u"StatusPanel%1"_s.arg(i));
        panel->setFixedWidth(widths[i]);
        panel->setFrameStyle(QFrame::Panel | (i == 1 ? QFrame::Raised : QFrame::Sunken));
        bar->addWidget(panel);
        m_statusPanels[i] = panel;
    }
    m_statusPanels[0]->setText(StatusNotice);

    buildMenus();
    // As laid out, the summary is in front until startup brings the chart forward.
    PagesFreeSpace->setCurrentIndex(PageSummary);
}

void TMainForm::buildGrids()
{
    auto* summaryPage = PagesFreeSpace->widget(PageSummary);
    GridCurrentFreeSpace = new DataGrid(&m_dm.SrcSystems, GridRules::summaryColumns(), summaryPage);
    GridCurrentFreeSpace->setObjectName(u"GridCurrentFreeSpace"_s);
    GridCurrentFreeSpace->setTwoTitleLines(true);
    GridCurrentFreeSpace->setLines(true, true);
    GridCurrentFreeSpace->setStretchColumns(true);
    DataGridModel* summary = GridCurrentFreeSpace->gridModel();
    summary->setTitleRule(&GridRules::summaryTitleAlignment);
    // The prediction is measured against today by the engine's clock, like every run date.
    summary->setCellColorsRule(
        [this](const DataGridModel& model, int row, const QString& fieldName, CellColors& colors) {
            GridRules::summaryCellColors(fieldName, model.value(row, u"LastUsed%"_s),
                                         model.value(row, u"ZeroDate1"_s), today(), colors);
        });
    summary->setColumnText(GridRules::ForecastColumn, [this](const DataGridModel& model, int row) {
        return m_forecasts.sentence(model.value(row, u"System"_s).toString());
    });
    auto* summaryLayout = new QVBoxLayout(summaryPage);
    summaryLayout->setContentsMargins(0, 0, 0, 0);
    summaryLayout->setSpacing(0);
    summaryLayout->addWidget(GridCurrentFreeSpace, 1);
    summaryLayout->addWidget(PBarLoad);

    auto* historyPage = PagesFreeSpace->widget(PageHistory);
    GridFreeSpaceHistory =
        new DataGrid(&m_dm.SrcFreeSpaceHistory, GridRules::historyColumns(), historyPage);
    GridFreeSpaceHistory->setObjectName(u"GridFreeSpaceHistory"_s);
    GridFreeSpaceHistory->setLines(false, true);
    DataGridModel* history = GridFreeSpaceHistory->gridModel();
    history->setGroupField(u"System"_s);
    history->setTitleRule(&GridRules::historyTitleAlignment);
    history->setCellColorsRule(
        [](const DataGridModel& model, int row, const QString& fieldName, CellColors& colors) {
            GridRules::historyCellColors(fieldName, model.visiblePosition(row),
                                         model.value(row, u"Used%"_s), colors);
        });
    // Shading and grouping follow the screen, so every row change repaints the whole grid.
    GridFreeSpaceHistory->onRowChanged = [this] { GridFreeSpaceHistory->viewport()->update(); };
    DBNavigator::Buttons buttons{};
    buttons[DBNavigator::First] = buttons[DBNavigator::Prior] = buttons[DBNavigator::Next] =
        buttons[DBNavigator::Last] = true;
    NavFreeSpaceHistory = new DBNavigator(&m_dm.SrcFreeSpaceHistory, buttons, historyPage);
    NavFreeSpaceHistory->setObjectName(u"NavFreeSpaceHistory"_s);
    NavFreeSpaceHistory->setFixedHeight(25);
    auto* historyLayout = new QVBoxLayout(historyPage);
    historyLayout->setContentsMargins(0, 0, 0, 0);
    historyLayout->setSpacing(0);
    historyLayout->addWidget(GridFreeSpaceHistory, 1);
    historyLayout->addWidget(NavFreeSpaceHistory);
}

void TMainForm::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(u"MainMenu"_s);
    auto item = [this](QMenu* menu, const QString& name, const QString& caption,
                       void (TMainForm::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        if (handler)
            connect(action, &QAction::triggered, this, handler);
        return action;
    };
    auto menu = [bar](const QString& name, const QString& caption) {
        QMenu* m = bar->addMenu(caption);
        m->setObjectName(name);
        return m;
    };

    QMenu* file = menu(u"MnuMainFile"_s, u"&File"_s);
    item(file, u"MnuMainFilePrintSetup"_s, u"P&rint Setup ..."_s,
         &TMainForm::MnuMainFilePrintSetupClick);
    item(file, u"MnuMainFilePrint"_s, u"&Print"_s, &TMainForm::MnuMainFilePrintClick);
    file->addSeparator();
    item(file, u"MnuMainFileExit"_s, u"E&xit"_s, &TMainForm::MnuMainFileExitClick);

    QMenu* actions = menu(u"MnuMainAction"_s, u"&Actions"_s);
    item(actions, u"MnuMainActionCheckSpace"_s, u"&Check Space"_s,
         &TMainForm::MnuMainActionCheckSpaceClick);
    actions->addSeparator();
    item(actions, u"MnuMainFileActionLoadSpace"_s, u"&Load Snapshot of Free Space into History"_s,
         &TMainForm::MnuMainFileActionLoadSpaceClick);
    actions->addSeparator();
    QMenu* excel = actions->addMenu(u"&Export to Excel"_s);
    excel->setObjectName(u"MnuMainActionExportExcel"_s);
    item(excel, u"MnuMainActionExportExcelFreeSpaceSummary"_s, u"&Free Space Summary"_s,
         &TMainForm::MnuMainActionExportExcelFreeSpaceSummaryClick);
    item(excel, u"MnuMainActionExportExcelHistoryDetails"_s, u"&History Details"_s,
         &TMainForm::MnuMainActionExportExcelHistoryDetailsClick);
    item(excel, u"MnuMainActionExportExcelSystems"_s, u"&Systems"_s,
         &TMainForm::MnuMainActionExportExcelSystemsClick);

    QMenu* objects = menu(u"MnuMainObjects"_s, u"&Objects"_s);
    item(objects, u"MnuMainObjectsSystems"_s, u"&Systems ..."_s,
         &TMainForm::MnuMainObjectsSystemsClick)
        ->setIcon(Pictures::icon(Pictures::Systems));

    QMenu* tools = menu(u"MnuMainTools"_s, u"&Tools"_s);
    item(tools, u"MnuMainToolsCompactDB"_s, u"&Compact DB"_s,
         &TMainForm::MnuMainToolsCompactDBClick);
    tools->addSeparator();
    item(tools, u"MnuMainToolsOptions"_s, u"&Options ..."_s, &TMainForm::MnuMainToolsOptionsClick);

    QMenu* help = menu(u"MnuMainHelp"_s, u"&Help"_s);
    item(help, u"MnuMainHelpVardometerHelp"_s, u"&Vardometer Help ..."_s,
         &TMainForm::MnuMainHelpVardometerHelpClick);
    item(help, u"MnuMainHelpLicence"_s, u"&Licence Agreement ..."_s,
         &TMainForm::MnuMainHelpLicenceClick);
    help->addSeparator();
    item(help, u"MnuMainHelpSupport"_s, u"&Support ..."_s, &TMainForm::MnuMainHelpSupportClick);
    item(help, u"MnuMainHelpOrdering"_s, u"&Ordering Information ..."_s,
         &TMainForm::MnuMainHelpOrderClick);
    help->addSeparator();
    item(help, u"MnuMainHelpAbout"_s, u"&About ..."_s, &TMainForm::MnuMainHelpAboutClick);
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
        m_directories = std::make_unique<dvDirectories>(m_dm, *this, m_probe, m_clock, m_mail);
        m_directories->RefreshSystemTree();
        createChartViews();
        ArmTimerCheck();
        ArmTimerLoadSpace();
        PagesFreeSpace->setCurrentIndex(PageChart);
        refreshForecasts();
    } catch (const std::exception& e) {
        if (!m_directories)
            m_engineStartError = ErrorReport::messageOf(e);
        ErrorReport::report(e);
    }
}

QDate TMainForm::today()
{
    // Asked for every painted cell: the clock is read again once a second at most, which
    // still turns the colours at midnight.
    if (!m_todayRead.isValid() || m_todayRead.elapsed() >= 1000) {
        m_today = m_clock.now().date();
        m_todayRead.start();
    }
    return m_today;
}

dvDirectories* TMainForm::engineForCommand()
{
    // The window opens even when startup stopped before the engine existed; every command
    // that needs it then says so and why, instead of doing nothing.
    if (!m_directories)
        ErrorReport::report(u"Vardometer could not start its disk space engine, so this "
                            u"command cannot run. The reason: %1"_s.arg(m_engineStartError));
    return m_directories.get();
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

void TMainForm::holdGrids()
{
    GridCurrentFreeSpace->setEnabled(false);
    GridFreeSpaceHistory->setEnabled(false);
}

void TMainForm::releaseGrids()
{
    GridCurrentFreeSpace->setEnabled(true);
    GridFreeSpaceHistory->setEnabled(true);
}

void TMainForm::repaintHistoryGrid()
{
    GridFreeSpaceHistory->viewport()->update();
}

void TMainForm::MnuMainFileExitClick()
{
    // Quitting closes every window first (at once, before quit() returns); this one then
    // closes for good rather than going to the tray.
    const QScopedValueRollback quitting(m_quitting, true);
    QCoreApplication::quit();
}

void TMainForm::MnuMainActionCheckSpaceClick()
{
    ErrorReport::guarded([this] {
        dvDirectories* engine = engineForCommand();
        if (!engine)
            return;
        // The lines this run raised: a run a timer starts inside the popup replaces the list.
        if (engine->CheckSpace() == 0) {
            QMessageBox box(QMessageBox::NoIcon, u"Vardometer"_s, u"All Systems within tolerance"_s,
                            QMessageBox::Ok, this);
            box.setObjectName(u"CheckSpaceMessage"_s);
            box.exec();
        }
    });
}

void TMainForm::MnuMainFileActionLoadSpaceClick()
{
    ErrorReport::guarded([this] {
        if (dvDirectories* engine = engineForCommand())
            engine->LoadSnapshot();
    });
}

void TMainForm::MnuMainObjectsSystemsClick()
{
    ErrorReport::guarded([this] {
        SystemsForm->exec();
        // New thresholds change how the systems stand.
        refreshTray();
    });
}

void TMainForm::MnuMainToolsCompactDBClick()
{
    ErrorReport::guarded([this] {
        if (dvDirectories* engine = engineForCommand())
            engine->CompactDatabase();
    });
}

void TMainForm::MnuMainToolsOptionsClick()
{
    ErrorReport::guarded([this] {
        OptionsForm->exec();
        // The scheduled runs may have been switched on or off.
        refreshTray();
    });
}

void TMainForm::showMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, this);
    box.exec();
}

void TMainForm::showError(const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, this);
    box.setObjectName(u"ErrorBox"_s);
    box.exec();
}

void TMainForm::createPopupWindow()
{
    // Parented so it stays above the main window; the member owns it and deletes the
    // previous delivery's window here, before the parent would.
    m_popupWindow = std::make_unique<TMsBox>(this);
}

void TMainForm::appendPopupLine(const QString& stampedLine)
{
    m_popupWindow->appendLine(stampedLine);
}

void TMainForm::showPopupWindow()
{
    m_popupWindow->exec();
}
