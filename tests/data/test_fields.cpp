#include "data/DM2.h"
#include "data/Errors.h"
#include "data/Variant.h"
#include "support/RaisedMessage.h"
#include "support/TestDatabase.h"

#include <QTest>

#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace {

QList<DatabaseCreator::NewSystem> oneSystem()
{
    return {DatabaseCreator::NewSystem{u"SERVER1"_s, u"/srv"_s, QString()}};
}

} // namespace

class TestFields : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void namesAreCaseInsensitive();
    void nullReads_data();
    void nullReads();
    void typedReadOfNullRaises_data();
    void typedReadOfNullRaises();
    void defaultsFillNewRows();
    void changedDefaultReachesNewRows_data();
    void changedDefaultReachesNewRows();
    void textSizeLimit_data();
    void textSizeLimit();
    void displayTextUsesTheColumnFormat();
    void nullIsBelowEveryNumber_data();
    void nullIsBelowEveryNumber();
};

void TestFields::initTestCase()
{
    // Display texts below are written for the C locale, whatever the machine's.
    QLocale::setDefault(QLocale::c());
}

void TestFields::namesAreCaseInsensitive()
{
    TestDatabase db(oneSystem());
    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);
    DataSet& systems = dm.ATblSystems;

    systems.edit();
    systems.fieldByName(u"LastUSedMB"_s).setValue(1234.5);
    systems.fieldByName(u"lastfree%"_s).setValue(12.5);
    systems.post();

    QCOMPARE(db.scalar(u"SELECT LastUsedMB FROM Systems"_s).toDouble(), 1234.5);
    QCOMPARE(db.scalar(u"SELECT \"LastFree%\" FROM Systems"_s).toDouble(), 12.5);
    QCOMPARE(systems.fieldByName(u"LASTUSEDMB"_s).asFloat(), 1234.5);
    QCOMPARE(systems.fieldByName(u"LastUSedMB"_s).fieldName(), u"LastUsedMB"_s);
    QCOMPARE(raisedMessage([&] { systems.fieldByName(u"NoSuchColumn"_s); }),
             u"ATblSystems: Field 'NoSuchColumn' not found"_s);
}

void TestFields::nullReads_data()
{
    QTest::addColumn<bool>("emptyDataset");
    QTest::newRow("a Null column of a row") << false;
    QTest::newRow("any column of an empty dataset") << true;
}

void TestFields::nullReads()
{
    QFETCH(bool, emptyDataset);
    TestDatabase db(emptyDataset ? QList<DatabaseCreator::NewSystem>{} : oneSystem());
    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);

    Field& lastAnalysed = dm.ATblSystems.fieldByName(u"DateLastAnalysed"_s);
    QVERIFY(lastAnalysed.isNull());
    QVERIFY(Variant::isNull(lastAnalysed.value()));
    QCOMPARE(lastAnalysed.displayText(), QString());
    QCOMPARE(dm.ATblSystems.fieldByName(u"System"_s).isNull(), emptyDataset);
}

void TestFields::typedReadOfNullRaises_data()
{
    QTest::addColumn<bool>("emptyDataset");
    QTest::addColumn<QString>("read");
    QTest::addColumn<QString>("message");

    const QStringList reads{u"asInteger"_s, u"asString"_s, u"asBoolean"_s, u"asFloat"_s};
    const QStringList types{u"Integer"_s, u"String"_s, u"Boolean"_s, u"Double"_s};
    for (int i = 0; i < reads.size(); ++i) {
        const QString message =
            u"Could not convert variant of type (Null) into type (%1)"_s.arg(types[i]);
        QTest::addRow("%s of a Null column", qPrintable(reads[i])) << false << reads[i] << message;
        QTest::addRow("%s of an empty dataset", qPrintable(reads[i]))
            << true << reads[i] << message;
    }
}

void TestFields::typedReadOfNullRaises()
{
    QFETCH(bool, emptyDataset);
    QFETCH(QString, read);
    QFETCH(QString, message);

    TestDatabase db(emptyDataset ? QList<DatabaseCreator::NewSystem>{} : oneSystem());
    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);
    // Owner was stored as Null; on an empty dataset every column reads as Null.
    Field& owner = dm.ATblSystems.fieldByName(u"Owner"_s);

    std::exception_ptr raised;
    try {
        if (read == u"asInteger")
            owner.asInteger();
        else if (read == u"asString")
            owner.asString();
        else if (read == u"asBoolean")
            owner.asBoolean();
        else
            owner.asFloat();
    } catch (const ConversionError& e) {
        QCOMPARE(e.message(), message);
        raised = std::current_exception();
    }
    QVERIFY2(raised, "the read did not raise a conversion error");
}

void TestFields::defaultsFillNewRows()
{
    TestDatabase db;
    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);
    DataSet& systems = dm.ATblSystems;

    systems.append();
    const QStringList zeroed{u"LastFree%"_s, u"LastUsed%"_s, u"LastFreeMB"_s, u"LastUsedMB"_s,
                             u"LastTotalMB"_s};
    for (const QString& name : zeroed)
        QCOMPARE(systems.fieldByName(name).value(), QVariant(0.0));
    QCOMPARE(systems.fieldByName(u"Alert1MB"_s).value(), QVariant(500.0));
    QVERIFY(systems.fieldByName(u"Alert2MB"_s).isNull());
    QVERIFY(systems.fieldByName(u"Owner"_s).isNull());

    systems.fieldByName(u"System"_s).setValue(u"NEW"_s);
    systems.post();
    QCOMPARE(db.scalar(u"SELECT \"LastFree%\" + \"LastUsed%\" + LastFreeMB + LastUsedMB + "
                       u"LastTotalMB FROM Systems"_s),
             QVariant(0.0));
    QCOMPARE(db.scalar(u"SELECT Alert1MB FROM Systems"_s), QVariant(500.0));
    QCOMPARE(db.scalar(u"SELECT count(*) FROM Systems WHERE Alert2MB IS NULL"_s), QVariant(1));
}

void TestFields::changedDefaultReachesNewRows_data()
{
    QTest::addColumn<bool>("throughDataSet");
    QTest::addColumn<bool>("reopen");
    QTest::newRow("field default, next append") << false << false;
    QTest::newRow("dataset default, next append") << true << false;
    QTest::newRow("dataset default survives reopening") << true << true;
}

void TestFields::changedDefaultReachesNewRows()
{
    QFETCH(bool, throughDataSet);
    QFETCH(bool, reopen);

    TestDatabase db;
    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);
    DataSet& systems = dm.ATblSystems;

    if (throughDataSet)
        systems.setFieldDefault(u"alert1mb"_s, 750.0);
    else
        systems.fieldByName(u"alert1mb"_s).setDefaultValue(750.0);
    if (reopen) {
        systems.close();
        systems.open();
    }

    systems.append();
    QCOMPARE(systems.fieldByName(u"Alert1MB"_s).value(), QVariant(750.0));
    systems.fieldByName(u"System"_s).setValue(u"NEW"_s);
    systems.post();
    QCOMPARE(db.scalar(u"SELECT Alert1MB FROM Systems WHERE System = 'NEW'"_s), QVariant(750.0));
}

void TestFields::textSizeLimit_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("15 characters fit") << u"ABCDEFGHIJKLMNO"_s << true;
    QTest::newRow("16 characters are refused") << u"ABCDEFGHIJKLMNOP"_s << false;
}

void TestFields::textSizeLimit()
{
    QFETCH(QString, value);
    QFETCH(bool, accepted);

    TestDatabase db(oneSystem());
    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);
    DataSet& systems = dm.ATblSystems;
    Field& system = systems.fieldByName(u"System"_s);

    systems.edit();
    const QString raised = raisedMessage([&] { system.setValue(value); });
    QCOMPARE(raised.isEmpty(), accepted);
    if (!accepted) {
        QVERIFY2(raised.startsWith(u"ATblSystems: "_s) && raised.contains(u"'System'"_s) &&
                     raised.contains(u"15"_s),
                 qPrintable(raised));
        QCOMPARE(system.asString(), u"SERVER1"_s);
        QVERIFY(!systems.modified());
    }
    systems.post();

    const QString expected = accepted ? value : u"SERVER1"_s;
    QCOMPARE(db.scalar(u"SELECT System FROM Systems"_s).toString(), expected);
}

void TestFields::displayTextUsesTheColumnFormat()
{
    TestDatabase db(oneSystem());
    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);
    DataSet& systems = dm.ATblSystems;

    systems.edit();
    systems.fieldByName(u"LastFree%"_s).setValue(0.5);
    systems.fieldByName(u"LastTotalMB"_s).setValue(1234567.0);
    systems.fieldByName(u"TimeLastAnalysed"_s).setValue(0.75);
    systems.post();

    QCOMPARE(systems.fieldByName(u"LastFree%"_s).displayText(), u".50"_s);
    QCOMPARE(systems.fieldByName(u"LastTotalMB"_s).displayText(), u"1,234,567"_s);
    QCOMPARE(systems.fieldByName(u"TimeLastAnalysed"_s).displayText(), u"18:00:00"_s);
    QCOMPARE(systems.fieldByName(u"LastFree%"_s).displayLabel(), u"Free %"_s);
}

void TestFields::nullIsBelowEveryNumber_data()
{
    QTest::addColumn<QVariant>("a");
    QTest::addColumn<QVariant>("b");
    QTest::addColumn<int>("order");

    const double lowest = std::numeric_limits<double>::lowest();
    QTest::newRow("Null below zero") << QVariant() << QVariant(0.0) << -1;
    QTest::newRow("Null below a negative number") << QVariant() << QVariant(-1.0) << -1;
    QTest::newRow("Null below the lowest double") << QVariant() << QVariant(lowest) << -1;
    QTest::newRow("Null below an integer") << QVariant() << QVariant(-5) << -1;
    QTest::newRow("number above Null") << QVariant(-1.0) << QVariant() << 1;
    QTest::newRow("SQL Null below a number")
        << QVariant(QMetaType::fromType<double>()) << QVariant(-3.0) << -1;
    QTest::newRow("two Nulls are equal") << QVariant() << QVariant(QMetaType::fromType<int>()) << 0;
    QTest::newRow("numbers still order") << QVariant(2) << QVariant(1.5) << 1;
}

void TestFields::nullIsBelowEveryNumber()
{
    QFETCH(QVariant, a);
    QFETCH(QVariant, b);
    QFETCH(int, order);

    const int result = Variant::compare(a, b);
    QCOMPARE((result > 0) - (result < 0), order);
    if (!Variant::isNull(b))
        QCOMPARE(Variant::greaterThan(a, b.toDouble()), order > 0);
}

QTEST_GUILESS_MAIN(TestFields)
#include "test_fields.moc"
