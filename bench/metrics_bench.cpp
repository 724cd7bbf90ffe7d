// How long a monitoring stack waits for Vardometer's figures: vardometer-cli metrics writing
// its file and vardometer-cli plugin checking every system, each as a whole process, on a
// database of realistic size (a thousand systems snapshotted daily for years, so every
// forecast reads its full window).
//
// Build the database first with vardometer_history_bench FILE; this program reuses it.

#include "bench/LocalSystems.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [--rounds N]\n", argv[0]);
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    int rounds = 11;
    if (argc == 4 && qstrcmp(argv[2], "--rounds") == 0)
        rounds = std::max(1, atoi(argv[3]));
    const QString cli = QStringLiteral(VARDOMETER_CLI);
    QTemporaryDir dir;
    const QString output = dir.filePath(u"vardometer.prom"_s);
    const QStringList metrics{u"metrics"_s, u"--output"_s, output, file};
    const QStringList plugin{u"plugin"_s, u"--max-age"_s, u"8784"_s, file};
    // The first runs bring the file into the system's cache, as the runs of a collector
    // every minute find it.
    if (runToEnd(cli, metrics) != 0) {
        std::fprintf(stderr, "vardometer-cli metrics failed on %s\n", argv[1]);
        return 1;
    }
    runToEnd(cli, plugin);
    QList<double> metricsTimes, pluginTimes;
    for (int i = 0; i < rounds; ++i) {
        metricsTimes << timeOnce([&] { runToEnd(cli, metrics); });
        pluginTimes << timeOnce([&] { runToEnd(cli, plugin); });
    }
    std::printf("metrics, whole process   median %6.1f ms  best %6.1f ms  (%d rounds, %lld "
                "bytes)\n",
                median(metricsTimes), *std::min_element(metricsTimes.begin(), metricsTimes.end()),
                rounds, static_cast<long long>(QFileInfo(output).size()));
    std::printf("plugin, whole process    median %6.1f ms  best %6.1f ms\n", median(pluginTimes),
                *std::min_element(pluginTimes.begin(), pluginTimes.end()));
    return 0;
}
