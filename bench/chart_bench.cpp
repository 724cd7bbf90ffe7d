// How the two charts keep up with a large installation: a summary refresh over 1,000
// systems, and one system's history of 3,650 daily snapshots, loaded and painted, also
// letter by letter as a name is typed into the selector.
//
// Build the history database first with vardometer_history_bench FILE; this program reuses
// it. The summary's systems go into a temporary database of their own, with real figures.

#include "data/DM2.h"
#include "data/DatabaseCreator.h"
#include "data/DbConnection.h"
#include "views/ChartFreeSpaceSummary.h"
#include "views/ChartSysHistory.h"
#include "views/ChartViewport.h"

#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QString summaryDatabase(const QTemporaryDir& dir, int systems)
{
    const QString file = dir.filePath(u"summary.db"_s);
    QList<DatabaseCreator::NewSystem> rows;
    for (int s = 0; s < systems; ++s)
        rows.append({u"SRV%1"_s.arg(s + 1, 5, 10, QChar(u'0')), u"/srv/%1"_s.arg(s), {}});
    DatabaseCreator::create(file, rows);
    DbConnection db(u"bench"_s);
    db.setFileName(file);
    db.open();
    std::mt19937 random(7);
    std::uniform_real_distribution<double> share(0.05, 0.95);
    db.exec(u"BEGIN"_s).finish();
    for (int s = 0; s < systems; ++s) {
        const double total = 40'000.0 * (1 + s % 50);
        const double used = std::round(total * share(random));
        db.exec(u"UPDATE Systems SET LastUsedMB = ?, LastFreeMB = ?, LastTotalMB = ? "
                u"WHERE System = ?"_s,
                {used, total - used, total, u"SRV%1"_s.arg(s + 1, 5, 10, QChar(u'0'))})
            .finish();
    }
    db.exec(u"COMMIT"_s).finish();
    db.close();
    return file;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // The summary chart over 1,000 systems, painted as a user sees it.
    QTemporaryDir dir;
    constexpr int Systems = 1000;
    {
        TDMVardometer dm(summaryDatabase(dir, Systems));
        QWidget page;
        auto* view = new ChartViewport(new QChart(), &page);
        auto* scroller = new QScrollBar(Qt::Vertical, &page);
        auto* layout = new QHBoxLayout(&page);
        layout->addWidget(view, 1);
        layout->addWidget(scroller);
        page.resize(860, 560);
        page.show();
        dvChartFreeSpaceSummary summary(view, scroller, dm.AQrySystems);
        std::vector<double> runs;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer timer;
            timer.start();
            summary.RefreshSummaryChart();
            view->viewport()->repaint();
            runs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        }
        std::printf("summary refresh, %d systems   median %.1f ms, worst %.1f ms "
                    "(%d bars shown at once)\n",
                    Systems, median(runs), *std::max_element(runs.begin(), runs.end()),
                    summary.shownCount());
    }

    // One system's ten years of history, from the big database.
    TDMVardometer dm(QString::fromLocal8Bit(argv[1]));
    QWidget page;
    auto* view = new ChartViewport(new QChart(), &page);
    auto* selector = new QComboBox(view);
    selector->setEditable(true);
    auto* layout = new QHBoxLayout(&page);
    layout->addWidget(view);
    page.resize(860, 560);
    page.show();
    dvChartSysHistory history(view, selector, dm.AQryFreeSpaceHistory, dm.ATblSystems);
    const QString name = u"SRV00500"_s;
    std::vector<double> runs;
    for (int i = 0; i < 7; ++i) {
        QElapsedTimer timer;
        timer.start();
        history.ShowSystemHistory(name);
        view->viewport()->repaint();
        runs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("history of %s, %lld snapshots   median %.1f ms, worst %.1f ms "
                "(a date every %d points)\n",
                qPrintable(name), static_cast<long long>(history.points().size()), median(runs),
                *std::max_element(runs.begin(), runs.end()), history.labelStride());

    // Typing the name: every keystroke reloads the chart with the text so far.
    std::vector<double> keys;
    for (qsizetype n = 1; n <= name.size(); ++n) {
        QElapsedTimer timer;
        timer.start();
        history.ShowSystemHistory(name.left(n), dvChartSysHistory::Selection::Keep);
        view->viewport()->repaint();
        keys.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("typing %s letter by letter   worst keystroke %.1f ms, all %lld keystrokes "
                "%.1f ms\n",
                qPrintable(name), *std::max_element(keys.begin(), keys.end()),
                static_cast<long long>(keys.size()),
                std::accumulate(keys.begin(), keys.end(), 0.0));
    return 0;
}
