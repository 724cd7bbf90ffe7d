#pragma once

#include "engine/EngineHost.h"
#include "engine/ForecastBook.h"

#include <QMainWindow>
#include <QPrinter>
#include <QStringList>

#include <array>
#include <memory>

class Clock;
class DBNavigator;
class DataGrid;
class DiskSpaceProbe;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class QTreeWidgetItem;
class TSystemsForm;
class QProgressBar;
class QSplitter;
class QTabWidget;
class QTreeWidget;
class TDMVardometer;
class TMsBox;
class dvDirectories;

// The main window. Its creation is the program's startup sequence (FormCreate) and its
// destruction closes every dataset and the connection (FormDestroy).
class TMainForm : public QMainWindow, public EngineHost {
    Q_OBJECT
public:
    // arguments: the command line without the program name. The probe measures addresses
    // and the clock tells the engine the time; both outlive the window.
    TMainForm(TDMVardometer& dataModule, const QStringList& arguments, DiskSpaceProbe& probe,
              const Clock& clock, QWidget* parent = nullptr);
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
    void createPopupWindow() override;
    void appendPopupLine(const QString& stampedLine) override;
    void showPopupWindow() override;

    QString statusPanelText(int panel) const;
    bool debugMode() const { return m_debugMode; }
    // Every system's forecast, as of startup or the latest snapshot.
    const ForecastBook& forecasts() const { return m_forecasts; }

    enum Page { PageChart = 0, PageSummary = 1, PageHistory = 2, PageSystemHistory = 3 };

    // Menu and toolbar commands.
    void MnuMainFilePrintSetupClick();
    void MnuMainFilePrintClick();
    void MnuMainFileExitClick();
    void MnuMainActionCheckSpaceClick();
    void MnuMainFileActionLoadSpaceClick();
    void MnuMainObjectsSystemsClick();
    void MnuMainToolsCompactDBClick();
    void MnuMainToolsOptionsClick();

    // Tree navigation: a click runs the double-click's navigation.
    void TVMenuClick();
    void TVMenuDblClick();

    TSystemsForm* systemsForm() const { return SystemsForm; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void buildMenus();
    void buildTree();
    void buildGrids();
    QTreeWidgetItem* systemHistoryNode() const;
    void ShowFirstSystemHistory();
    void TVMenuCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void FormCreate();
    void FormDestroy();

    TDMVardometer& m_dm;
    QStringList m_arguments;
    DiskSpaceProbe& m_probe;
    const Clock& m_clock;
    std::unique_ptr<dvDirectories> m_directories;
    ForecastBook m_forecasts;
    int m_busyDepth = 0;
    bool m_debugMode = false;

    QToolBar* CoolBarMain = nullptr;
    QToolButton* BtnCheckSpace = nullptr;
    QTreeWidget* TVMenu = nullptr;
    DataGrid* GridCurrentFreeSpace = nullptr;
    DataGrid* GridFreeSpaceHistory = nullptr;
    DBNavigator* NavFreeSpaceHistory = nullptr;
    QGroupBox* GBoxSystemName = nullptr;
    QComboBox* CBoxSystemName = nullptr;
    TSystemsForm* SystemsForm = nullptr;
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
