#include "cli/RunCommand.h"

#include "cli/OutputText.h"
#include "cli/Usage.h"

#include "data/DM2.h"
#include "data/Errors.h"
#include "data/SystemsQueries.h"
#include "data/Variant.h"
#include "engine/AlertStamp.h"
#include "engine/Clock.h"
#include "engine/Directories.h"
#include "engine/EngineHost.h"
#include "platform/DispatchingDiskSpaceProbe.h"
#include "platform/SmtpTransport.h"

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
        printLine(m_err, text);
        flushOutput(m_err);
    }

private:
    FILE* m_err;
};

// Names that more than one Systems row holds (capitals and small letters alike): their
// snapshots land under one name, so the history, the tree and the charts mix the disks.
// Older databases do not forbid them; the run still works, and the user hears of it once.
void warnAboutDuplicateNames(TDMVardometer& dm, FILE* err)
{
    QStringList names;
    for (const QString& name : SystemsQueries::namesHeldTwice(dm.ADOVardometer))
        names << u"'%1'"_s.arg(name);
    if (!names.isEmpty())
        printLine(
            err, u"Warning: more than one system is named %1; their histories are mixed "
                 u"under one name. Give each system a name of its own."_s.arg(names.join(u", "_s)));
}

} // namespace

std::optional<RunArguments> parseRunArguments(const QStringList& arguments)
{
    RunArguments parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == u"--timeout") {
            if (++i == arguments.size())
                return std::nullopt;
            bool ok = false;
            const double seconds = arguments[i].toDouble(&ok);
            // A day at most: more would be no time-out at all.
            if (!ok || !(seconds > 0) || seconds > 86'400)
                return std::nullopt;
            parsed.timeout = std::chrono::milliseconds(static_cast<qint64>(seconds * 1000));
        } else if (a.startsWith(u'-') || !parsed.file.isEmpty()) {
            return std::nullopt;
        } else {
            parsed.file = a;
        }
    }
    return parsed;
}

namespace {

QString stoppedAtText(const std::optional<QVariant>& system)
{
    if (!system)
        return {};
    if (Variant::isNull(*system))
        return u"The run stopped at a system without a name: "_s;
    return u"The run stopped at system '%1': "_s.arg(system->toString());
}

} // namespace

int runEngineCommand(RunKind kind, const QStringList& arguments, FILE* out, FILE* err,
                     const Clock& clock, DiskSpaceProbe& probe)
{
    const char* name = kind == RunKind::CheckSpace ? "check" : "snapshot";
    const std::optional<RunArguments> parsed = parseRunArguments(arguments);
    if (!parsed)
        return Usage::wrongCommandLine(err, QString::fromLatin1(name));
    const QString file = parsed->file.isEmpty() ? TDMVardometer::defaultFileName() : parsed->file;
    PrintingEngineHost host(err);
    const std::unique_ptr<SmtpTransport> mail = createSmtpTransport();
    std::unique_ptr<TDMVardometer> dm;
    std::unique_ptr<dvDirectories> directories;
    try {
        dm = std::make_unique<TDMVardometer>(file, nullptr, TDMVardometer::LoadFor::Runs);
        dm->OpenForRuns();
        directories = std::make_unique<dvDirectories>(*dm, host, probe, clock, *mail);
        directories->ProbeTimeout = parsed->timeout;
        warnAboutDuplicateNames(*dm, err);
        if (kind == RunKind::CheckSpace)
            directories->CheckSpace();
        else
            directories->LoadSnapshot();
        for (const QString& line : directories->currentAlertLines())
            printLine(out, stampedAlertLine(clock.now(), line));
        flushOutput(out);
        // Why each system was not found, for whoever reads the job's log.
        for (const dvDirectories::Unreachable& u : directories->UnreachableSystems)
            if (!u.reason.isEmpty())
                printLine(err, u"%1: %2"_s.arg(u.system, u.reason));
        return directories->AlertCount > 0 ? 1 : 0;
    } catch (const std::exception& e) {
        const QString where = directories ? stoppedAtText(directories->StoppedAtSystem) : QString();
        const auto* own = dynamic_cast<const VardometerError*>(&e);
        printLine(err, where + (own ? own->message() : QString::fromLocal8Bit(e.what())));
    }
    return 2;
}

int runEngineCommand(RunKind kind, const QStringList& arguments, FILE* out, FILE* err)
{
    SystemClock clock;
    const std::unique_ptr<DiskSpaceProbe> probe = createDiskSpaceProbe();
    return runEngineCommand(kind, arguments, out, err, clock, *probe);
}
