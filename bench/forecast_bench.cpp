// How long the window takes to compute every system's forecast, on a database of realistic
// size: a thousand systems snapshotted daily for ten years. Each forecast reads only its
// system's newest two years through the history index, so the time should not grow with the
// years the history holds.
//
// Build the database first with vardometer_history_bench FILE; this program reuses it.

#include "data/DbConnection.h"
#include "data/Errors.h"
#include "engine/ForecastBook.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>

#include <cstdio>
#include <map>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    try {
        DbConnection db(u"ForecastBench"_s);
        db.setFileName(QString::fromLocal8Bit(argv[1]));
        db.open();

        QSqlQuery plan = db.exec(u"EXPLAIN QUERY PLAN SELECT Date, Time, FreeMB, TotalMB "
                                 u"FROM FreeSpaceHistory WHERE System = ? AND Date >= "
                                 u"(SELECT max(Date) FROM FreeSpaceHistory WHERE System = ?) - ? "
                                 u"ORDER BY Date, Time"_s,
                                 {u"SRV00001"_s, u"SRV00001"_s, 57});
        std::printf("query plan\n");
        while (plan.next())
            std::printf("  %s\n", qPrintable(plan.value(3).toString()));
        plan.finish();

        // The first pass reads the pages from disk, the next ones from the cache, as the
        // refresh after a snapshot would.
        ForecastBook book;
        for (int pass = 1; pass <= 3; ++pass) {
            QElapsedTimer timer;
            timer.start();
            book.recomputeAll(db);
            std::printf("pass %d: all forecasts   %8.1f ms  (%lld systems)\n", pass,
                        static_cast<double>(timer.nsecsElapsed()) / 1e6,
                        static_cast<long long>(book.entries().size()));
        }
        QElapsedTimer timer;
        timer.start();
        long long rows = 0;
        for (const ForecastBook::Entry& e : book.entries())
            rows += ForecastReader::recentHistory(db, e.system).size();
        std::printf("reading alone          %8.1f ms  (%lld rows, %.1f per system)\n",
                    static_cast<double>(timer.nsecsElapsed()) / 1e6, rows,
                    book.entries().isEmpty()
                        ? 0.0
                        : static_cast<double>(rows) / static_cast<double>(book.entries().size()));

        std::map<QString, int> states;
        for (const ForecastBook::Entry& e : book.entries())
            ++states[Forecast::stateName(e.forecast.state)];
        for (const auto& [state, count] : states)
            std::printf("%-22s %6d\n", qPrintable(state), count);
        if (!book.entries().isEmpty())
            std::printf("first system           %s: %s\n",
                        qPrintable(book.entries().front().system),
                        qPrintable(Forecast::sentence(book.entries().front().forecast)));
    } catch (const VardometerError& e) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
