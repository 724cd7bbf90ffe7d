#pragma once

#include "data/DatabaseCreator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>

// A database of systems whose addresses are folders of this machine, one each, for the
// benchmarks that time runs against df over the same paths.
struct LocalSystems {
    explicit LocalSystems(int count)
    {
        QList<DatabaseCreator::NewSystem> rows;
        for (int i = 0; i < count; ++i) {
            const QString path =
                dir.filePath(QStringLiteral("share%1").arg(i, 4, 10, QLatin1Char('0')));
            QDir().mkpath(path);
            paths << path;
            rows << DatabaseCreator::NewSystem{QStringLiteral("sys%1").arg(i), path, {}};
        }
        file = dir.filePath(QStringLiteral("Vardometer.db"));
        DatabaseCreator::create(file, rows);
    }
    QTemporaryDir dir;
    QStringList paths;
    QString file;
};

// Runs a program to its end, its output read and dropped; its exit status, or -1 when it did
// not end normally.
inline int runToEnd(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(-1);
    p.readAllStandardOutput();
    p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// "--systems N" and "--rounds N" from the command line, with the given defaults.
struct BenchCounts {
    int systems = 1000;
    int rounds = 3;
    static BenchCounts fromArguments(int rounds)
    {
        BenchCounts counts;
        counts.rounds = rounds;
        const QStringList args = QCoreApplication::arguments();
        for (int i = 1; i + 1 < args.size(); i += 2) {
            if (args[i] == QStringLiteral("--systems"))
                counts.systems = args[i + 1].toInt();
            else if (args[i] == QStringLiteral("--rounds"))
                counts.rounds = args[i + 1].toInt();
        }
        return counts;
    }
};

// The shortest of a few rounds of some work, in milliseconds: the run least disturbed by
// whatever else the machine was doing.
inline double bestOf(int rounds, const std::function<void()>& work)
{
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

// One run of some work, in milliseconds.
inline double timeOnce(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The middle of some figures: unlike the shortest, it says what a run usually costs.
inline double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The median of a few rounds of some work, in milliseconds.
inline double medianOf(int rounds, const std::function<void()>& work)
{
    QList<double> times;
    for (int i = 0; i < rounds; ++i)
        times << timeOnce(work);
    return median(times);
}
