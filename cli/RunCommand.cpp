#include "cli/RunCommand.h"

#include "data/DM2.h"
#include "data/Errors.h"
#include "engine/AlertStamp.h"
#include "engine/Clock.h"
#include "engine/Directories.h"
#include "engine/EngineHost.h"
#include "platform/DispatchingDiskSpaceProbe.h"

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

// Without a window, the messages a run shows (a failed e-mail delivery) go to the error
// stream; they report, they do not fail the command.
class PrintingEngineHost : public SilentEngineHost {
public:
    explicit PrintingEngineHost(FILE* err)
        : m_err(err)
    {
    }
    void showMessage(const QString& text) override
    {
        std::fprintf(m_err, "%s\n", text.toLocal8Bit().constData());
        std::fflush(m_err);
    }

private:
    FILE* m_err;
};

} // namespace

int runEngineCommand(RunKind kind, const QStringList& arguments, FILE* out, FILE* err,
                     const Clock& clock, DiskSpaceProbe& probe)
{
    const char* name = kind == RunKind::CheckSpace ? "check" : "snapshot";
    if (arguments.size() > 1 || (!arguments.isEmpty() && arguments.front().startsWith(u'-'))) {
        std::fprintf(err, "usage: vardometer-cli %s [FILE]\n", name);
        return 2;
    }
    const QString file = arguments.isEmpty() ? TDMVardometer::defaultFileName() : arguments.front();
    try {
        TDMVardometer dm(file);
        dm.SetAllDatasetsActive(true);
        PrintingEngineHost host(err);
        dvDirectories directories(dm, host, probe, clock);
        directories.RefreshSystemTree();
        if (kind == RunKind::CheckSpace)
            directories.CheckSpace();
        else
            directories.LoadSnapshot();
        for (const QString& line : directories.currentAlertLines())
            std::fprintf(out, "%s\n", qPrintable(stampedAlertLine(clock.now(), line)));
        std::fflush(out);
        return directories.AlertCount > 0 ? 1 : 0;
    } catch (const VardometerError& e) {
        std::fprintf(err, "%s\n", e.what());
    } catch (const std::exception& e) {
        std::fprintf(err, "%s\n", e.what());
    }
    return 2;
}

int runEngineCommand(RunKind kind, const QStringList& arguments, FILE* out, FILE* err)
{
    SystemClock clock;
    const std::unique_ptr<DiskSpaceProbe> probe = createDiskSpaceProbe();
    return runEngineCommand(kind, arguments, out, err, clock, *probe);
}
