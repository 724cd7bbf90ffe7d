#include "engine/AlertLine.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestAlertLines : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lines_data();
    void lines();
};

void TestAlertLines::lines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");

    QTest::newRow("free space at or below the threshold")
        << AlertLine::freeSpaceLine(u"FS1"_s, 10'000) << u"FS1 : Free Space (MB) down to 10000"_s;
    QTest::newRow("free megabytes past 32 bits, no separators")
        << AlertLine::freeSpaceLine(u"Big"_s, 2'147'483'648LL)
        << u"Big : Free Space (MB) down to 2147483648"_s;
    QTest::newRow("not found in a Check Space run")
        << AlertLine::systemNotFoundLine(u"FS1"_s) << u"FS1 : System Not Found"_s;
    QTest::newRow("not found in a snapshot run names the owner")
        << AlertLine::snapshotSystemNotFoundLine(u"FS1"_s, AlertLine::ownerName(u"Alice"_s))
        << u"FS1 Alice:System Not Found"_s;
    QTest::newRow("not found in a snapshot run, empty owner gives two spaces")
        << AlertLine::snapshotSystemNotFoundLine(u"FS1"_s, AlertLine::ownerName(QVariant()))
        << u"FS1  :System Not Found"_s;
}

void TestAlertLines::lines()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);

    QCOMPARE(line, expected);
}

QTEST_GUILESS_MAIN(TestAlertLines)
#include "test_alert_lines.moc"
