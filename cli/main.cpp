#include "cli/CommandLine.h"
#include "cli/CompactCommand.h"
#include "cli/ExportCommand.h"
#include "cli/ForecastCommand.h"
#include "cli/InitCommand.h"
#include "cli/MetricsCommand.h"
#include "cli/OutputText.h"
#include "cli/PluginCheck.h"
#include "cli/PluginCommand.h"
#include "cli/RunCommand.h"
#include "cli/Usage.h"

#include "data/Errors.h"
#include "platform/ProbeSweep.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

namespace {

int runVerb(const QString& verb, const QStringList& arguments)
{
    if (verb == u"init")
        return runInitCommand(arguments, stdout, stderr);
    if (verb == u"check")
        return runEngineCommand(RunKind::CheckSpace, arguments, stdout, stderr);
    if (verb == u"snapshot")
        return runEngineCommand(RunKind::Snapshot, arguments, stdout, stderr);
    if (verb == u"export")
        return runExportCommand(arguments, stdout, stderr);
    if (verb == u"compact")
        return runCompactCommand(arguments, stdout, stderr);
    if (verb == u"forecast")
        return runForecastCommand(arguments, stdout, stderr);
    if (verb == u"metrics")
        return runMetricsCommand(arguments, stdout, stderr);
    if (verb == u"plugin")
        return runPluginCommand(arguments, stdout, stderr);
    return Usage::wrongCommandLine(stderr);
}

int run(const CommandLine& line)
{
    switch (line.action) {
    case CommandLine::Action::ShowUsage:
        writeOutput(stdout, Usage::all().toLocal8Bit());
        return 0;
    case CommandLine::Action::ShowVerbUsage:
        writeOutput(stdout, Usage::ofVerb(line.verb).toLocal8Bit());
        return 0;
    case CommandLine::Action::ShowVersion:
        printLine(stdout, QStringLiteral("vardometer-cli " VARDOMETER_VERSION));
        return 0;
    case CommandLine::Action::Wrong:
        // A monitoring system reads the check's state from its status: 2 would be CRITICAL.
        if (line.verb == u"plugin") {
            printLine(stdout, PluginCheck::unknown(u"wrong command line: "_s + line.error).line);
            return Usage::wrongCommandLine(stderr, line.verb), 3;
        }
        if (!line.error.isEmpty())
            printLine(stderr, u"vardometer-cli: "_s + line.error);
        return Usage::wrongCommandLine(stderr, line.verb);
    case CommandLine::Action::Run:
        break;
    }
    // The user's own folder is made by the verb that makes the file; the others find the
    // file missing and say so.
    if (line.database == DatabaseLocation::Kind::PerUser && line.verb == u"init") {
        try {
            DatabaseLocation::preparePerUserFolder();
        } catch (const VardometerError& e) {
            printLine(stderr, e.message());
            return 2;
        }
    }
    return runVerb(line.verb, line.verbArguments);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"Vardometer"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(VARDOMETER_VERSION));
    const CommandLine line = CommandLine::parse(QCoreApplication::arguments().mid(1));
    // A check's answer that could not be written is UNKNOWN to the monitor, never CRITICAL.
    const int finished =
        finishOutput(stdout, stderr, run(line),
                     line.verb == u"plugin" ? static_cast<int>(PluginCheck::State::Unknown) : 2);
    // Everything is written and closed; a probe abandoned at its time-out may still be inside
    // a library that the exit handlers would tear down under it.
    if (probesStillRunning())
        std::_Exit(finished);
    return finished;
}
