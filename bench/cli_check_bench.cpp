// Times `vardometer-cli check` over many local directories as a whole process, beside `df`
// over the same directories, also as a whole process, in pairs run one after the other so
// both meet the same machine; the ratio is the median of the pairs' ratios. Beside them,
// what the check spends on its own: the start of the process (--version) and, in process, a
// sweep of those directories beside plain statvfs calls one after another.
//
//   vardometer_cli_check_bench [--systems 1000] [--rounds 11] [--cli PATH]
//
// --cli times another build of vardometer-cli, to compare two builds on the same machine.

#include "bench/LocalSystems.h"
#include "data/DatabaseCreator.h"
#include "platform/DispatchingDiskSpaceProbe.h"
#include "platform/ProbeSweep.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/statvfs.h>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const BenchCounts counts = BenchCounts::fromArguments(11);
    const int systems = counts.systems;
    const int rounds = counts.rounds;
    const LocalSystems local(systems);
    const QStringList& paths = local.paths;
    const QString& file = local.file;

    const QStringList args = QCoreApplication::arguments();
    const qsizetype cliAt = args.indexOf(u"--cli"_s);
    const QString cli =
        cliAt > 0 && cliAt + 1 < args.size() ? args[cliAt + 1] : QStringLiteral(VARDOMETER_CLI);
    runToEnd(cli, {u"check"_s, file}); // the first run stores every start date
    QList<double> dfTimes, checkTimes, ratios;
    for (int i = 0; i < rounds; ++i) {
        const double df = timeOnce([&] { runToEnd(u"df"_s, QStringList{u"-P"_s} + paths); });
        const double check = timeOnce([&] { runToEnd(cli, {u"check"_s, file}); });
        dfTimes << df;
        checkTimes << check;
        ratios << check / df;
    }
    const double start = medianOf(rounds, [&] { runToEnd(cli, {u"--version"_s}); });

    const std::unique_ptr<DiskSpaceProbe> probe = createDiskSpaceProbe();
    const double sweep = medianOf(rounds, [&] { sweepAddresses(*probe, paths); });
    const double serial = medianOf(rounds, [&] {
        for (const QString& path : std::as_const(paths)) {
            struct statvfs volume {};
            ::statvfs(QFile::encodeName(path).constData(), &volume);
        }
    });

    std::printf("systems                          %d (local directories)\n", systems);
    std::printf("df -P over the paths (process)   %9.1f ms\n", median(dfTimes));
    std::printf("vardometer-cli check (process)   %9.1f ms  (%.2f x df, target 1.5 x)\n",
                median(checkTimes), median(ratios));
    std::printf("vardometer-cli --version         %9.1f ms  (the start of the process)\n", start);
    std::printf("sweepAddresses (in process)      %9.1f ms\n", sweep);
    std::printf("statvfs one after another        %9.1f ms\n", serial);
    std::printf("medians of %d rounds each; the ratio is the median of %d pairs\n", rounds, rounds);
    return 0;
}
