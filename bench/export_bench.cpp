// How long the three workbook exports take on a database of realistic size: the summary and
// the list of a thousand systems, and the history of one system snapshotted daily for ten
// years (3,650 rows, among 3.65 million history rows). Each export writes a real workbook
// into a temporary folder, through the same datasets the window walks.
//
// Build the database first with vardometer_history_bench FILE; this program reuses it.

#include "data/DM2.h"
#include "export/SheetExport.h"
#include "export/WorkbookFile.h"
#include "export/WorkbookLayouts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

void timeExport(const char* what, DataSet& records, const WorkbookLayout& layout,
                const QTemporaryDir& dir)
{
    QElapsedTimer timer;
    timer.start();
    int rows = 0;
    const QString file =
        WorkbookFile::saveInFolder(dir.path(), layout.title, [&](const QString& f) {
            rows = SheetExport::write(records, layout, f);
        });
    const qint64 ms = timer.elapsed();
    std::printf("%-28s %6d rows  %6lld ms  %8lld bytes\n", what, rows, static_cast<long long>(ms),
                static_cast<long long>(QFileInfo(file).size()));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    TDMVardometer dm(QString::fromLocal8Bit(argv[1]));
    dm.SetAllDatasetsActive(true);
    std::printf("load data module             %6lld ms\n", static_cast<long long>(timer.elapsed()));

    QTemporaryDir dir;
    timeExport("Free Space Summary", dm.ATblSystems, WorkbookLayouts::freeSpaceSummary(), dir);
    timeExport("Systems", dm.ATblSystems, WorkbookLayouts::systems(), dir);
    // The history follows the current system; the walk above left the last one current.
    dm.ATblSystems.first();
    timeExport("History Details (first)", dm.ATblFreeSpaceHistory,
               WorkbookLayouts::historyDetails(), dir);
    dm.ATblSystems.last();
    timeExport("History Details (last)", dm.ATblFreeSpaceHistory, WorkbookLayouts::historyDetails(),
               dir);
    return 0;
}
