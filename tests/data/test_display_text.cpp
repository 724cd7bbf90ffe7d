#include "data/DateTimeValue.h"
#include "data/DisplayFormat.h"

#include <QTest>

#include <cmath>

Q_DECLARE_METATYPE(FieldKind)

using namespace Qt::Literals::StringLiterals;

class TestDisplayText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void formats_data();
    void formats();
    void dateTimeValues_data();
    void dateTimeValues();
};

void TestDisplayText::formats_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<FieldKind>("kind");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");

    const auto D = FieldKind::Double;
    const auto T = FieldKind::DateTime;
    const QVariant afternoon = DateTimeValue::fromTime(QTime(14, 5, 30));
    const QVariant dateAndTime =
        DateTimeValue::fromDateTime(QDateTime(QDate(2007, 3, 1), QTime(9, 4, 5)));

    // clang-format off
    QTest::newRow("#.00: no digit before the point below one")
        << QVariant(0.5) << D << u"#.00"_s << u"C"_s << u".50"_s;
    QTest::newRow("#.00: rounds to two decimals")
        << QVariant(12.345) << D << u"#.00"_s << u"C"_s << u"12.35"_s;
    QTest::newRow("#.00: zero is just the decimals")
        << QVariant(0.0) << D << u"#.00"_s << u"C"_s << u".00"_s;
    QTest::newRow("#.00: pads to two decimals")
        << QVariant(100.0) << D << u"#.00"_s << u"C"_s << u"100.00"_s;
    QTest::newRow("#.00: negative below one")
        << QVariant(-0.25) << D << u"#.00"_s << u"C"_s << u"-.25"_s;
    QTest::newRow("#.00: the locale's decimal point")
        << QVariant(3.5) << D << u"#.00"_s << u"de_DE"_s << u"3,50"_s;
    QTest::newRow("#.00: integer value")
        << QVariant(7) << FieldKind::Integer << u"#.00"_s << u"C"_s << u"7.00"_s;
    QTest::newRow("#,##0: thousands separators in the C locale")
        << QVariant(1234567.0) << D << u"#,##0"_s << u"C"_s << u"1,234,567"_s;
    QTest::newRow("#,##0: thousands separators in English")
        << QVariant(1234567.0) << D << u"#,##0"_s << u"en_US"_s << u"1,234,567"_s;
    QTest::newRow("#,##0: rounds to a whole number")
        << QVariant(999.5) << D << u"#,##0"_s << u"C"_s << u"1,000"_s;
    QTest::newRow("#,##0: small numbers have no separator")
        << QVariant(12.4) << D << u"#,##0"_s << u"C"_s << u"12"_s;
    QTest::newRow("#,##0: negative numbers")
        << QVariant(-2500.0) << D << u"#,##0"_s << u"C"_s << u"-2,500"_s;
    QTest::newRow("hh:mm:ss: 24-hour time with seconds")
        << afternoon << T << u"hh:mm:ss"_s << u"en_US"_s << u"14:05:30"_s;
    QTest::newRow("HH:MM:SS: the same as lower case")
        << afternoon << T << u"HH:MM:SS"_s << u"en_US"_s << u"14:05:30"_s;
    QTest::newRow("hh:mm:ss: ignores the date part")
        << dateAndTime << T << u"hh:mm:ss"_s << u"C"_s << u"09:04:05"_s;
    QTest::newRow("t: English short time")
        << afternoon << T << u"t"_s << u"en_US"_s << u"2:05 PM"_s;
    QTest::newRow("t: German short time")
        << afternoon << T << u"t"_s << u"de_DE"_s << u"14:05"_s;
    QTest::newRow("Null shows as empty text, #.00")
        << QVariant() << D << u"#.00"_s << u"C"_s << QString();
    QTest::newRow("Null shows as empty text, #,##0")
        << QVariant() << D << u"#,##0"_s << u"C"_s << QString();
    QTest::newRow("Null shows as empty text, hh:mm:ss")
        << QVariant() << T << u"hh:mm:ss"_s << u"C"_s << QString();
    QTest::newRow("Null shows as empty text, no pattern")
        << QVariant() << FieldKind::Text << QString() << u"C"_s << QString();
    QTest::newRow("no pattern: text as it is")
        << QVariant(u"Server 1"_s) << FieldKind::Text << QString() << u"C"_s << u"Server 1"_s;
    QTest::newRow("no pattern: boolean")
        << QVariant(true) << FieldKind::Boolean << QString() << u"C"_s << u"True"_s;
    // clang-format on
}

void TestDisplayText::formats()
{
    QFETCH(QVariant, value);
    QFETCH(FieldKind, kind);
    QFETCH(QString, pattern);
    QFETCH(QString, locale);
    QFETCH(QString, expected);

    const QLocale loc = locale == u"C" ? QLocale::c() : QLocale(locale);
    QCOMPARE(formatDisplayText(value, kind, pattern, loc), expected);
}

void TestDisplayText::dateTimeValues_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QDateTime>("dateTime");
    QTest::addColumn<bool>("exact"); // whether the date-time converts back to the same value

    // clang-format off
    QTest::newRow("the epoch is day 0")
        << 0.0 << QDateTime(QDate(1899, 12, 30), QTime(0, 0)) << true;
    QTest::newRow("1 March 2007 is day 39142")
        << 39142.0 << QDateTime(QDate(2007, 3, 1), QTime(0, 0)) << true;
    QTest::newRow("the fraction is the time of day")
        << 39142.75 << QDateTime(QDate(2007, 3, 1), QTime(18, 0)) << true;
    QTest::newRow("29 February 2008")
        << 39507.25 << QDateTime(QDate(2008, 2, 29), QTime(6, 0)) << true;
    QTest::newRow("before the epoch the fraction still counts forward")
        << -1.25 << QDateTime(QDate(1899, 12, 29), QTime(6, 0)) << false;
    QTest::newRow("a hair before midnight is the next day")
        << 39142.0 + 1.0 - 1e-10 << QDateTime(QDate(2007, 3, 2), QTime(0, 0)) << false;
    // clang-format on
}

void TestDisplayText::dateTimeValues()
{
    QFETCH(double, value);
    QFETCH(QDateTime, dateTime);
    QFETCH(bool, exact);

    QCOMPARE(DateTimeValue::toDateTime(value), dateTime);
    QCOMPARE(DateTimeValue::toDate(value), dateTime.date());
    QCOMPARE(DateTimeValue::toTime(value), dateTime.time());
    if (exact) {
        QCOMPARE(DateTimeValue::fromDateTime(dateTime), value);
        QCOMPARE(DateTimeValue::fromDate(dateTime.date()), std::trunc(value));
        QCOMPARE(DateTimeValue::fromTime(dateTime.time()), value - std::trunc(value));
    }
}

QTEST_GUILESS_MAIN(TestDisplayText)
#include "test_display_text.moc"
