#include "engine/AlertLine.h"
#include "engine/Clock.h"
#include "engine/Directories.h"
#include "engine/EngineHost.h"
#include "engine/RunGuards.h"

#include "data/DM2.h"
#include "data/DateTimeValue.h"

#include <optional>

using namespace Qt::Literals::StringLiterals;

void dvDirectories::takeRunDateAndTime()
{
    const QDateTime now = m_clock.now();
    RunDate = DateTimeValue::fromDate(now.date());
    RunTime = DateTimeValue::fromTime(now.time());
}

void dvDirectories::commitRun(RunTransaction& transaction)
{
    try {
        transaction.commit();
    } catch (...) {
        // Nothing of the run is in the file: the datasets show the file as it is.
        try {
            m_dm.ATblFreeSpaceHistory.refresh();
            m_dm.ATblSystems.refresh();
        } catch (...) {
        }
        throw;
    }
}

void dvDirectories::storeTypedSystemsRow()
{
    // A row someone is typing into (in the Systems editor, while a timer starts a run) is
    // stored first, as a pending Options row is: the run rereads the table and would throw
    // the typed values away. When it cannot be stored the run does not start, and the row
    // stays in edit mode with what was typed. A new row nobody typed into just goes.
    DataSet& systems = m_dm.ATblSystems;
    if (!systems.isActive())
        return;
    if (systems.modified())
        systems.post();
    else
        systems.checkBrowseMode();
}

void dvDirectories::reopenSystems()
{
    // Rereads every row; an edit still open elsewhere is dropped by the close.
    m_dm.ATblSystems.close();
    m_dm.ATblSystems.open();
    m_dm.ATblSystems.first();
}

void dvDirectories::writeLatestFigures(bool withConsumption)
{
    DataSet& s = m_dm.ATblSystems;
    s.edit();
    s.fieldByName(u"LastTotalMB"_s).setValue(TotalMB);
    s.fieldByName(u"LastFreeMB"_s).setValue(FreeMB);
    s.fieldByName(u"LastUSedMB"_s).setValue(UsedMB);
    if (withConsumption) {
        s.fieldByName(u"CumUsedMB"_s).setValue(CumulativeUsedMB);
        s.fieldByName(u"AvgDailyMB"_s).setValue(AverageDailyMB);
    }
    s.fieldByName(u"LastFree%"_s).setValue(FreePercent);
    s.fieldByName(u"LastUsed%"_s).setValue(UsedPercent);
    if (AddressFound) {
        s.fieldByName(u"DateLastAnalysed"_s).setValue(RunDate);
        s.fieldByName(u"TimeLastAnalysed"_s).setValue(RunTime);
    }
    s.fieldByName(u"ZeroDate1"_s).setValue(ZeroDate > 0 ? QVariant(ZeroDate) : QVariant());
    s.post();
}

void dvDirectories::appendHistoryRow()
{
    DataSet& h = m_dm.ATblFreeSpaceHistory;
    h.append();
    h.fieldByName(u"System"_s).setValue(SystemName);
    h.fieldByName(u"Date"_s).setValue(RunDate);
    h.fieldByName(u"Time"_s).setValue(RunTime);
    h.fieldByName(u"TotalMB"_s).setValue(TotalMB);
    h.fieldByName(u"FreeMB"_s).setValue(FreeMB);
    h.fieldByName(u"UsedMB"_s).setValue(UsedMB);
    h.fieldByName(u"CumUsedMB"_s).setValue(CumulativeUsedMB);
    h.fieldByName(u"AvgDailyMB"_s).setValue(AverageDailyMB);
    h.fieldByName(u"Free%"_s).setValue(FreePercent);
    h.fieldByName(u"Used%"_s).setValue(UsedPercent);
    h.post();
}

namespace {

// A run's measurements last as long as the run, on every way out.
class MeasuredAddresses {
public:
    explicit MeasuredAddresses(QHash<QString, ProbeOutcome>& measured)
        : m_measured(measured)
    {
    }
    ~MeasuredAddresses() { m_measured.clear(); }
    MeasuredAddresses(const MeasuredAddresses&) = delete;
    MeasuredAddresses& operator=(const MeasuredAddresses&) = delete;

private:
    QHash<QString, ProbeOutcome>& m_measured;
};

// Bound controls hear of a dataset's rows once, when the walk is over, rather than of every
// field the walk writes: nothing can be looked at in between, and the run is faster for it.
class ControlsQuiet {
public:
    explicit ControlsQuiet(std::initializer_list<DataSet*> dataSets)
        : m_dataSets(dataSets)
    {
        for (DataSet* ds : m_dataSets)
            ds->disableControls();
    }
    ~ControlsQuiet()
    {
        // The controls reread what they show; a failure there must not end the program while
        // the run's own error is on its way to the user.
        for (DataSet* ds : m_dataSets) {
            try {
                ds->enableControls();
            } catch (...) {
            }
        }
    }
    ControlsQuiet(const ControlsQuiet&) = delete;
    ControlsQuiet& operator=(const ControlsQuiet&) = delete;

private:
    QList<DataSet*> m_dataSets;
};

} // namespace

template <typename Work> void dvDirectories::forOneSystem(Work&& work)
{
    DataSet& systems = m_dm.ATblSystems;
    std::optional<SystemSavepoint> savepoint(std::in_place, m_dm.ADOVardometer);
    try {
        work();
        savepoint->release();
    } catch (...) {
        StoppedAtSystem = systems.fieldByName(u"System"_s).value();
        // This system's writes are undone first; the datasets then show the rows as they are.
        savepoint.reset();
        try {
            m_dm.ATblFreeSpaceHistory.refresh();
            systems.refresh();
        } catch (...) {
            // The error that ended the run is the one reported.
        }
        throw;
    }
}

int dvDirectories::CheckSpace()
{
    storeTypedSystemsRow();
    takeRunDateAndTime();
    BusyGuard busy(m_host);
    AlertCount = 0;
    StoppedAtSystem.reset();
    UnreachableSystems.clear();
    ReadOptions();
    resetAlertList();
    const MeasuredAddresses measured(m_measured);
    measureAllAddresses();
    {
        // The rows are read once this run is the file's writer, so a run of another program
        // that ended just now is seen, not overwritten.
        RunTransaction transaction(m_dm.ADOVardometer);
        reopenSystems();
        DataSet& systems = m_dm.ATblSystems;
        const ControlsQuiet quiet{&systems};
        while (!systems.eof()) {
            forOneSystem([this] {
                AnalyseSystem();
                writeLatestFigures(true);
            });
            if (!AddressFound) {
                AlertText = AlertLine::systemNotFoundText();
                addAlertLine(AlertLine::systemNotFoundLine(SystemName));
                UnreachableSystems << Unreachable{SystemName, LastProbeFailure};
            }
            systems.next();
        }
        commitRun(transaction);
    }
    // A run started by a timer inside one of the deliveries' windows replaces the alert
    // list; what this run raised is counted now.
    const int raised = AlertCount;
    if (AlertCount > 0) {
        SendEMailAlerts();
        ShowPopupAlerts();
    }
    m_host.refreshSummaryChart();
    RefreshSystemTree();
    return raised;
}

namespace {

// The snapshot's working state, undone on every way out of the run.
class SnapshotWorkingState {
public:
    SnapshotWorkingState(EngineHost& host, DataSet& historyQuery, int systemCount)
        : m_host(host)
        , m_historyQuery(historyQuery)
        , m_historyWasOpen(historyQuery.isActive())
    {
        m_host.showSummaryPage();
        m_host.startProgress(systemCount);
        m_historyQuery.close();
        m_host.holdGrids();
    }
    ~SnapshotWorkingState()
    {
        if (m_ended)
            return;
        m_host.hideProgress();
        try {
            if (m_historyWasOpen)
                m_historyQuery.open();
        } catch (...) {
            // The run's own error is the one reported.
        }
        m_host.releaseGrids();
    }
    void end()
    {
        m_host.hideProgress();
        if (m_historyWasOpen)
            m_historyQuery.open(); // a failure here leaves the rest to the destructor
        m_host.releaseGrids();
        m_ended = true;
    }
    SnapshotWorkingState(const SnapshotWorkingState&) = delete;
    SnapshotWorkingState& operator=(const SnapshotWorkingState&) = delete;

private:
    EngineHost& m_host;
    DataSet& m_historyQuery;
    // Only a query that was open is opened again: a run without a window never reads it.
    bool m_historyWasOpen;
    bool m_ended = false;
};

} // namespace

void dvDirectories::LoadSnapshot()
{
    storeTypedSystemsRow();
    BusyGuard busy(m_host);
    ReadOptions();
    AlertCount = 0;
    takeRunDateAndTime();
    SnapshotWorkingState working(m_host, m_dm.AQryFreeSpaceHistoryBySystem, SystemCount);
    StoppedAtSystem.reset();
    UnreachableSystems.clear();
    const MeasuredAddresses measured(m_measured);
    measureAllAddresses();
    {
        RunTransaction transaction(m_dm.ADOVardometer);
        reopenSystems();
        resetAlertList();
        DataSet& systems = m_dm.ATblSystems;
        const ControlsQuiet quiet{&systems, &m_dm.ATblFreeSpaceHistory};
        while (!systems.eof()) {
            forOneSystem([this] {
                AnalyseSystem();
                if (AddressFound) {
                    // The consumption figures stay the Check Space run's own.
                    writeLatestFigures(false);
                    appendHistoryRow();
                }
            });
            if (!AddressFound) {
                AlertText = AlertLine::systemNotFoundText();
                addAlertLine(AlertLine::snapshotSystemNotFoundLine(SystemName, OwnerName));
                UnreachableSystems << Unreachable{SystemName, LastProbeFailure};
            }
            m_host.stepProgress();
            systems.next();
        }
        commitRun(transaction);
    }
    if (AlertCount > 0) {
        SendEMailAlerts();
        ShowPopupAlerts();
    }
    m_host.repaintHistoryGrid();
    m_host.refreshSummaryChart();
    working.end();
    RefreshSystemTree();
    m_host.refreshForecasts();
    DataSet& systems = m_dm.ATblSystems;
    systems.first();
    if (!systems.eof())
        m_host.showSystemHistory(systems.fieldByName(u"System"_s).asString());
}
