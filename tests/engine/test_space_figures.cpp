#include "data/DateTimeValue.h"
#include "data/Errors.h"
#include "engine/AlertLine.h"
#include "engine/SpaceFigures.h"

#include <QTest>

#include <limits>

Q_DECLARE_METATYPE(SpaceInputs)

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 MB = 1'048'576;
constexpr qint64 GiB = 1024 * MB;
constexpr qint64 PiB = 1024LL * 1024 * GiB;
constexpr qint64 Int64Max = std::numeric_limits<qint64>::max();
constexpr qint64 Int64Min = std::numeric_limits<qint64>::min();

double date(int y, int m, int d)
{
    return DateTimeValue::fromDate(QDate(y, m, d));
}

const double RunDate = date(2007, 3, 11);

// The 20 GiB volume of the worked example, measured on RunDate.
SpaceInputs inputs(qint64 freeBytes, qint64 previousFreeMB, qint64 cumulativeUsedMB,
                   double daysSinceStart, const QVariant& alert1MB = {})
{
    SpaceInputs in;
    in.FreeBytes = freeBytes;
    in.TotalBytes = 20 * GiB;
    in.PreviousFreeMB = previousFreeMB;
    in.CumulativeUsedMB = cumulativeUsedMB;
    in.StartDate = RunDate - daysSinceStart;
    in.RunDate = RunDate;
    in.Alert1MB = alert1MB;
    return in;
}

// The message the user sees, or an empty string when nothing was raised.
template <typename Error> QString raisedMessage(const SpaceInputs& in)
{
    try {
        computeSpaceFigures(in);
    } catch (const Error& e) {
        return e.message();
    }
    return {};
}

} // namespace

class TestSpaceFigures : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void workedExample();
    void prediction_data();
    void prediction();
    void alertThreshold_data();
    void alertThreshold();
    void megabyteRounding_data();
    void megabyteRounding();
    void megabytesRoundedEachOnTheirOwn();
    void percentageRounding_data();
    void percentageRounding();
    void twoPebibyteVolume();
    void overflowIsAnError_data();
    void overflowIsAnError();
    void zeroTotalIsAnInvalidFloatingPointOperation();
};

void TestSpaceFigures::workedExample()
{
    SpaceInputs in;
    in.FreeBytes = 10'486'000'000;
    in.TotalBytes = 21'474'836'480;
    in.PreviousFreeMB = 10'500;
    in.CumulativeUsedMB = 1'200;
    in.StartDate = date(2007, 3, 1);
    in.RunDate = date(2007, 3, 11);
    in.Alert1MB = 10'000;

    const SpaceFigures f = computeSpaceFigures(in);
    QCOMPARE(f.UsedBytes, 10'988'836'480);
    QCOMPARE(f.TotalMB, 20'480);
    QCOMPARE(f.FreeMB, 10'000);
    QCOMPARE(f.UsedMB, 10'480);
    QCOMPARE(f.FreePercent, 48.83);
    QCOMPARE(f.UsedPercent, 51.17);
    QCOMPARE(f.CumulativeUsedMB, 1'700);
    QCOMPARE(f.AverageDailyMB, 170);
    QCOMPARE(f.ZeroDate, date(2007, 5, 9));
    QVERIFY(f.FreeSpaceAlert);
    QCOMPARE(AlertLine::freeSpaceLine(u"FS1"_s, f.FreeMB),
             u"FS1 : Free Space (MB) down to 10000"_s);
}

void TestSpaceFigures::prediction_data()
{
    QTest::addColumn<SpaceInputs>("in");
    QTest::addColumn<qint64>("cumulativeUsedMB");
    QTest::addColumn<qint64>("averageDailyMB");
    QTest::addColumn<double>("zeroDate"); // 0 = no date predicted

    QTest::newRow("first measurement: nothing consumed, no prediction")
        << inputs(10'000 * MB, 0, 0, 0) << 0LL << 0LL << 0.0;
    QTest::newRow("free space grew: cumulative kept, prediction made from it")
        << inputs(10'000 * MB, 9'000, 1'700, 10) << 1'700LL << 170LL << RunDate + 59;
    QTest::newRow("fall too small to change FreeMB adds nothing")
        << inputs(10'000 * MB - 400'000, 10'000, 1'200, 10) << 1'200LL << 120LL << RunDate + 83;
    QTest::newRow("under half a day's consumption left: no date")
        << inputs(10 * MB, 10, 1'000, 10) << 1'000LL << 100LL << 0.0;
    QTest::newRow("exactly half a day left rounds to even 0: no date")
        << inputs(50 * MB, 50, 1'000, 10) << 1'000LL << 100LL << 0.0;
    QTest::newRow("2.5 days left round to even 2")
        << inputs(250 * MB, 250, 1'000, 10) << 1'000LL << 100LL << RunDate + 2;
    QTest::newRow("3.5 days left round to even 4")
        << inputs(350 * MB, 350, 1'000, 10) << 1'000LL << 100LL << RunDate + 4;
    QTest::newRow("1 MB over 30 days averages 1, not 0")
        << inputs(1'000 * MB, 1'000, 1, 30) << 1LL << 1LL << RunDate + 1'000;
    QTest::newRow("same-day run: average is the cumulative figure")
        << inputs(10'000 * MB, 10'000, 1'700, 0) << 1'700LL << 1'700LL << RunDate + 6;
    QTest::newRow("start date in the future counts as one day")
        << inputs(10'000 * MB, 10'000, 1'700, -5) << 1'700LL << 1'700LL << RunDate + 6;
    QTest::newRow("start less than a day ago counts as one day")
        << inputs(10'000 * MB, 10'000, 1'700, 0.25) << 1'700LL << 1'700LL << RunDate + 6;
}

void TestSpaceFigures::prediction()
{
    QFETCH(SpaceInputs, in);
    QFETCH(qint64, cumulativeUsedMB);
    QFETCH(qint64, averageDailyMB);
    QFETCH(double, zeroDate);

    const SpaceFigures f = computeSpaceFigures(in);
    QCOMPARE(f.CumulativeUsedMB, cumulativeUsedMB);
    QCOMPARE(f.AverageDailyMB, averageDailyMB);
    QCOMPARE(f.ZeroDate, zeroDate);
}

void TestSpaceFigures::alertThreshold_data()
{
    QTest::addColumn<qint64>("freeBytes");
    QTest::addColumn<QVariant>("alert1MB");
    QTest::addColumn<bool>("alert");

    QTest::newRow("empty threshold never alerts, even with nothing free")
        << 0LL << QVariant() << false;
    QTest::newRow("zero threshold never alerts") << 0LL << QVariant(0) << false;
    QTest::newRow("negative threshold never alerts") << 0LL << QVariant(-1) << false;
    QTest::newRow("free space exactly at the threshold alerts")
        << 500 * MB << QVariant(500) << true;
    QTest::newRow("one MB above the threshold does not alert")
        << 501 * MB << QVariant(500) << false;
    QTest::newRow("compared after rounding: 500.48 MB free is 500")
        << 500 * MB + 500'000 << QVariant(500) << true;
    QTest::newRow("threshold 500.5 alerts at 500") << 500 * MB << QVariant(500.5) << true;
    QTest::newRow("threshold 500.5 does not alert at 501") << 501 * MB << QVariant(500.5) << false;
}

void TestSpaceFigures::alertThreshold()
{
    QFETCH(qint64, freeBytes);
    QFETCH(QVariant, alert1MB);
    QFETCH(bool, alert);

    QCOMPARE(computeSpaceFigures(inputs(freeBytes, 0, 0, 1, alert1MB)).FreeSpaceAlert, alert);
}

void TestSpaceFigures::megabyteRounding_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<qint64>("megabytes");

    QTest::newRow("just below half rounds down") << 10 * MB + MB / 2 - 1 << 10LL;
    QTest::newRow("half rounds to the even neighbour below") << 10 * MB + MB / 2 << 10LL;
    QTest::newRow("half rounds to the even neighbour above") << 11 * MB + MB / 2 << 12LL;
    QTest::newRow("just above half rounds up") << 10 * MB + MB / 2 + 1 << 11LL;
    QTest::newRow("2 PiB is past 32 bits") << 2 * PiB << 2'147'483'648LL;
    // Above 8 PiB a double cannot hold every byte count; this one would become the half.
    const qint64 oddMB = 9 * PiB / MB + 1;
    QTest::newRow("9 PiB: one byte below half is still below") << oddMB * MB + MB / 2 - 1 << oddMB;
}

void TestSpaceFigures::megabyteRounding()
{
    QFETCH(qint64, bytes);
    QFETCH(qint64, megabytes);

    QCOMPARE(bytesToMB(bytes), megabytes);
}

void TestSpaceFigures::megabytesRoundedEachOnTheirOwn()
{
    SpaceInputs in = inputs(MB + MB / 2, 0, 0, 1);
    in.TotalBytes = 3 * MB;

    const SpaceFigures f = computeSpaceFigures(in);
    QCOMPARE(f.TotalMB, 3);
    QCOMPARE(f.FreeMB, 2);
    QCOMPARE(f.UsedMB, 2);
}

void TestSpaceFigures::percentageRounding_data()
{
    QTest::addColumn<qint64>("part");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<double>("percent");

    QTest::newRow("3.125 % rounds to the even 3.12") << 1LL << 32LL << 3.12;
    QTest::newRow("9.375 % rounds to the even 9.38") << 3LL << 32LL << 9.38;
    QTest::newRow("nothing is 0 %") << 0LL << 32LL << 0.0;
    QTest::newRow("everything is 100 %") << 32LL << 32LL << 100.0;
}

void TestSpaceFigures::percentageRounding()
{
    QFETCH(qint64, part);
    QFETCH(qint64, total);
    QFETCH(double, percent);

    QCOMPARE(percentOfTotal(part, total), percent);
}

void TestSpaceFigures::twoPebibyteVolume()
{
    SpaceInputs in;
    in.TotalBytes = 2 * PiB;
    in.FreeBytes = PiB;
    in.PreviousFreeMB = 5'368'709'120; // a fall of 2^32 MB, past 32 bits
    in.CumulativeUsedMB = 0;
    in.StartDate = RunDate - 8;
    in.RunDate = RunDate;
    in.Alert1MB = QVariant::fromValue(2 * GiB);

    const SpaceFigures f = computeSpaceFigures(in);
    QCOMPARE(f.UsedBytes, PiB);
    QCOMPARE(f.TotalMB, 2'147'483'648LL);
    QCOMPARE(f.FreeMB, 1'073'741'824LL);
    QCOMPARE(f.UsedMB, 1'073'741'824LL);
    QCOMPARE(f.FreePercent, 50.0);
    QCOMPARE(f.UsedPercent, 50.0);
    QCOMPARE(f.CumulativeUsedMB, 4'294'967'296LL);
    QCOMPARE(f.AverageDailyMB, 536'870'912LL);
    QCOMPARE(f.ZeroDate, RunDate + 2);
    QVERIFY(f.FreeSpaceAlert);
}

void TestSpaceFigures::overflowIsAnError_data()
{
    QTest::addColumn<SpaceInputs>("in");

    QTest::newRow("cumulative figure past 64 bits") << inputs(0, 1, Int64Max, 1);
    QTest::newRow("average past 64 bits") << inputs(0, 0, Int64Max, 1);
    QTest::newRow("fall from a previous figure at the 64-bit floor") << inputs(MB, Int64Min, 0, 1);
    SpaceInputs huge = inputs(128 * PiB, 0, 0, 1);
    huge.TotalBytes = 256 * PiB;
    QTest::newRow("free bytes x 100 past 64 bits") << huge;
}

void TestSpaceFigures::overflowIsAnError()
{
    QFETCH(SpaceInputs, in);

    QCOMPARE(raisedMessage<IntegerOverflowError>(in), u"Integer overflow"_s);
}

void TestSpaceFigures::zeroTotalIsAnInvalidFloatingPointOperation()
{
    SpaceInputs in = inputs(0, 0, 0, 1);
    in.TotalBytes = 0;

    QCOMPARE(raisedMessage<FloatingPointError>(in), u"Invalid floating point operation"_s);
}

QTEST_GUILESS_MAIN(TestSpaceFigures)
#include "test_space_figures.moc"
