// Measuring every address of a run at once, before the run writes anything.
#include "engine/Directories.h"
#include "engine/EngineHost.h"

#include "data/DM2.h"
#include "data/Errors.h"
#include "data/SystemsQueries.h"
#include "engine/StoredCredentials.h"
#include "platform/ProbeSweep.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// Tells the window the measuring is over, if it was told it had begun.
class MeasuringShown {
public:
    explicit MeasuringShown(EngineHost& host)
        : m_host(host)
    {
    }
    void show(int answered, int total)
    {
        m_shown = true;
        m_host.measuring(answered, total);
    }
    ~MeasuringShown()
    {
        if (m_shown)
            m_host.measuringDone();
    }
    MeasuringShown(const MeasuringShown&) = delete;
    MeasuringShown& operator=(const MeasuringShown&) = delete;

private:
    EngineHost& m_host;
    bool m_shown = false;
};

} // namespace

void dvDirectories::measureAllAddresses()
{
    m_measured.clear();
    DbConnection& db = m_dm.ADOVardometer;
    m_probe.setShareCredentials(storedShareCredentials(db));
    const QStringList addresses = SystemsQueries::addresses(db);

    MeasuringShown shown(m_host);
    SweepSettings settings;
    settings.timeout = ProbeTimeout;
    settings.progress = [&shown](int answered, int total) { shown.show(answered, total); };
    const QList<ProbeOutcome> outcomes = sweepAddresses(m_probe, addresses, settings);
    for (qsizetype i = 0; i < addresses.size(); ++i)
        m_measured.insert(addresses[i], outcomes[i]);
}

ProbeOutcome dvDirectories::measuredOutcome(const QString& address)
{
    const auto found = m_measured.constFind(address);
    if (found != m_measured.constEnd())
        return *found;
    // An address that came in after the sweep (another program changed the row meanwhile)
    // is not measured now: that would be on this thread, inside the run's transaction, with
    // nothing to stop a call stuck on a dead mount. The next run measures it.
    return ProbeOutcome::failed(u"the address changed while the run was measuring"_s);
}
