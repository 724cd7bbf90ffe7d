#include "engine/Directories.h"
#include "support/HistoryRows.h"
#include "support/MainWindowFixture.h"
#include "support/WidgetTestMain.h"
#include "toolkit/DataGrid.h"
#include "views/ChartFrame.h"
#include "views/ChartSysHistory.h"
#include "views/GridRules.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int ForecastColumn = 12;
const QDate First(2007, 1, 1);

// Web fills (full on 10 April 2007, see the forecast command's test), Idle does not, New has
// no history. The rows are in the table's order; Web is 95 % used.
struct Window : MainWindowFixture {
    Window()
        : MainWindowFixture(
              {{u"Web"_s, u"/web"_s, {}}, {u"Idle"_s, u"/idle"_s, {}}, {u"New"_s, u"/new"_s, {}}},
              {u"UPDATE Options SET PopupAlerts = 0, EMailAlerts = 0"_s,
               u"UPDATE Systems SET \"LastUsed%\" = 95 WHERE System = 'Web'"_s})
    {
        addDailyHistory(db.path(), u"Web"_s, First, 60, [](int d) { return 1000.0 * (d + 1); });
        addDailyHistory(db.path(), u"Idle"_s, First, 60, [](int) { return 500.0; });
        open();
        form->resize(1400, 500);
        form->show();
    }
    QAbstractItemModel* model() const
    {
        return form->findChild<DataGrid*>(u"GridCurrentFreeSpace"_s)->model();
    }
    QString text(int row) const { return model()->index(row, ForecastColumn).data().toString(); }
};

} // namespace

class TestForecastColumn : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void showsEachSystemsForecastAfterTheClassicDate()
    {
        Window w;
        QAbstractItemModel* m = w.model();
        QAbstractItemModelTester tester(m, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(m->columnCount(), 13);
        QCOMPARE(m->headerData(11, Qt::Horizontal).toString(), u"Date Disk Full"_s);
        QCOMPARE(m->headerData(ForecastColumn, Qt::Horizontal).toString(), u"Forecast"_s);
        QCOMPARE(w.text(0), u"in 40 days (28\u201340)"_s);
        QCOMPARE(w.text(1), u"not filling"_s);
        QCOMPARE(w.text(2), u"not enough history"_s);
        QCOMPARE(w.text(0), w.form->forecasts().sentence(u"Web"_s));

        const QModelIndex web = m->index(0, ForecastColumn);
        QCOMPARE(web.data(GridRole::Raw).toString(), w.text(0));
        QCOMPARE(web.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
                 Qt::AlignLeft);
        QVERIFY(!(m->flags(web) & Qt::ItemIsEditable));
        // The row's colours reach it like every other cell of the row.
        QCOMPARE(web.data(Qt::ForegroundRole).value<QColor>(), QColor(255, 255, 0));
        QCOMPARE(web.data(Qt::BackgroundRole).value<QColor>(), QColor(255, 0, 0));
        QCOMPARE(m->index(1, ForecastColumn).data(Qt::BackgroundRole).value<QColor>(),
                 QColor(255, 255, 255));
    }

    void theHistoryChartSaysItUnderItsTitle()
    {
        Window w;
        dvChartSysHistory* chart = w.form->historyChartView();
        // At startup the first system is shown, with its forecast already read.
        QCOMPARE(chart->CurrentSystem, u"Web"_s);
        QCOMPARE(chart->subtitle(), u"in 40 days (28\u201340)"_s);
        w.form->showSystemHistory(u"Idle"_s);
        QCOMPARE(chart->frame()->titleLines(), QStringList{u"Idle History"_s});
        QCOMPARE(chart->subtitle(), u"not filling"_s);
        w.form->showSystemHistory(u"Nobody"_s);
        QCOMPARE(chart->subtitle(), u"not enough history"_s);
    }

    void aSnapshotRefreshesIt()
    {
        Window w;
        // Web's history is gone, Idle's disk is reported again; the next snapshot reads the
        // history anew, so Web has nothing left to go on.
        w.db.exec(u"DELETE FROM FreeSpaceHistory WHERE System = 'Web'"_s);
        QCOMPARE(w.text(0), u"in 40 days (28\u201340)"_s);
        w.probe.set(u"/idle"_s, 99'500LL << 20, 100'000LL << 20);
        QSignalSpy changed(w.model(), &QAbstractItemModel::dataChanged);

        w.form->Directories()->LoadSnapshot();

        QCOMPARE(w.text(0), u"not enough history"_s);
        bool columnRepainted = false;
        for (const QList<QVariant>& args : changed)
            columnRepainted =
                columnRepainted || (args[0].toModelIndex().column() <= ForecastColumn &&
                                    args[1].toModelIndex().column() >= ForecastColumn &&
                                    args[1].toModelIndex().row() == 2);
        QVERIFY(columnRepainted);
    }

    void paintingComputesNothing()
    {
        Window w;
        // What the grid shows comes from the book: history written behind the window's back
        // shows only after the next refresh, however often the grid paints.
        addDailyHistory(w.db.path(), u"New"_s, First, 10, [](int d) { return 1000.0 * d; });
        w.form->findChild<DataGrid*>(u"GridCurrentFreeSpace"_s)->grab();
        QCOMPARE(w.text(2), u"not enough history"_s);
        w.form->refreshForecasts();
        QVERIFY(w.text(2).startsWith(u"in "_s));
    }
};

VARDOMETER_WIDGET_TEST_MAIN(TestForecastColumn)
#include "test_forecast_column.moc"
