// Times a Check Space run and a snapshot run over many systems whose addresses are local
// directories, beside the time `df` takes to report the same directories, so the engine's
// own overhead per system can be judged against the platform's.
//
//   vardometer_run_bench [--systems N] [--rounds R]

#include "bench/LocalSystems.h"
#include "data/DM2.h"
#include "data/DatabaseCreator.h"
#include "engine/Clock.h"
#include "engine/Directories.h"
#include "engine/EngineHost.h"
#include "platform/DispatchingDiskSpaceProbe.h"
#include "platform/SmtpTransport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const BenchCounts counts = BenchCounts::fromArguments(3);
    const int systems = counts.systems;
    const int rounds = counts.rounds;
    const LocalSystems local(systems);
    const QStringList& paths = local.paths;
    const QString& file = local.file;

    TDMVardometer dm(file);
    dm.SetAllDatasetsActive(true);
    SilentEngineHost host;
    SystemClock clock;
    const auto probe = createDiskSpaceProbe();
    const auto mail = createSmtpTransport();
    dvDirectories engine(dm, host, *probe, clock, *mail);
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
