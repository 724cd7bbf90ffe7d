// Times `vardometer-cli check` over many local directories as a whole process, beside `df`
// over the same directories, also as a whole process; and, in-process, a sweep of those
// directories beside plain statvfs calls one after another.
//
//   vardometer_cli_check_bench [--systems 1000] [--rounds 5]

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

double bestOf(int rounds, const std::function<void()>& work)
{
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

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
    int systems = 1000;
    int rounds = 5;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--systems")
            systems = args[i + 1].toInt();
        else if (args[i] == u"--rounds")
            rounds = args[i + 1].toInt();
    }

    QTemporaryDir dir;
    QList<DatabaseCreator::NewSystem> rows;
    QStringList paths;
    for (int i = 0; i < systems; ++i) {
        const QString path = dir.filePath(u"share%1"_s.arg(i, 4, 10, QLatin1Char('0')));
        QDir().mkpath(path);
        paths << path;
        rows << DatabaseCreator::NewSystem{u"sys%1"_s.arg(i), path, {}};
    }
    const QString file = dir.filePath(u"Vardometer.db"_s);
    DatabaseCreator::create(file, rows);

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
