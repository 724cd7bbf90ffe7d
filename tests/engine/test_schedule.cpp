#include "data/DateTimeValue.h"
#include "engine/Schedule.h"
#include "support/RaisedMessage.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestSchedule : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstDelay_data()
    {
        QTest::addColumn<double>("target");
        QTest::addColumn<QTime>("now");
        QTest::addColumn<int>("delay");
        const double two = DateTimeValue::fromTime(QTime(2, 0));
        QTest::newRow("a minute before") << two << QTime(1, 59) << 60'000;
        QTest::newRow("exactly then: tomorrow") << two << QTime(2, 0) << 86'400'000;
        QTest::newRow("an hour after") << two << QTime(3, 0) << 23 * 3'600'000;
        QTest::newRow("one millisecond before") << two << QTime(1, 59, 59, 999) << 1;
        QTest::newRow("a stored date is ignored")
            << DateTimeValue::fromDateTime(QDateTime(QDate(2009, 1, 5), QTime(2, 0)))
            << QTime(1, 59) << 60'000;
        QTest::newRow("midnight from late evening") << 0.0 << QTime(23, 0) << 3'600'000;
    }
    void firstDelay()
    {
        QFETCH(double, target);
        QFETCH(QTime, now);
        QFETCH(int, delay);
        QCOMPARE(Schedule::firstDelayMs(target, now), delay);
    }

    void checkInterval_data()
    {
        QTest::addColumn<qint64>("minutes");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("error");
        QTest::newRow("five minutes") << qint64(5) << 300'000 << QString();
        QTest::newRow("the largest that fits") << qint64(35'791) << 2'147'460'000 << QString();
        QTest::newRow("one more overflows") << qint64(35'792) << 0 << u"Integer overflow"_s;
        QTest::newRow("zero never fires") << qint64(0) << 0 << QString();
        QTest::newRow("negative counts as zero") << qint64(-5) << 0 << QString();
        QTest::newRow("far negative counts as zero") << qint64(-100'000) << 0 << QString();
    }
    void checkInterval()
    {
        QFETCH(qint64, minutes);
        QFETCH(int, interval);
        QFETCH(QString, error);
        int result = -1;
        QCOMPARE(raisedMessage([&] { result = Schedule::checkIntervalMs(minutes); }), error);
        if (error.isEmpty())
            QCOMPARE(result, interval);
    }

    void minutesFromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<QString>("error");
        QTest::newRow("number") << u"10"_s << 10 << QString();
        QTest::newRow("blanks around") << u" 10 "_s << 10 << QString();
        QTest::newRow("empty") << QString() << 0 << u"'' is not a valid integer value"_s;
        QTest::newRow("letters") << u"ten"_s << 0 << u"'ten' is not a valid integer value"_s;
        QTest::newRow("fraction") << u"1.5"_s << 0 << u"'1.5' is not a valid integer value"_s;
    }
    void minutesFromText()
    {
        QFETCH(QString, text);
        QFETCH(int, minutes);
        QFETCH(QString, error);
        int result = -1;
        QCOMPARE(raisedMessage([&] { result = Schedule::minutesFromText(text); }), error);
        if (error.isEmpty())
            QCOMPARE(result, minutes);
    }
};

QTEST_GUILESS_MAIN(TestSchedule)
#include "test_schedule.moc"
