// Times a Check Space run and a snapshot run over many systems whose addresses are local
// directories, beside the time `df` takes to report the same directories, so the engine's
// own overhead per system can be judged against the platform's.
//
//   vardometer_run_bench [--systems N] [--rounds R]

#include "data/DM2.h"
#include "data/DatabaseCreator.h"
#include "engine/Clock.h"
#include "engine/Directories.h"
#include "engine/EngineHost.h"
#include "platform/DispatchingDiskSpaceProbe.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int systems = 1000;
    int rounds = 3;
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

    TDMVardometer dm(file);
    dm.SetAllDatasetsActive(true);
    SilentEngineHost host;
    SystemClock clock;
    const auto probe = createDiskSpaceProbe();
    dvDirectories engine(dm, host, *probe, clock);
    engine.RefreshSystemTree();

    const double df = bestOf(rounds, [&] {
        QProcess p;
        p.start(u"df"_s, QStringList{u"-P"_s} + paths);
        p.waitForFinished(-1);
        p.readAllStandardOutput();
    });
    const double check = bestOf(rounds, [&] { engine.CheckSpace(); });
    const double snapshot = bestOf(rounds, [&] { engine.LoadSnapshot(); });

    std::printf("systems                 %d (local directories)\n", systems);
    std::printf("df over the same paths  %9.1f ms\n", df);
    std::printf("Check Space run         %9.1f ms  (%.2f x df)\n", check, check / df);
    std::printf("snapshot run            %9.1f ms  (%.2f x df)\n", snapshot, snapshot / df);
    std::printf("best of %d rounds each\n", rounds);
    return 0;
}
