// How the history query the main window keeps open behaves on a database of realistic size:
// a thousand systems snapshotted daily for ten years. It times building such a file, loading
// the data module on it, reopening the query, walking every row and jumping to the last, and
// reports how much memory the process holds while doing so.
//
// The database is built in a child process so that the figures for opening and walking come
// from a process that has touched nothing else.

#include "data/DM2.h"
#include "data/DatabaseCreator.h"
#include "data/DateTimeValue.h"
#include "data/DbConnection.h"
#include "data/Errors.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Options {
    std::string file; // empty: a temporary file, removed afterwards
    int systems = 1000;
    int days = 3650;
    int cacheMB = 0; // 0: leave SQLite's page cache as the program sets it
};

[[noreturn]] void usage(const char* program, int status)
{
    std::fprintf(status == 0 ? stdout : stderr,
                 "usage: %s [FILE] [--systems N] [--days N] [--cache-mb N]\n"
                 "  FILE       an existing database is reused as it is; a missing one is built\n"
                 "             there and kept. Without FILE a temporary database is built.\n"
                 "  --systems  systems in a new database (default 1000)\n"
                 "  --days     daily snapshots per system in a new database (default 3650)\n"
                 "  --cache-mb try this SQLite page cache size on the program's connection\n",
                 program);
    std::exit(status);
}

Options parseArguments(int argc, char** argv)
{
    Options options;
    auto count = [&](int& i) {
        if (i + 1 >= argc)
            usage(argv[0], 2);
        char* end = nullptr;
        const long n = std::strtol(argv[++i], &end, 10);
        if (*end != '\0' || n <= 0 || n > 100'000'000)
            usage(argv[0], 2);
        return static_cast<int>(n);
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--systems")
            options.systems = count(i);
        else if (arg == "--days")
            options.days = count(i);
        else if (arg == "--cache-mb")
            options.cacheMB = count(i);
        else if (arg == "-h" || arg == "--help")
            usage(argv[0], 0);
        else if (!arg.starts_with('-') && options.file.empty())
            options.file = arg;
        else
            usage(argv[0], 2);
    }
    if (static_cast<long long>(options.systems) * options.days > 2'000'000'000LL) {
        std::fprintf(stderr, "%s: too many rows for one dataset\n", argv[0]);
        std::exit(2);
    }
    return options;
}

double megabytes(double bytes)
{
    return bytes / (1024.0 * 1024.0);
}

double residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long long size = 0;
    long long resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

double peakResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    // Kilobytes on Linux. The kernel updates the mark lazily, so it can trail the current
    // figure by a few pages.
    return std::max(static_cast<double>(usage.ru_maxrss) * 1024.0, residentBytes());
}

// Wall time and the process's processor time: on a busy machine the second says whether a
// slow figure was this program's work or waiting for a core.
class Stopwatch {
public:
    Stopwatch() { restart(); }
    void restart()
    {
        m_wall.start();
        m_cpu = cpuSeconds();
    }
    double wall() const { return static_cast<double>(m_wall.nsecsElapsed()) / 1e9; }
    double cpu() const { return cpuSeconds() - m_cpu; }

private:
    static double cpuSeconds()
    {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    }
    QElapsedTimer m_wall;
    double m_cpu = 0;
};

void report(const char* what, const Stopwatch& watch, const std::string& note = {})
{
    std::printf("%-19s %10.3f s   (cpu %.3f s)%s%s\n", what, watch.wall(), watch.cpu(),
                note.empty() ? "" : "  ", note.c_str());
}

QString systemName(int index)
{
    return u"SRV%1"_s.arg(index + 1, 5, 10, QChar(u'0'));
}

// One disk's figures as it fills day by day: steady growth with noise, an occasional
// clean-up, and a bigger disk when it is nearly full.
struct Disk {
    double totalMB = 0;
    double usedMB = 0;
    double firstUsedMB = 0;
    double dailyMB = 0;
};

void insertHistory(DbConnection& db, int systems, int days)
{
    std::mt19937_64 random(20240601);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> noise(0.0, 1.0);
    const double sizes[] = {40'000, 80'000, 160'000, 500'000, 1'000'000, 2'000'000};

    std::vector<Disk> disks(static_cast<size_t>(systems));
    for (Disk& d : disks) {
        d.totalMB = sizes[random() % std::size(sizes)];
        d.usedMB = std::round(d.totalMB * (0.2 + 0.4 * unit(random)));
        d.firstUsedMB = d.usedMB;
        d.dailyMB = d.totalMB * (0.00005 + 0.0002 * unit(random));
    }
    std::vector<QVariant> names;
    names.reserve(disks.size());
    for (int s = 0; s < systems; ++s)
        names.emplace_back(systemName(s));

    QSqlQuery insert(db.database());
    if (!insert.prepare(u"INSERT INTO FreeSpaceHistory (System, Date, Time, FreeMB, UsedMB, "
                        u"TotalMB, \"Free%\", \"Used%\", AvgDailyMB, CumUsedMB) "
                        u"VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s))
        db.raise(u"prepare"_s, insert.lastError());

    // Snapshots are added a day at a time for every system, as the program records them, so
    // the file's row order differs from the query's system-then-date order.
    const double firstDay = DateTimeValue::fromDate(QDate(2015, 1, 1));
    for (int day = 0; day < days; ++day) {
        for (int s = 0; s < systems; ++s) {
            Disk& d = disks[static_cast<size_t>(s)];
            if (day > 0) {
                d.usedMB += std::max(0.0, d.dailyMB * (1.0 + 0.8 * noise(random)));
                if (unit(random) < 1.0 / 90)
                    d.usedMB *= 0.75 + 0.2 * unit(random);
                if (d.usedMB > 0.95 * d.totalMB)
                    d.totalMB *= 2;
                d.usedMB = std::round(d.usedMB);
            }
            const double freeMB = d.totalMB - d.usedMB;
            const double cumUsedMB = d.usedMB - d.firstUsedMB;
            // Each system's check takes a couple of seconds of the 02:00 run.
            const double time = (7200.0 + 2.0 * s) / 86400.0;
            insert.bindValue(0, names[static_cast<size_t>(s)]);
            insert.bindValue(1, firstDay + day);
            insert.bindValue(2, time);
            insert.bindValue(3, freeMB);
            insert.bindValue(4, d.usedMB);
            insert.bindValue(5, d.totalMB);
            insert.bindValue(6, 100.0 * freeMB / d.totalMB);
            insert.bindValue(7, 100.0 * d.usedMB / d.totalMB);
            insert.bindValue(8, day > 0 ? cumUsedMB / day : 0.0);
            insert.bindValue(9, cumUsedMB);
            if (!insert.exec())
                db.raise(u"insert"_s, insert.lastError());
        }
    }
    insert.finish();
}

int buildDatabase(int argc, char** argv, const Options& options)
{
    QCoreApplication app(argc, argv);
    const QString file = QString::fromStdString(options.file);
    const Stopwatch watch;
    QList<DatabaseCreator::NewSystem> systems;
    for (int s = 0; s < options.systems; ++s)
        systems.append({systemName(s), u"\\\\%1\\C$"_s.arg(systemName(s)), u"Operations"_s});
    DatabaseCreator::create(file, systems);

    DbConnection db(u"HistoryBench"_s);
    db.setFileName(file);
    db.open();
    // Snapshots of one day land at the end of every system's run in the index; a cache that
    // holds all those index pages keeps the load from rereading them.
    db.exec(u"PRAGMA cache_size = -131072"_s).finish();
    db.beginTransaction();
    insertHistory(db, options.systems, options.days);
    db.commit();
    db.close();
    const double rows = static_cast<double>(options.systems) * options.days;
    char note[100];
    std::snprintf(note, sizeof note, "%.0f rows, %.0f rows/s, one transaction", rows,
                  rows / watch.wall());
    report("build", watch, note);
    std::fflush(stdout);
    return 0;
}

// Builds in a child process: the SQLite cache and Qt's state from loading stay there.
bool buildInChild(int argc, char** argv, const Options& options)
{
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return false;
    }
    if (child == 0) {
        int status = 1;
        try {
            status = buildDatabase(argc, argv, options);
        } catch (const VardometerError& e) {
            std::fprintf(stderr, "build failed: %s\n", qPrintable(e.message()));
        }
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(status);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    return true;
}

int measure(int argc, char** argv, const Options& options)
{
    QCoreApplication app(argc, argv);
    const double residentAtStart = residentBytes();

    Stopwatch watch;
    TDMVardometer dm(QString::fromStdString(options.file));
    report("construct module", watch, "opens the history query with the rest");
    const double residentAfterOpen = residentBytes();

    if (options.cacheMB > 0) {
        dm.ADOVardometer.exec(u"PRAGMA cache_size = %1"_s.arg(-1024LL * options.cacheMB)).finish();
        std::printf("page cache          %10d MB (set by --cache-mb)\n", options.cacheMB);
    }

    DataSet& history = dm.AQryFreeSpaceHistoryBySystem;
    const int rows = history.recordCount();
    std::printf("rows in query       %10d\n", rows);
    history.close();
    watch.restart();
    history.open();
    report("open query alone", watch);

    // The walk the program's runs make: the classic loop, fields looked up by name.
    watch.restart();
    long long walked = 0;
    long long systemsSeen = 0;
    double freeTotal = 0;
    QString previousSystem;
    history.first();
    while (!history.eof()) {
        const QString system = history.fieldByName(u"System"_s).asString();
        freeTotal += history.fieldByName(u"FreeMB"_s).asFloat();
        if (system != previousSystem) {
            ++systemsSeen;
            previousSystem = system;
        }
        ++walked;
        history.next();
    }
    const double walkSeconds = watch.wall();
    char note[160];
    std::snprintf(note, sizeof note, "%.0f rows/s, %lld rows, %lld systems, free sum %.0f MB",
                  walkSeconds > 0 ? static_cast<double>(walked) / walkSeconds : 0.0, walked,
                  systemsSeen, freeTotal);
    report("walk", watch, note);
    const double residentAfterWalk = residentBytes();

    history.close();
    watch.restart();
    history.open();
    report("reopen", watch);
    watch.restart();
    history.last();
    const QString lastSystem = history.fieldByName(u"System"_s).asString();
    const QDate lastDate = DateTimeValue::toDate(history.fieldByName(u"Date"_s).asFloat());
    const double lastFree = history.fieldByName(u"FreeMB"_s).asFloat();
    std::snprintf(note, sizeof note, "%s %s, %.0f MB free", qPrintable(lastSystem),
                  qPrintable(lastDate.toString(Qt::ISODate)), lastFree);
    report("last and read it", watch, note);

    const double keyListBytes = static_cast<double>(rows) * sizeof(qint64);
    std::printf("resident at start   %10.1f MB\n", megabytes(residentAtStart));
    std::printf("resident after open %10.1f MB   (+%.1f MB; the row-id list is %.1f MB)\n",
                megabytes(residentAfterOpen), megabytes(residentAfterOpen - residentAtStart),
                megabytes(keyListBytes));
    std::printf("resident after walk %10.1f MB\n", megabytes(residentAfterWalk));
    std::printf("peak resident       %10.1f MB\n", megabytes(peakResidentBytes()));
    const bool complete = walked == rows;
    if (!complete)
        std::printf("ERROR: the walk saw %lld rows of %d\n", walked, rows);
    return complete ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    Options options = parseArguments(argc, argv);
    std::filesystem::path scratch;
    if (options.file.empty()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vardometer-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            return 1;
        }
        scratch = pattern;
        options.file = (scratch / "Vardometer.db").string();
    }

    std::printf("Vardometer history benchmark\n");
    int status = 0;
    if (std::filesystem::exists(options.file)) {
        std::printf("database            %s (reused)\n", options.file.c_str());
    } else {
        std::printf("database            %s (%d systems x %d days)\n", options.file.c_str(),
                    options.systems, options.days);
        if (!buildInChild(argc, argv, options)) {
            // A half-built file would be taken for a finished one by the next run.
            for (const char* suffix : {"", "-wal", "-shm"}) {
                std::error_code ignored;
                std::filesystem::remove(options.file + suffix, ignored);
            }
            status = 1;
        }
    }
    if (status == 0) {
        std::error_code ignored;
        std::printf(
            "file size           %10.1f MB\n",
            megabytes(static_cast<double>(std::filesystem::file_size(options.file, ignored))));
        std::fflush(stdout);
        try {
            status = measure(argc, argv, options);
        } catch (const VardometerError& e) {
            std::fprintf(stderr, "failed: %s\n", qPrintable(e.message()));
            status = 1;
        }
    }
    if (!scratch.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(scratch, ignored);
    }
    return status;
}
