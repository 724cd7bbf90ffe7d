// Times `vardometer-cli check` over many local directories as a whole process, beside `df`
// over the same directories, also as a whole process; and, in-process, a sweep of those
// directories beside plain statvfs calls one after another.
//
//   vardometer_cli_check_bench [--systems 1000] [--rounds 5]

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

namespace {

void runToEnd(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(-1);
    p.readAllStandardOutput();
    p.readAllStandardError();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const BenchCounts counts = BenchCounts::fromArguments(5);
    const int systems = counts.systems;
    const int rounds = counts.rounds;
    const LocalSystems local(systems);
    const QStringList& paths = local.paths;
    const QString& file = local.file;

    const QString cli = QStringLiteral(VARDOMETER_CLI);
    runToEnd(cli, {u"check"_s, file}); // the first run stores every start date
    const double df = bestOf(rounds, [&] { runToEnd(u"df"_s, QStringList{u"-P"_s} + paths); });
    const double check = bestOf(rounds, [&] { runToEnd(cli, {u"check"_s, file}); });

    const std::unique_ptr<DiskSpaceProbe> probe = createDiskSpaceProbe();
    const double sweep = bestOf(rounds, [&] { sweepAddresses(*probe, paths); });
    const double serial = bestOf(rounds, [&] {
        for (const QString& path : std::as_const(paths)) {
            struct statvfs volume {};
            ::statvfs(QFile::encodeName(path).constData(), &volume);
        }
    });

    std::printf("systems                          %d (local directories)\n", systems);
    std::printf("df -P over the paths (process)   %9.1f ms\n", df);
    std::printf("vardometer-cli check (process)   %9.1f ms  (%.2f x df, target 3 x)\n", check,
                check / df);
    std::printf("sweepAddresses (in process)      %9.1f ms\n", sweep);
    std::printf("statvfs one after another        %9.1f ms\n", serial);
    std::printf("best of %d rounds each\n", rounds);
    return 0;
}
