// What other programs commit to the database file, shown without a click: the watch sees the
// commit, and the window rereads the file as a run of its own would, keeping the user where
// they were.
#include "ui/MainForm.h"

#include "data/DM2.h"
#include "engine/Directories.h"
#include "toolkit/DataGrid.h"
#include "toolkit/ErrorReport.h"
#include "ui/DatabaseWatch.h"
#include "views/ChartSysHistory.h"

#include <QApplication>
#include <QScrollBar>
#include <QTabWidget>
#include <QTreeWidget>

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Scroll {
    int horizontal = 0;
    int vertical = 0;
};

Scroll scrollOf(const QAbstractScrollArea* area)
{
    return {area->horizontalScrollBar()->value(), area->verticalScrollBar()->value()};
}

void restoreScroll(QAbstractScrollArea* area, const Scroll& scroll)
{
    area->horizontalScrollBar()->setValue(scroll.horizontal);
    area->verticalScrollBar()->setValue(scroll.vertical);
}

// Bound controls hear of a walk over the rows once, when it is over.
class ControlsQuiet {
public:
    explicit ControlsQuiet(DataSet& dataSet)
        : m_dataSet(dataSet)
    {
        m_dataSet.disableControls();
    }
    ~ControlsQuiet()
    {
        try {
            m_dataSet.enableControls();
        } catch (...) {
            // The error that ended the walk is the one reported.
        }
    }
    ControlsQuiet(const ControlsQuiet&) = delete;
    ControlsQuiet& operator=(const ControlsQuiet&) = delete;

private:
    DataSet& m_dataSet;
};

} // namespace

struct TMainForm::ViewPlace {
    int page = PageChart;
    std::optional<qint64> systemsRow; // the Systems cursor, by the file's key
    // The tree's current node: the root, a page node by its place under the root, or a
    // system under "System History" by its name (the nodes of systems are rebuilt).
    bool treeHadCurrent = false;
    int treeNode = -1;
    std::optional<QString> treeSystem;
    bool treeSelected = false;
    bool systemHistoryExpanded = false;
    int treeScroll = 0;
    Scroll summaryGrid;
    Scroll historyGrid;
    int summaryChartScroll = 0;
    QString historySystem; // on the history chart; none before one was shown
};

void TMainForm::createDatabaseWatch()
{
    m_databaseWatch = new DatabaseWatch(m_dm.ADOVardometer, this);
    m_databaseWatch->mayRefresh = [this] { return mayRefreshFromFile(); };
    connect(m_databaseWatch, &DatabaseWatch::changed, this, &TMainForm::DatabaseWatchChange);
    m_databaseWatch->start();
}

bool TMainForm::mayRefreshFromFile()
{
    // A run of the window's own rereads the file when it ends; the watch's tick can come
    // while it measures, since the window keeps painting then.
    if (!m_directories || m_busyDepth > 0 || m_measuring || !m_dm.ADOVardometer.isConnected() ||
        m_dm.ADOVardometer.inTransaction())
        return false;
    // Rereading would throw away a row being typed or move the rows under a dialog.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return false;
    for (DataSet* ds : m_dm.allDataSets())
        if (ds->isActive() && ds->state() != DataSetState::Browse && ds->modified())
            return false;
    // A cell editor holds typed text its row has not been given yet.
    for (const QWidget* editor : findChildren<QWidget*>(u"InplaceEditor"_s))
        if (editor->isVisible())
            return false;
    return true;
}

void TMainForm::DatabaseWatchChange()
{
    ErrorReport::guarded([this] { refreshFromFile(); });
}

TMainForm::ViewPlace TMainForm::viewPlace()
{
    ViewPlace place;
    place.page = PagesFreeSpace->currentIndex();
    place.systemsRow = m_dm.ATblSystems.isActive() ? m_dm.ATblSystems.currentKey() : std::nullopt;
    QTreeWidgetItem* root = TVMenu->topLevelItem(0);
    if (QTreeWidgetItem* current = TVMenu->currentItem()) {
        place.treeHadCurrent = true;
        if (current->parent() == systemHistoryNode())
            place.treeSystem = current->text(0);
        else if (current->parent() == root)
            place.treeNode = root->indexOfChild(current);
        place.treeSelected = current->isSelected();
    }
    place.systemHistoryExpanded = systemHistoryNode()->isExpanded();
    place.treeScroll = TVMenu->verticalScrollBar()->value();
    place.summaryGrid = scrollOf(GridCurrentFreeSpace);
    place.historyGrid = scrollOf(GridFreeSpaceHistory);
    place.summaryChartScroll = ChartSummaryScroll->value();
    if (HistoryChartView)
        place.historySystem = HistoryChartView->CurrentSystem;
    return place;
}

void TMainForm::restoreViewPlace(const ViewPlace& place)
{
    DataSet& systems = m_dm.ATblSystems;
    if (!place.systemsRow || !systems.moveToKey(*place.systemsRow))
        systems.first();

    if (place.treeHadCurrent) {
        QTreeWidgetItem* root = TVMenu->topLevelItem(0);
        QTreeWidgetItem* node = root;
        if (place.treeSystem) {
            // Gone from the file: "System History", where the rebuilt list leaves the tree.
            node = systemHistoryNode();
            for (int i = 0; i < node->childCount(); ++i)
                if (node->child(i)->text(0) == *place.treeSystem) {
                    node = node->child(i);
                    break;
                }
        } else if (place.treeNode >= 0 && place.treeNode < root->childCount()) {
            node = root->child(place.treeNode);
        }
        TVMenu->setCurrentItem(node);
        node->setSelected(place.treeSelected);
    }
    systemHistoryNode()->setExpanded(place.systemHistoryExpanded);

    PagesFreeSpace->setCurrentIndex(place.page);
    // The views lay their new rows out first, or the old positions would not fit yet.
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(TVMenu),
                                    static_cast<QAbstractItemView*>(GridCurrentFreeSpace),
                                    static_cast<QAbstractItemView*>(GridFreeSpaceHistory)})
        view->doItemsLayout();
    TVMenu->verticalScrollBar()->setValue(place.treeScroll);
    restoreScroll(GridCurrentFreeSpace, place.summaryGrid);
    restoreScroll(GridFreeSpaceHistory, place.historyGrid);
    ChartSummaryScroll->setValue(place.summaryChartScroll);
}

void TMainForm::refreshFromFile()
{
    const ViewPlace place = viewPlace();
    // As a run ends: every open dataset reread (the Systems rows by both runs, the history
    // by the snapshot), then the tree, the summary chart, the forecasts and the system on
    // the history chart.
    for (DataSet* ds : m_dm.allDataSets()) {
        if (!ds->isActive())
            continue;
        // The Options dialog holds its row in edit mode while nothing is typed into it; a
        // row holds so again once reread. Nothing typed is lost: a change holds the reread
        // back.
        const bool held = ds->state() == DataSetState::Edit;
        ds->refresh();
        if (held && !ds->isEmpty())
            ds->edit();
    }
    {
        // The tree's rebuild walks the Systems rows; the grid need not follow each of them.
        const ControlsQuiet quiet(m_dm.ATblSystems);
        m_directories->RefreshSystemTree();
    }
    refreshSummaryChart();
    refreshForecasts();
    if (!place.historySystem.isNull())
        showSystemHistory(place.historySystem);
    restoreViewPlace(place);
}
