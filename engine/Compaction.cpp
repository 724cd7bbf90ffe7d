#include "engine/Directories.h"
#include "engine/EngineHost.h"
#include "engine/RunGuards.h"

#include "data/DM2.h"
#include "data/DatabaseCompactor.h"
#include "data/Errors.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// The scheduled runs stay off for as long as this lives.
class TimersHeld {
public:
    explicit TimersHeld(EngineHost& host)
        : m_host(host)
    {
        m_host.holdTimers();
    }
    ~TimersHeld() { m_host.releaseTimers(); }
    TimersHeld(const TimersHeld&) = delete;
    TimersHeld& operator=(const TimersHeld&) = delete;

private:
    EngineHost& m_host;
};

// Every dataset and the connection closed, so nothing reads the file while it is rewritten;
// on the way out the connection and the datasets that were open open again, in the order of
// the module (the grids then show their data again).
class DatabaseAway {
public:
    explicit DatabaseAway(TDMVardometer& dm)
        : m_dm(dm)
    {
        // A row still in edit mode (an Options row the dialog left pending, a Systems row)
        // is stored first, as a run stores it, rather than lost with the closing.
        for (DataSet* ds : m_dm.allDataSets())
            if (ds->isActive()) {
                ds->checkBrowseMode();
                m_wasOpen << ds;
            }
        m_dm.SetAllDatasetsActive(false);
        for (DataSet* ds : m_dm.allDataSets())
            ds->close();
        m_dm.ADOVardometer.close();
    }
    // Throws when the file cannot be opened again; the destructor then tries once more.
    void back()
    {
        m_dm.ADOVardometer.open();
        m_dm.SetAllDatasetsActive(true);
        for (DataSet* ds : std::as_const(m_wasOpen))
            ds->open();
        m_back = true;
    }
    ~DatabaseAway()
    {
        if (m_back)
            return;
        try {
            back();
        } catch (...) {
            // Whatever ended the compaction is what the user hears of.
        }
    }
    DatabaseAway(const DatabaseAway&) = delete;
    DatabaseAway& operator=(const DatabaseAway&) = delete;

private:
    TDMVardometer& m_dm;
    QList<DataSet*> m_wasOpen;
    bool m_back = false;
};

} // namespace

void dvDirectories::CompactDatabase()
{
    BusyGuard busy(m_host);
    TimersHeld timers(m_host);
    const QString fileName = m_dm.ADOVardometer.fileName();
    DatabaseAway away(m_dm);
    std::optional<QString> failure;
    try {
        DatabaseCompactor::compact(fileName, CompactionBusyTimeoutMs);
    } catch (const VardometerError& e) {
        failure = e.message();
    }
    if (failure)
        m_host.showError(u"Error"_s, u"Error packing database: "_s + *failure);
    // Reopening after the box, as the datasets come back last; a file that cannot be opened
    // again now is reported like any other error, with the timers and the cursor restored.
    away.back();
}
