// The two chart pages in the main window: what the summary and history charts are built
// from, how they are reached, and the controls on their pages.
#include "data/DateTimeValue.h"
#include "support/MainWindowFixture.h"
#include "support/WidgetTestMain.h"
#include "support/WindowTest.h"
#include "views/ChartFrame.h"
#include "views/ChartFreeSpaceSummary.h"
#include "views/ChartSysHistory.h"
#include "views/ChartViewport.h"

#include <QApplication>
#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QComboBox>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QValueAxis>

using namespace Qt::Literals::StringLiterals;
using SummarySeries::UsageMode;

namespace {

struct System {
    QString name;
    double usedMB = 0;
    double freeMB = 0;
};

QString historyRow(const QString& system, const QDate& date, double time, double freeMB,
                   double usedMB)
{
    return u"INSERT INTO FreeSpaceHistory (System, Date, Time, FreeMB, UsedMB) "
           u"VALUES ('%1', %2, %3, %4, %5)"_s.arg(system)
               .arg(DateTimeValue::fromDate(date))
               .arg(time)
               .arg(freeMB)
               .arg(usedMB);
}

// The main window over systems with stored figures and any extra rows.
struct Window : MainWindowFixture {
    explicit Window(const QList<System>& systems, const QStringList& sql = {})
        : MainWindowFixture(newSystems(systems), figures(systems) + sql)
    {
        open();
        form->resize(1057, 641);
        form->show();
    }
    static QList<DatabaseCreator::NewSystem> newSystems(const QList<System>& systems)
    {
        QList<DatabaseCreator::NewSystem> rows;
        for (const System& s : systems)
            rows.append({s.name, u"/srv/"_s + s.name, {}});
        return rows;
    }
    static QStringList figures(const QList<System>& systems)
    {
        QStringList sql{u"UPDATE Options SET CompanyName = 'Acme', PopupAlerts = 0, "
                        u"EMailAlerts = 0"_s};
        for (const System& s : systems)
            sql << u"UPDATE Systems SET LastUsedMB = %1, LastFreeMB = %2 WHERE System = '%3'"_s
                       .arg(s.usedMB)
                       .arg(s.freeMB)
                       .arg(s.name);
        return sql;
    }
    dvChartFreeSpaceSummary* summary() const { return form->summaryChartView(); }
    dvChartSysHistory* history() const { return form->historyChartView(); }
    QTabWidget* pages() const { return form->findChild<QTabWidget*>(u"PagesFreeSpace"_s); }
    QComboBox* selector() const { return form->findChild<QComboBox*>(u"CBoxSystemName"_s); }
    ChartViewport* view(const QString& name) const { return form->findChild<ChartViewport*>(name); }
    QStringList barLabels() const
    {
        QStringList labels;
        for (const auto& bar : summary()->bars())
            labels.prepend(bar.label); // read from the top down
        return labels;
    }
    // Where a value of the summary chart lies in its view's viewport.
    QPoint summaryPoint(double value, int index) const
    {
        QChart* chart = summary()->chart();
        const QPointF inChart =
            chart->mapToPosition(QPointF(value, index), chart->series().constFirst());
        return view(u"ChartSummary"_s)->mapFromScene(chart->mapToScene(inChart));
    }
    void click(const QString& button) const
    {
        QTest::mouseClick(form->findChild<QToolButton*>(button), Qt::LeftButton);
    }
    QList<QPointF> usedLine() const { return history()->UsedSeries->upperSeries()->points(); }
    QList<QPointF> freeTop() const { return history()->FreeSeries->upperSeries()->points(); }
    QList<QPointF> freeBottom() const { return history()->FreeSeries->lowerSeries()->points(); }
};

QList<qreal> values(const QBarSet* set)
{
    QList<qreal> v;
    for (int i = 0; i < set->count(); ++i)
        v << set->at(i);
    return v;
}

} // namespace

class TestCharts : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void withoutSystemsOnlyTitleAxesAndLegend()
    {
        Window w({});
        QCOMPARE(w.pages()->currentIndex(), int(TMainForm::PageChart));
        QCOMPARE(w.summary()->frame()->titleLines(), QStringList{u"Drive Summary"_s});
        QVERIFY(w.summary()->bars().isEmpty());
        QCOMPARE(w.summary()->UsedSeries->count(), 0);
        QCOMPARE(w.summary()->chart()->axes().size(), 2);
        QCOMPARE(w.summary()->valueAxis()->titleText(), u"%"_s);
        const QList<QLegendMarker*> markers = w.summary()->chart()->legend()->markers();
        QCOMPARE(markers.size(), 2);
        QCOMPARE(markers[0]->label(), u"Used Space"_s);
        QCOMPARE(markers[0]->brush().color(), QColor(255, 0, 0));
        QCOMPARE(markers[1]->label(), u"Free Space"_s);
        QCOMPARE(markers[1]->brush().color(), QColor(0, 128, 0));
        // No system, no history: the history chart is empty under an empty title.
        QCOMPARE(w.history()->frame()->titleLines(), QStringList{QString()});
        QVERIFY(w.history()->points().isEmpty());
        QCOMPARE(w.selector()->count(), 0);
    }

    void barsReadInAscendingOrderFromTheTop()
    {
        Window w({{u"B"_s, 1, 1}, {u"A"_s, 1, 1}, {u"C"_s, 1, 1}});
        QCOMPARE(w.barLabels(), (QStringList{u"A"_s, u"B"_s, u"C"_s}));
        // The axis names each bar where it stands: the first category is the bottom bar.
        QCOMPARE(w.summary()->categoryAxis()->categories(), (QStringList{u"C"_s, u"B"_s, u"A"_s}));
    }

    void gigabytesAndShares()
    {
        Window w({{u"Mail"_s, 30720, 10240}, {u"Empty"_s, 0, 0}});
        dvChartFreeSpaceSummary* summary = w.summary();
        // Startup chose the percentage option as a click would.
        QVERIFY(w.form->findChild<QRadioButton*>(u"GrpUsagePercent"_s)->isChecked());
        QCOMPARE(summary->usageMode(), UsageMode::Percentage);
        QCOMPARE(w.barLabels(), (QStringList{u"Empty"_s, u"Mail"_s}));
        QCOMPARE(values(summary->UsedSeries), (QList<qreal>{75, 0}));
        QCOMPARE(values(summary->FreeSeries), (QList<qreal>{25, 0}));
        QCOMPARE(summary->valueAxis()->titleText(), u"%"_s);
        QCOMPARE(summary->valueAxis()->max(), 100.0);

        w.form->findChild<QRadioButton*>(u"GrpUsageGB"_s)->click();
        QCOMPARE(summary->usageMode(), UsageMode::Gigabytes);
        QCOMPARE(values(summary->UsedSeries), (QList<qreal>{30, 0}));
        QCOMPARE(values(summary->FreeSeries), (QList<qreal>{10, 0}));
        QCOMPARE(summary->valueAxis()->titleText(), u"Capacity GB"_s);
        QVERIFY(summary->valueAxis()->max() >= 40);

        // And back: the same bars, only the stacking and the title changed.
        w.form->findChild<QRadioButton*>(u"GrpUsagePercent"_s)->click();
        QCOMPARE(values(summary->UsedSeries), (QList<qreal>{75, 0}));
        QCOMPARE(summary->valueAxis()->titleText(), u"%"_s);
        QCOMPARE(w.barLabels(), (QStringList{u"Empty"_s, u"Mail"_s}));
        // A refresh keeps the chosen mode and its title.
        w.form->findChild<QRadioButton*>(u"GrpUsageGB"_s)->click();
        w.form->refreshSummaryChart();
        QCOMPARE(summary->usageMode(), UsageMode::Gigabytes);
        QCOMPARE(summary->valueAxis()->titleText(), u"Capacity GB"_s);
        QCOMPARE(values(summary->UsedSeries), (QList<qreal>{30, 0}));
        // The zero-sum system has no bar to hit.
        QVERIFY(!summary->barAt(summary->chart()->mapToPosition(
            QPointF(0.01, 1), summary->chart()->series().constFirst())));
    }

    void barsAreDrawnInTheirExactColours()
    {
        Window w({{u"Mail"_s, 30720, 10240}});
        ChartViewport* view = w.view(u"ChartSummary"_s);
        QTRY_VERIFY(view->isVisible());
        const QImage picture = view->viewport()->grab().toImage();
        // Across the middle of the bar's thickness the shading shows the colour itself.
        QCOMPARE(picture.pixelColor(w.summaryPoint(37.5, 0)), QColor(255, 0, 0));
        QCOMPARE(picture.pixelColor(w.summaryPoint(87.5, 0)), QColor(0, 255, 0));
    }

    void clickOnEitherPartOpensTheSystemsHistory_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("the red part") << 30.0;
        QTest::newRow("the lime part") << 90.0;
    }
    void clickOnEitherPartOpensTheSystemsHistory()
    {
        Window w({{u"Alpha"_s, 300, 100}, {u"Beta"_s, 100, 300}},
                 {historyRow(u"Beta"_s, QDate(2009, 1, 5), 0.5, 20480, 40960)});
        QCOMPARE(w.history()->ChartTitle, u"Alpha History"_s);
        ChartViewport* view = w.view(u"ChartSummary"_s);
        QTRY_VERIFY(view->isVisible());
        // Beta is the bottom bar.
        QFETCH(double, value);
        const QPoint at = w.summaryPoint(value, 0);
        QVERIFY(view->toolTipAt(w.summary()->chart()->mapFromScene(view->mapToScene(at)))
                    .startsWith(u"Beta\n"_s));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(w.pages()->currentIndex(), int(TMainForm::PageSystemHistory));
        QCOMPARE(w.history()->ChartTitle, u"Beta History"_s);
        QCOMPARE(w.history()->points().size(), 1);
    }

    void aThousandSystemsStayReadable()
    {
        QList<System> systems;
        for (int i = 0; i < 1000; ++i)
            systems.append({u"S%1"_s.arg(i, 4, 10, QChar(u'0')), 100, 100});
        Window w(systems);
        dvChartFreeSpaceSummary* summary = w.summary();
        QCOMPARE(summary->bars().size(), 1000);
        QTRY_VERIFY(w.view(u"ChartSummary"_s)->isVisible());
        const int shown = summary->shownCount();
        QVERIFY(shown > 5 && shown < 100);
        QVERIFY(summary->chart()->plotArea().height() / shown >=
                dvChartFreeSpaceSummary::MinimumBarPitch);
        // The top of the list is in view; the scroll bar and the wheel move through it.
        QCOMPARE(summary->categoryAxis()->max(), u"S0000"_s);
        auto* scroller = w.form->findChild<QScrollBar*>(u"ChartSummaryScroll"_s);
        QVERIFY(scroller->isVisible());
        scroller->setValue(scroller->maximum());
        QCOMPARE(summary->categoryAxis()->min(), u"S0999"_s);
        QCOMPARE(summary->firstShown(), 0);
        QWheelEvent up(QPointF(100, 100), QPointF(100, 100), {}, QPoint(0, 120), Qt::NoButton, {},
                       Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.view(u"ChartSummary"_s)->viewport(), &up);
        QCOMPARE(summary->firstShown(), 3);
    }

    void historyOfTheSystemShown()
    {
        const QDate day(2009, 1, 5);
        Window w({{u"Alpha"_s, 1, 1}, {u"Beta"_s, 1, 1}},
                 {historyRow(u"Alpha"_s, day, 0.25, 20480, 40960),
                  historyRow(u"Alpha"_s, day, 0.75, 10240, 51200),
                  historyRow(u"Alpha"_s, day.addDays(30), 0.5, 1024000, 1024000)});
        dvChartSysHistory* history = w.history();
        QCOMPARE(history->ChartTitle, u"Alpha History"_s);
        QCOMPARE(history->CurrentSystem, u"Alpha"_s);
        QCOMPARE(history->frame()->titleLines(), QStringList{u"Alpha History"_s});
        QCOMPARE(w.selector()->currentText(), u"Alpha"_s);
        // One point a snapshot at equal distances; two of the same date share its label.
        QCOMPARE(history->points().size(), 3);
        QCOMPARE(history->points()[0].label, history->points()[1].label);
        QCOMPARE(history->points()[0].label, QLocale().toString(day, QLocale::ShortFormat));
        QCOMPARE(w.usedLine()[0], QPointF(0, 40));
        QCOMPARE(w.freeBottom()[0], QPointF(0, 40));
        QCOMPARE(w.freeTop()[0], QPointF(0, 60));
        QCOMPARE(w.freeTop()[2], QPointF(2, 2000));
        QCOMPARE(history->dateAxis()->min(), 0.0);
        QCOMPARE(history->dateAxis()->max(), 2.0);
        QCOMPARE(history->valueAxis()->min(), 0.0);
        QVERIFY(history->valueAxis()->max() >= 2000);
        QCOMPARE(history->valueAxis()->titleText(), u"Capacilty GB"_s);

        // A system without history: an empty chart under its title.
        w.form->showSystemHistory(u"Beta"_s);
        QCOMPARE(history->ChartTitle, u"Beta History"_s);
        QVERIFY(history->points().isEmpty());
        QVERIFY(w.usedLine().isEmpty());
    }

    void axisStartsAtZero()
    {
        Window w({{u"Big"_s, 1, 1}}, {historyRow(u"Big"_s, QDate(2009, 1, 5), 0.5, 10240, 921600),
                                      historyRow(u"Big"_s, QDate(2009, 1, 6), 0.5, 9216, 922624)});
        QCOMPARE(w.history()->valueAxis()->min(), 0.0);
        QVERIFY(w.history()->valueAxis()->max() >= 910);
    }

    void arrowButtons_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("selectedAfter");
        QTest::addColumn<QString>("shown");
        QTest::newRow("up from the first does nothing") << 0 << u"BtnChartNavUp"_s << 0 << u""_s;
        QTest::newRow("up from no selection does nothing")
            << -1 << u"BtnChartNavUp"_s << -1 << u""_s;
        QTest::newRow("up from the second") << 1 << u"BtnChartNavUp"_s << 0 << u"Alpha"_s;
        QTest::newRow("down from no selection shows the first")
            << -1 << u"BtnChartNavDown"_s << 0 << u"Alpha"_s;
        QTest::newRow("down from the first") << 0 << u"BtnChartNavDown"_s << 1 << u"Beta"_s;
        QTest::newRow("down from the last does nothing") << 2 << u"BtnChartNavDown"_s << 2 << u""_s;
    }
    void arrowButtons()
    {
        QFETCH(int, selected);
        QFETCH(QString, button);
        QFETCH(QString, shown);
        QFETCH(int, selectedAfter);
        Window w({{u"Alpha"_s, 1, 1}, {u"Beta"_s, 1, 1}, {u"Gamma"_s, 1, 1}});
        w.selector()->setCurrentIndex(selected);
        w.history()->ChartTitle = u"untouched"_s;
        w.click(button);
        QCOMPARE(w.selector()->currentIndex(), selectedAfter);
        QCOMPARE(w.history()->ChartTitle, shown.isEmpty() ? u"untouched"_s : shown + u" History"_s);
    }

    void typingReloadsOnEveryKeystroke()
    {
        Window w({{u"Alpha"_s, 1, 1}}, {historyRow(u"Alpha"_s, QDate(2009, 1, 5), 0.5, 1, 1)});
        w.pages()->setCurrentIndex(TMainForm::PageSystemHistory);
        QLineEdit* edit = w.selector()->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, u"Ze"_s);
        QCOMPARE(w.history()->ChartTitle, u"Ze History"_s);
        QTest::keyClick(edit, Qt::Key_D);
        QCOMPARE(w.history()->ChartTitle, u"Zed History"_s);
        QVERIFY(w.history()->points().isEmpty());
        QCOMPARE(edit->text(), u"Zed"_s);
        // Return does not add the typed name to the list of systems.
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(w.selector()->count(), 1);
        // Text the program writes does not run the handler.
        w.form->showSystemHistory(u"Alpha"_s);
        w.selector()->setEditText(u"Other"_s);
        QCOMPARE(w.history()->ChartTitle, u"Alpha History"_s);
        QCOMPARE(w.history()->points().size(), 1);
    }

    void treeShowsTheFirstSystemsHistory()
    {
        Window w({{u"Beta"_s, 1, 1}, {u"Alpha"_s, 1, 1}});
        w.form->showSystemHistory(u"Alpha"_s);
        auto* tree = w.form->findChild<QTreeWidget*>(u"TVMenu"_s);
        QTreeWidgetItem* node = tree->topLevelItem(0)->child(3);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(node).center());
        QCOMPARE(w.pages()->currentIndex(), int(TMainForm::PageSystemHistory));
        // The first row in the table's order, not by name.
        QCOMPARE(w.history()->ChartTitle, u"Beta History"_s);
        QCOMPARE(w.dm->ATblSystems.fieldByName(u"System"_s).asString(), u"Beta"_s);
    }

    void anErrorInAChartHandlerIsReported()
    {
        Window w({{u"Alpha"_s, 1, 1}, {u"Beta"_s, 1, 1}},
                 {historyRow(u"Beta"_s, QDate(2009, 1, 5), 0.5, 1024, 1024),
                  u"INSERT INTO FreeSpaceHistory (System, Date, Time, FreeMB, UsedMB) "
                  u"VALUES ('Beta', 39900, 0.5, NULL, 1)"_s});
        w.click(u"BtnChartNavDown"_s);
        QCOMPARE(reports,
                 QStringList{u"Could not convert variant of type (Null) into type (Double)"_s});
        reports.clear();
        // The title is set and the snapshot read before the bad row stays.
        QCOMPARE(w.history()->ChartTitle, u"Beta History"_s);
        QCOMPARE(w.history()->points().size(), 1);
        // The window goes on.
        w.click(u"BtnChartNavUp"_s);
        QCOMPARE(w.history()->ChartTitle, u"Alpha History"_s);
    }

    void subtitleUnderTheTitle()
    {
        // The line under the title is the forecast of the system shown, taken anew for each.
        Window w({{u"Alpha"_s, 1, 1}});
        QCOMPARE(w.history()->subtitle(), u"not enough history"_s);
        w.history()->setSubtitle(u"in 41 days (33–52)"_s);
        QCOMPARE(w.history()->frame()->subtitle(), u"in 41 days (33–52)"_s);
        w.form->showSystemHistory(u"Alpha"_s);
        QCOMPARE(w.history()->subtitle(), u"not enough history"_s);
        QCOMPARE(w.history()->frame()->titleLines(), QStringList{u"Alpha History"_s});
    }
};

VARDOMETER_WIDGET_TEST_MAIN(TestCharts)

#include "test_charts.moc"
