// Statements and fields are found again by their text's storage, which callers reuse; a
// text changed in place must never be taken for the one it held before.
#include "data/DM2.h"
#include "data/DbConnection.h"
#include "support/TestDatabase.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestReusedTexts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void statementTextChangedInPlace();
    void fieldNameChangedInPlace();
};

void TestReusedTexts::statementTextChangedInPlace()
{
    TestDatabase db({DatabaseCreator::NewSystem{u"FS1"_s, u"/srv"_s, QString()}});
    DbConnection connection(u"reused"_s);
    connection.setFileName(db.path());
    connection.open();

    const auto firstValue = [&](const QString& sql) {
        QVariant value;
        connection.readRows(sql, {}, [&](const DbConnection::Row& row) { value = row.value(0); });
        return value;
    };
    // Made at run time, so each text owns its storage and may be changed in it; the second
    // holds the same text as the first in storage of its own.
    const QString first = u"SELECT "_s + QString::number(1);
    QCOMPARE(firstValue(first), QVariant(qint64(1)));
    QString again = u"SELECT "_s + QString::number(1);
    QCOMPARE(firstValue(again), QVariant(qint64(1)));
    again[7] = u'2';
    QCOMPARE(firstValue(again), QVariant(qint64(2)));

    const QString firstWrite = u"UPDATE Systems SET Cost = "_s + QString::number(1);
    connection.write(firstWrite, {});
    QString write = u"UPDATE Systems SET Cost = "_s + QString::number(1);
    connection.write(write, {});
    write[write.size() - 1] = u'2';
    connection.write(write, {});
    QCOMPARE(db.scalar(u"SELECT Cost FROM Systems"_s).toInt(), 2);
}

void TestReusedTexts::fieldNameChangedInPlace()
{
    TestDatabase db({DatabaseCreator::NewSystem{u"FS1"_s, u"/srv"_s, QString()}});
    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);
    DataSet& systems = dm.ATblSystems;

    QString name = u"Alert"_s + QString::number(1) + u"MB"_s;
    QCOMPARE(systems.fieldByName(name).fieldName(), u"Alert1MB"_s);
    name[5] = u'2';
    QCOMPARE(systems.fieldByName(name).fieldName(), u"Alert2MB"_s);
    name[5] = u'x';
    QVERIFY(!systems.findField(name));
}

QTEST_GUILESS_MAIN(TestReusedTexts)
#include "test_reused_texts.moc"
