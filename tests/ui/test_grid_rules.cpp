#include "data/DateTimeValue.h"
#include "views/GridRules.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QDate Today(2007, 3, 11);
const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);
const QColor Red(255, 0, 0);
const QColor Yellow(255, 255, 0);

QVariant daysFromToday(double days)
{
    return DateTimeValue::fromDate(Today) + days;
}

} // namespace

class TestGridRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void summaryColours_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("used");
        QTest::addColumn<QVariant>("zeroDate");
        QTest::addColumn<QColor>("font");
        QTest::addColumn<QColor>("brush");
        QTest::addColumn<bool>("bold");

        const QVariant none;
        QTest::newRow("79.99 % stays black on white")
            << u"System"_s << QVariant(79.99) << none << Black << White << false;
        QTest::newRow("80 % turns the whole row red")
            << u"System"_s << QVariant(80.0) << none << Red << White << false;
        QTest::newRow("89.99 % is still red on white")
            << u"AvgDailyMB"_s << QVariant(89.99) << none << Red << White << false;
        QTest::newRow("90 % is yellow on red")
            << u"System"_s << QVariant(90.0) << none << Yellow << Red << false;
        QTest::newRow("empty used percentage counts as 0")
            << u"LastUsedMB"_s << none << none << Black << White << false;
        QTest::newRow("free percentage is bold")
            << u"LastFree%"_s << QVariant(10.0) << none << Black << White << true;
        QTest::newRow("free megabytes are bold in a red row")
            << u"LastFreeMB"_s << QVariant(85.0) << none << Red << White << true;
        QTest::newRow("used megabytes are not bold")
            << u"LastUsedMB"_s << QVariant(10.0) << none << Black << White << false;
        QTest::newRow("full date ten days ahead is white on black")
            << u"ZeroDate1"_s << QVariant(10.0) << daysFromToday(10) << White << Black << false;
        QTest::newRow("full date eleven days ahead is not")
            << u"ZeroDate1"_s << QVariant(10.0) << daysFromToday(11) << Black << White << false;
        QTest::newRow("full date in the past is white on black")
            << u"ZeroDate1"_s << QVariant(10.0) << daysFromToday(-30) << White << Black << false;
        QTest::newRow("empty full date is never marked")
            << u"ZeroDate1"_s << QVariant(10.0) << none << Black << White << false;
        QTest::newRow("zero full date means no date")
            << u"ZeroDate1"_s << QVariant(10.0) << QVariant(0.0) << Black << White << false;
        QTest::newRow("near full date wins over 95 % in its own cell")
            << u"ZeroDate1"_s << QVariant(95.0) << daysFromToday(3) << White << Black << false;
        QTest::newRow("other cells of that row stay yellow on red")
            << u"InitialDate"_s << QVariant(95.0) << daysFromToday(3) << Yellow << Red << false;
        QTest::newRow("the forecast follows its row's colours")
            << GridRules::ForecastColumn << QVariant(95.0) << daysFromToday(3) << Yellow << Red
            << false;
        QTest::newRow("the forecast is neither bold nor marked as a near date")
            << GridRules::ForecastColumn << QVariant(10.0) << daysFromToday(3) << Black << White
            << false;
    }
    void summaryColours()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, used);
        QFETCH(QVariant, zeroDate);
        QFETCH(QColor, font);
        QFETCH(QColor, brush);
        QFETCH(bool, bold);
        CellColors colors;
        GridRules::summaryCellColors(field, used, zeroDate, Today, colors);
        QCOMPARE(colors.font, font);
        QCOMPARE(colors.brush, brush);
        QCOMPARE(colors.bold, bold);
    }

    void summaryColumnsEndWithTheForecast()
    {
        const QList<GridColumn> columns = GridRules::summaryColumns();
        QCOMPARE(columns.size(), 13);
        QCOMPARE(columns[11].fieldName, u"ZeroDate1"_s);
        QCOMPARE(columns[11].title, u"Date Disk Full"_s);
        QCOMPARE(columns[12].fieldName, GridRules::ForecastColumn);
        QCOMPARE(columns[12].title, u"Forecast"_s);
        // No group heading: its title fills both title lines, and "Prediction" stays over
        // the classic date alone.
        QCOMPARE(columns[12].groupHeading, QString());
        Qt::Alignment alignment = Qt::AlignLeft;
        GridRules::summaryTitleAlignment(GridRules::ForecastColumn, alignment);
        QCOMPARE(alignment, Qt::AlignLeft);
    }

    void historyColours_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("position");
        QTest::addColumn<QVariant>("used");
        QTest::addColumn<QColor>("font");
        QTest::addColumn<QColor>("brush");

        QTest::newRow("top visible row is white")
            << u"System"_s << 0 << QVariant(10.0) << Black << White;
        QTest::newRow("odd position is light yellow")
            << u"FreeMB"_s << 1 << QVariant(10.0) << Black << GridRules::LightYellow;
        QTest::newRow("85 % turns only the Used% text red")
            << u"Used%"_s << 1 << QVariant(85.0) << Red << GridRules::LightYellow;
        QTest::newRow("85 % leaves other cells shaded by position")
            << u"FreeMB"_s << 1 << QVariant(85.0) << Black << GridRules::LightYellow;
        QTest::newRow("90 % is yellow on red in Used%")
            << u"Used%"_s << 2 << QVariant(90.0) << Yellow << Red;
        QTest::newRow("79.99 % keeps the shading")
            << u"Used%"_s << 2 << QVariant(79.99) << Black << White;
    }
    void historyColours()
    {
        QFETCH(QString, field);
        QFETCH(int, position);
        QFETCH(QVariant, used);
        QFETCH(QColor, font);
        QFETCH(QColor, brush);
        CellColors colors;
        colors.bold = true; // a rule never adds or keeps a style of its own here
        GridRules::historyCellColors(field, position, used, colors);
        QCOMPARE(colors.font, font);
        QCOMPARE(colors.brush, brush);
    }

    void titleAlignment_data()
    {
        QTest::addColumn<int>("grid");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("passed");
        QTest::addColumn<int>("result");
        const int left = Qt::AlignLeft;
        const int right = Qt::AlignRight;
        const int centre = Qt::AlignHCenter;
        QTest::newRow("summary start date title is right")
            << 0 << u"InitialDate"_s << left << right;
        QTest::newRow("summary full date title is right") << 0 << u"ZeroDate1"_s << left << right;
        QTest::newRow("summary last-analysed date stays left")
            << 0 << u"DateLastAnalysed"_s << left << left;
        QTest::newRow("summary group heading stays centred")
            << 0 << u"Last Analyzed"_s << centre << centre;
        QTest::newRow("history Used% title is right") << 1 << u"Used%"_s << left << right;
        QTest::newRow("history Time title stays left") << 1 << u"Time"_s << left << left;
        QTest::newRow("systems Alert MB title is right") << 2 << u"Alert1MB"_s << left << right;
        QTest::newRow("systems Address title stays left") << 2 << u"Address"_s << left << left;
    }
    void titleAlignment()
    {
        QFETCH(int, grid);
        QFETCH(QString, name);
        QFETCH(int, passed);
        QFETCH(int, result);
        Qt::Alignment alignment = Qt::Alignment(passed) | Qt::AlignVCenter;
        if (grid == 0)
            GridRules::summaryTitleAlignment(name, alignment);
        else if (grid == 1)
            GridRules::historyTitleAlignment(name, alignment);
        else
            GridRules::systemsTitleAlignment(name, alignment);
        QCOMPARE(int(alignment & Qt::AlignHorizontal_Mask), result);
        QVERIFY(alignment & Qt::AlignVCenter);
    }
};

QTEST_GUILESS_MAIN(TestGridRules)
#include "test_grid_rules.moc"
