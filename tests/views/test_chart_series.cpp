// The charts' series building, the arrow buttons' stepping and the print time line: the
// fiddly parts, without any chart.
#include "data/DateTimeValue.h"
#include "views/ChartNav.h"
#include "views/HistorySeries.h"
#include "views/PrintTimeLine.h"
#include "views/SummarySeries.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;
using SummarySeries::UsageMode;

class TestChartSeries : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void summaryBar_data()
    {
        QTest::addColumn<double>("usedMB");
        QTest::addColumn<double>("freeMB");
        QTest::addColumn<double>("usedGB");
        QTest::addColumn<double>("freeGB");
        QTest::addColumn<double>("usedPercent");
        QTest::addColumn<double>("freePercent");
        QTest::newRow("30,720 and 10,240 MB") << 30720.0 << 10240.0 << 30.0 << 10.0 << 75.0 << 25.0;
        QTest::newRow("gigabytes are not rounded") << 1536.0 << 512.0 << 1.5 << 0.5 << 75.0 << 25.0;
        QTest::newRow("a full disk") << 2048.0 << 0.0 << 2.0 << 0.0 << 100.0 << 0.0;
        QTest::newRow("a zero sum is not divided by") << 0.0 << 0.0 << 0.0 << 0.0 << 0.0 << 0.0;
    }
    void summaryBar()
    {
        QFETCH(double, usedMB);
        QFETCH(double, freeMB);
        QFETCH(double, usedGB);
        QFETCH(double, freeGB);
        QFETCH(double, usedPercent);
        QFETCH(double, freePercent);
        const SummarySeries::Bar bar = SummarySeries::bar(u"Alpha"_s, usedMB, freeMB);
        QCOMPARE(bar.label, u"Alpha"_s);
        QCOMPARE(bar.usedColor, QColor(255, 0, 0));
        QCOMPARE(bar.freeColor, QColor(0, 255, 0));
        const SummarySeries::Parts gb = SummarySeries::parts(bar, UsageMode::Gigabytes);
        QCOMPARE(gb.used, usedGB);
        QCOMPARE(gb.free, freeGB);
        const SummarySeries::Parts percent = SummarySeries::parts(bar, UsageMode::Percentage);
        QCOMPARE(percent.used, usedPercent);
        QCOMPARE(percent.free, freePercent);
    }

    void summaryOrderAndTexts()
    {
        // Given in the query's ascending order, the bars stand from the bottom up.
        const QList<SummarySeries::Bar> bottomUp =
            SummarySeries::bars({SummarySeries::bar(u"A"_s, 1, 1), SummarySeries::bar(u"B"_s, 1, 1),
                                 SummarySeries::bar(u"C"_s, 1, 1)});
        QCOMPARE(bottomUp.front().label, u"C"_s);
        QCOMPARE(bottomUp.back().label, u"A"_s);
        QCOMPARE(SummarySeries::axisTitle(UsageMode::Percentage), u"%"_s);
        QCOMPARE(SummarySeries::axisTitle(UsageMode::Gigabytes), u"Capacity GB"_s);
        QCOMPARE(SummarySeries::toolTip(SummarySeries::bar(u"Mail"_s, 30720, 10240)),
                 u"Mail\nUsed: 30.00 GB\nFree: 10.00 GB\nTotal: 40.00 GB"_s);
    }

    void historyPoint()
    {
        const double date = DateTimeValue::fromDate(QDate(2009, 1, 5));
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        const HistorySeries::Point p = HistorySeries::point(date + 0.75, 40960, 20480, english);
        QCOMPARE(p.usedGB, 40.0);
        QCOMPARE(p.freeGB, 20.0);
        QCOMPARE(p.totalGB(), 60.0);
        // A date without its time of day, as the locale writes a short date.
        QCOMPARE(p.label, english.toString(QDate(2009, 1, 5), QLocale::ShortFormat));
        QCOMPARE(HistorySeries::toolTip(p).section(u'\n', 1), u"Used: 40.00 GB\nFree: 20.00 GB\n"
                                                              u"Total: 60.00 GB"_s);
    }

    void labelStride_data()
    {
        QTest::addColumn<double>("pixelsPerPoint");
        QTest::addColumn<double>("labelExtent");
        QTest::addColumn<int>("stride");
        QTest::newRow("room for every label") << 20.0 << 16.0 << 1;
        QTest::newRow("exactly the label's room") << 16.0 << 16.0 << 1;
        QTest::newRow("a little short") << 15.0 << 16.0 << 2;
        QTest::newRow("ten years on 800 pixels") << 800.0 / 3649 << 16.0 << 73;
        QTest::newRow("no width yet") << 0.0 << 16.0 << 1;
    }
    void labelStride()
    {
        QFETCH(double, pixelsPerPoint);
        QFETCH(double, labelExtent);
        QFETCH(int, stride);
        QCOMPARE(HistorySeries::labelStride(pixelsPerPoint, labelExtent), stride);
        // Labels written every stride points are at least their extent apart.
        if (pixelsPerPoint > 0)
            QVERIFY(stride * pixelsPerPoint >= labelExtent);
    }

    void valueScale_data()
    {
        QTest::addColumn<double>("highestGB");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<int>("ticks");
        QTest::newRow("60 GB") << 60.0 << 100.0 << 11;
        QTest::newRow("1,953 GB") << 1953.0 << 2000.0 << 5;
        QTest::newRow("exactly 500 GB") << 500.0 << 500.0 << 6;
        QTest::newRow("a small disk") << 0.3 << 0.5 << 6;
        QTest::newRow("nothing stored") << 0.0 << 1.0 << 11;
    }
    void valueScale()
    {
        QFETCH(double, highestGB);
        QFETCH(double, maximum);
        QFETCH(int, ticks);
        const HistorySeries::Scale scale =
            HistorySeries::valueScale({HistorySeries::Point{u"d"_s, highestGB, 0}});
        QCOMPARE(scale.maximum, maximum);
        QCOMPARE(scale.ticks, ticks);
    }

    void chartNav_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("down");
        QTest::addColumn<int>("target");
        QTest::newRow("up from the first does nothing") << 0 << false << -1;
        QTest::newRow("up from no selection does nothing") << -1 << false << -1;
        QTest::newRow("up from the second") << 1 << false << 0;
        QTest::newRow("down from no selection selects the first") << -1 << true << 0;
        QTest::newRow("down from the first") << 0 << true << 1;
        QTest::newRow("down from the last does nothing") << 2 << true << -1;
    }
    void chartNav()
    {
        QFETCH(int, current);
        QFETCH(bool, down);
        QFETCH(int, target);
        QCOMPARE(ChartNav::target(current, 3,
                                  down ? ChartNav::Direction::Down : ChartNav::Direction::Up),
                 target);
    }
    void chartNavOnAnEmptyList()
    {
        QCOMPARE(ChartNav::target(-1, 0, ChartNav::Direction::Down), -1);
        QCOMPARE(ChartNav::target(-1, 0, ChartNav::Direction::Up), -1);
    }

    void printTimeLine_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("line");
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("afternoon") << QDateTime(QDate(2009, 1, 5), QTime(15, 4)) << english
                                   << u"Printed on Monday, January 5, 2009,  at 03:04 PM"_s;
        QTest::newRow("half past midnight is 12 AM")
            << QDateTime(QDate(2009, 1, 5), QTime(0, 30)) << english
            << u"Printed on Monday, January 5, 2009,  at 12:30 AM"_s;
        QTest::newRow("noon is 12 PM") << QDateTime(QDate(2010, 12, 25), QTime(12, 0)) << english
                                       << u"Printed on Saturday, December 25, 2010,  at 12:00 PM"_s;
        QTest::newRow("just before noon") << QDateTime(QDate(2007, 3, 11), QTime(11, 59)) << english
                                          << u"Printed on Sunday, March 11, 2007,  at 11:59 AM"_s;
        QTest::newRow("the locale's long names")
            << QDateTime(QDate(2009, 1, 5), QTime(9, 7)) << QLocale(QLocale::German)
            << u"Printed on Montag, Januar 5, 2009,  at 09:07 AM"_s;
    }
    void printTimeLine()
    {
        QFETCH(QDateTime, when);
        QFETCH(QLocale, locale);
        QFETCH(QString, line);
        QCOMPARE(::printTimeLine(when, locale), line);
    }
};

QTEST_GUILESS_MAIN(TestChartSeries)
#include "test_chart_series.moc"
