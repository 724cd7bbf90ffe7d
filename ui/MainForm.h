#pragma once

#include "engine/EngineHost.h"
#include "engine/ForecastBook.h"

#include <QDate>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPrinter>
#include <QStringList>

#include <array>
#include <memory>

class ChartViewport;
class Clock;
class DBNavigator;
class DataGrid;
class DatabaseWatch;
class DiskSpaceProbe;
class SmtpTransport;
class QBarSet;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class QTreeWidgetItem;
class TAboutBox;
class TOrderBox;
class TSupportBox;
class TSystemsForm;
class QProgressBar;
class QRadioButton;
class QScrollBar;
class QSplitter;
class QTabWidget;
class QTreeWidget;
class IntervalTimer;
class TDMVardometer;
class TMsBox;
class TOptionsForm;
class TrayPresence;
class dvChartFreeSpaceSummary;
class dvChartSysHistory;
class dvDirectories;

// The main window. Its creation is the program's startup sequence (FormCreate) and its
// destruction closes every dataset and the connection (FormDestroy).
class TMainForm : public QMainWindow, public EngineHost {
    Q_OBJECT
public:
    // arguments: the command line without the program name. The probe measures addresses,
    // the clock tells the engine the time and mail carries its e-mail alerts; all three
    // outlive the window.
    TMainForm(TDMVardometer& dataModule, const QStringList& arguments, DiskSpaceProbe& probe,
              const Clock& clock, SmtpTransport& mail, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The engine, once startup has created it; null when startup stopped before that.
    dvDirectories* Directories() const { return m_directories.get(); }

    // What the engine drives in the window.
    void setBusy(bool busy) override;
    void showSummaryPage() override;
    void startProgress(int maximum) override;
    void stepProgress() override;
    void hideProgress() override;
    void holdGrids() override;
    void releaseGrids() override;
    void repaintHistoryGrid() override;
    void setCompanyName(const QString& name) override;
    void clearSystemList() override;
    void addSystem(const QString& name) override;
    void refreshSummaryChart() override;
    void showSystemHistory(const QString& system) override;
    void refreshForecasts() override;
    void showMessage(const QString& text) override;
    void showError(const QString& caption, const QString& text) override;
    void holdTimers() override;
    void releaseTimers() override;
    void measuring(int answered, int total) override;
    void measuringDone() override;
    void createPopupWindow() override;
    void appendPopupLine(const QString& stampedLine) override;
    void showPopupWindow() override;

    QString statusPanelText(int panel) const;
    bool debugMode() const { return m_debugMode; }
    // Every system's forecast, as of startup or the latest snapshot.
    const ForecastBook& forecasts() const { return m_forecasts; }

    enum Page { PageChart = 0, PageSummary = 1, PageHistory = 2, PageSystemHistory = 3 };
    // The first status panel's notice, while no run is measuring addresses.
    static inline const QString StatusNotice = QStringLiteral("Watching disk space");

    // Menu and toolbar commands.
    void MnuMainFilePrintSetupClick();
    void MnuMainFilePrintClick();
    void MnuMainFileExitClick();
    void MnuMainActionCheckSpaceClick();
    void MnuMainFileActionLoadSpaceClick();
    void MnuMainObjectsSystemsClick();
    void MnuMainToolsCompactDBClick();
    void MnuMainToolsOptionsClick();

    // Spreadsheet export (ExportCommands.cpp) and the Help menu (HelpCommands.cpp).
    void MnuMainActionExportExcelFreeSpaceSummaryClick();
    void MnuMainActionExportExcelHistoryDetailsClick();
    void MnuMainActionExportExcelSystemsClick();
    void MnuMainHelpVardometerHelpClick();
    void MnuMainHelpLicenceClick();
    void MnuMainHelpSupportClick();
    void MnuMainHelpOrderClick();
    void MnuMainHelpAboutClick();

    // Tree navigation: a click runs the double-click's navigation.
    void TVMenuClick();
    void TVMenuDblClick();

    // What other programs commit to the file reaches the window by itself (MainLive.cpp).
    DatabaseWatch* databaseWatch() const { return m_databaseWatch; }
    void DatabaseWatchChange();

    // The tray icon while the scheduled runs go on (MainTray.cpp).
    TrayPresence* trayPresence() const { return m_tray; }
    // The tray shows how the systems stand by the rows the summary grid shows, and is there
    // while a scheduled run is on (or the window is away in it).
    void refreshTray();
    void TrayOpenClick();
    bool hiddenInTray() const { return m_hiddenInTray; }

    TSystemsForm* systemsForm() const { return SystemsForm; }
    TOptionsForm* optionsForm() const { return OptionsForm; }

    // The scheduled runs: a check every set number of minutes, a snapshot once a day.
    IntervalTimer* TimerCheck = nullptr;
    IntervalTimer* TimerLoadSpace = nullptr;
    void TimerCheckTimer();
    void TimerLoadSpaceTimer();
    TAboutBox* aboutBox() const { return AboutBox; }
    TSupportBox* supportBox() const { return SupportBox; }
    TOrderBox* orderBox() const { return OrderBox; }

    // The chart controllers, once startup has created them.
    dvChartFreeSpaceSummary* summaryChartView() const { return SummaryChartView.get(); }
    dvChartSysHistory* historyChartView() const { return HistoryChartView.get(); }
    // The printer every print job goes to, as "Print Setup ..." left it.
    QPrinter& currentPrinter() { return m_printer; }

    // The chart pages' own controls.
    void GrpUsageClick();
    void ChartSummaryClickSeries(QBarSet* series, int index);
    void CBoxSystemNameChange();
    void BtnChartNavUpClick();
    void BtnChartNavDownClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // With the scheduled runs on and a tray to stay in, closing hides the window and the
    // runs go on; otherwise closing ends the program, as ever.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void buildMenus();
    void buildTree();
    void buildGrids();
    void buildChartPages();
    void createChartViews();
    void stepSystemList(int direction);
    void printSummaryChart();
    void printHistoryChart();
    void printWindowImage();
    QString companyCaption() const;
    QTreeWidgetItem* systemHistoryNode() const;
    void ShowFirstSystemHistory();
    void TVMenuCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void navigateToSelectedNode();
    void FormCreate();
    void FormDestroy();
    void createTimers();
    void ArmTimerCheck();
    void ArmTimerLoadSpace();
    // Whatever is typed in an open cell of a Systems grid goes into its row before a run;
    // false (reported) when the row refuses it.
    bool storeTypedEdits();
    struct OptionsHooks optionsHooks();
    // The engine for a command that needs it; when startup could not create it, the user is
    // told why and null comes back.
    dvDirectories* engineForCommand();
    // The same for a timer's tick, which says it only once.
    dvDirectories* engineForTick();
    // Today's date by the engine's clock, for the grid's colour rules.
    QDate today();
    void createInformationDialogs();
    void createDatabaseWatch();
    // Whether the window may reread the file now: not inside a run of its own, while a row
    // or an in-place editor holds what the user is typing, or while a modal window or a
    // popup is up.
    bool mayRefreshFromFile();
    void createTray();
    // The scheduled check or the daily snapshot is armed.
    bool periodicRunsOn() const;
    // Where the user is in the window, kept across a reread of the file.
    struct ViewPlace;
    ViewPlace viewPlace();
    void restoreViewPlace(const ViewPlace& place);
    void refreshFromFile();

    TDMVardometer& m_dm;
    QStringList m_arguments;
    DiskSpaceProbe& m_probe;
    const Clock& m_clock;
    SmtpTransport& m_mail;
    std::unique_ptr<dvDirectories> m_directories;
    QString m_engineStartError; // why startup stopped before the engine existed
    // The timers that ran when compaction held them, to start again afterwards.
    bool m_checkTimerHeld = false;
    bool m_dailyTimerHeld = false;
    bool m_measuring = false; // a run is measuring its addresses; ticks wait for it
    bool m_tickWithoutEngineReported = false;
    QDate m_today;
    QElapsedTimer m_todayRead;
    std::unique_ptr<dvChartFreeSpaceSummary> SummaryChartView;
    std::unique_ptr<dvChartSysHistory> HistoryChartView;
    ForecastBook m_forecasts;
    int m_busyDepth = 0;
    bool m_debugMode = false;
    DatabaseWatch* m_databaseWatch = nullptr;
    TrayPresence* m_tray = nullptr;
    bool m_hiddenInTray = false;
    bool m_quitting = false;              // File > Exit is closing the windows
    bool m_quitOnLastWindowClosed = true; // the application's setting before hiding

    QToolBar* CoolBarMain = nullptr;
    QToolButton* BtnCheckSpace = nullptr;
    QTreeWidget* TVMenu = nullptr;
    DataGrid* GridCurrentFreeSpace = nullptr;
    DataGrid* GridFreeSpaceHistory = nullptr;
    DBNavigator* NavFreeSpaceHistory = nullptr;
    ChartViewport* ChartSummary = nullptr;
    QScrollBar* ChartSummaryScroll = nullptr;
    QGroupBox* GrpUsage = nullptr;
    QButtonGroup* m_usageOptions = nullptr;
    QRadioButton* GrpUsagePercent = nullptr;
    QRadioButton* GrpUsageGB = nullptr;
    ChartViewport* ChartSystemHistory = nullptr;
    QGroupBox* GBoxSystemName = nullptr;
    QComboBox* CBoxSystemName = nullptr;
    QWidget* BtnChartNav = nullptr;
    TSystemsForm* SystemsForm = nullptr;
    TOptionsForm* OptionsForm = nullptr;
    TAboutBox* AboutBox = nullptr;
    TSupportBox* SupportBox = nullptr;
    TOrderBox* OrderBox = nullptr;
    QSplitter* Splitter1 = nullptr;
    QTabWidget* PagesFreeSpace = nullptr;
    QProgressBar* PBarLoad = nullptr;
    std::array<QLabel*, 4> m_statusPanels{};

    // The popup alert window of the latest delivery; a delivery that finds none in use
    // replaces it with a new, empty one.
    std::unique_ptr<TMsBox> m_popupWindow;

    // The program's current printer, chosen with "Print Setup ...".
    QPrinter m_printer;
};
