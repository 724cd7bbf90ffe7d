// How the history grid behaves over a database of realistic size: it times showing the grid
// on the history query, jumping to the last row and painting there, and counts the calls of
// the colour rule, a few for every cell painted. A count that stays that of one screenful
// whatever the number of rows shows that the grid reads only the rows it shows.
//
// Build the database first with vardometer_history_bench FILE; this program reuses it.

#include "data/DM2.h"
#include "toolkit/DataGrid.h"
#include "views/GridRules.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QElapsedTimer timer;
    timer.start();
    TDMVardometer dm(QString::fromLocal8Bit(argv[1]));
    const qint64 loaded = timer.restart();

    long long cellsAsked = 0;
    DataGrid grid(&dm.SrcFreeSpaceHistory, GridRules::historyColumns());
    grid.gridModel()->setGroupField(u"System"_s);
    grid.gridModel()->setCellColorsRule([&cellsAsked](const DataGridModel& model, int row,
                                                      const QString& field, CellColors& colors) {
        ++cellsAsked;
        GridRules::historyCellColors(field, model.visiblePosition(row),
                                     model.value(row, u"Used%"_s), colors);
    });
    grid.resize(860, 500);
    grid.show();
    grid.grab();
    const qint64 shown = timer.restart();
    const long long cellsFirst = cellsAsked;

    dm.AQryFreeSpaceHistoryBySystem.last();
    grid.grab();
    const qint64 atLast = timer.restart();

    std::printf("rows                %d\n", grid.model()->rowCount());
    std::printf("load data module    %lld ms\n", static_cast<long long>(loaded));
    std::printf("show and paint      %lld ms (%lld colour rule calls)\n",
                static_cast<long long>(shown), cellsFirst);
    std::printf("last row and paint  %lld ms (%lld colour rule calls)\n",
                static_cast<long long>(atLast), cellsAsked - cellsFirst);
    std::printf("current row         %d, top row %d\n", grid.currentIndex().row(), grid.rowAt(0));
    return 0;
}
