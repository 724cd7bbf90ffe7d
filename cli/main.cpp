#include "cli/CompactCommand.h"
#include "cli/ExportCommand.h"
#include "cli/ForecastCommand.h"
#include "cli/InitCommand.h"
#include "cli/OutputText.h"
#include "cli/RunCommand.h"

#include <QCoreApplication>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

int usage()
{
    std::fprintf(stderr, "usage: vardometer-cli init [--demo] [FILE]\n"
                         "       vardometer-cli check [--timeout SECONDS] [FILE]\n"
                         "       vardometer-cli snapshot [--timeout SECONDS] [FILE]\n"
                         "       vardometer-cli export summary|history|systems [--system NAME] "
                         "--output FILE [DATABASE]\n"
                         "       vardometer-cli compact [DATABASE]\n"
                         "       vardometer-cli forecast [--system NAME] [--json] [DATABASE]\n");
    return 2;
}

} // namespace

namespace {

int runCommand(const QString& command, const QStringList& arguments)
{
    if (command == u"init")
        return runInitCommand(arguments, stdout, stderr);
    if (command == u"check")
        return runEngineCommand(RunKind::CheckSpace, arguments, stdout, stderr);
    if (command == u"snapshot")
        return runEngineCommand(RunKind::Snapshot, arguments, stdout, stderr);
    if (command == u"export")
        return runExportCommand(arguments, stdout, stderr);
    if (command == u"compact")
        return runCompactCommand(arguments, stdout, stderr);
    if (command == u"forecast")
        return runForecastCommand(arguments, stdout, stderr);
    return usage();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"Vardometer"_s);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty())
        return usage();
    const QString command = arguments.takeFirst();
    return finishOutput(stdout, stderr, runCommand(command, arguments));
}
