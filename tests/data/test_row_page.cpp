#include "data/RowPage.h"
#include "data/SqliteValues.h"

#include <QDateTime>
#include <QTest>

#include <sqlite3.h>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

// The same type and value, a null as a null.
bool sameValue(const QVariant& got, const QVariant& wanted)
{
    return got.metaType() == wanted.metaType() && got.isNull() == wanted.isNull() && got == wanted;
}

} // namespace

class TestRowPage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void readAsTheDataLayerReadsIt_data();
    void readAsTheDataLayerReadsIt();
    void writtenValuesComeBackWhole_data();
    void writtenValuesComeBackWhole();
    void cellsKeepTheirPlaces();

private:
    sqlite3* m_db = nullptr;
};

void TestRowPage::initTestCase()
{
    QVERIFY(sqlite3_open(":memory:", &m_db) == SQLITE_OK);
}

void TestRowPage::cleanupTestCase()
{
    sqlite3_close(m_db);
}

void TestRowPage::readAsTheDataLayerReadsIt_data()
{
    QTest::addColumn<QString>("expression");

    QTest::newRow("null") << u"NULL"_s;
    QTest::newRow("integer") << u"42"_s;
    QTest::newRow("largest integer") << u"9223372036854775807"_s;
    QTest::newRow("real") << u"4.5"_s;
    QTest::newRow("negative zero") << u"-0.0"_s;
    QTest::newRow("text") << u"'\\\\srv\\share'"_s;
    QTest::newRow("text beyond Latin-1") << u"'Ø 北'"_s;
    QTest::newRow("empty text") << u"''"_s;
    QTest::newRow("blob") << u"x'00ff10'"_s;
    QTest::newRow("empty blob") << u"x''"_s;
}

// Each storage class comes back as every other direct read of the data layer gives it.
void TestRowPage::readAsTheDataLayerReadsIt()
{
    QFETCH(QString, expression);

    const QByteArray sql = (u"SELECT 0, "_s + expression).toUtf8();
    sqlite3_stmt* raw = nullptr;
    QVERIFY(sqlite3_prepare_v2(m_db, sql.constData(), -1, &raw, nullptr) == SQLITE_OK);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
    QVERIFY(sqlite3_step(raw) == SQLITE_ROW);
    const QVariant wanted = SqliteValues::columnValue(raw, 1);

    RowPage page(3, 2);
    page.setFromStatement(1, 1, raw, 1);
    QVERIFY2(sameValue(page.value(1, 1), wanted),
             qPrintable(u"%1 read as %2"_s.arg(QString::fromLatin1(wanted.typeName()),
                                               QString::fromLatin1(page.value(1, 1).typeName()))));
    QVERIFY(sameValue(page.values(1)[1], wanted));
    // Nothing spills into the cells around it.
    QVERIFY(sameValue(page.value(1, 0), QVariant()));
    QVERIFY(sameValue(page.value(2, 1), QVariant()));
}

void TestRowPage::writtenValuesComeBackWhole_data()
{
    QTest::addColumn<QVariant>("value");

    QTest::newRow("nothing") << QVariant();
    QTest::newRow("a typed null") << QVariant(QMetaType::fromType<double>());
    QTest::newRow("64-bit integer") << QVariant(qint64(-7));
    QTest::newRow("int") << QVariant(12);
    QTest::newRow("double") << QVariant(10'000.25);
    QTest::newRow("bool") << QVariant(true);
    QTest::newRow("text") << QVariant(u"FS1"_s);
    QTest::newRow("null text") << QVariant(QString());
    QTest::newRow("bytes") << QVariant(QByteArray("\0\1", 2));
    QTest::newRow("date and time") << QVariant(QDateTime(QDate(2007, 3, 11), QTime(14, 5)));
}

void TestRowPage::writtenValuesComeBackWhole()
{
    QFETCH(QVariant, value);

    RowPage page(2, 3);
    page.set(1, 2, u"before"_s);
    page.set(1, 2, value);
    QVERIFY2(sameValue(page.value(1, 2), value), value.typeName());
    QCOMPARE(page.values(1).size(), 3);
    QVERIFY(sameValue(page.values(1)[2], value));
}

void TestRowPage::cellsKeepTheirPlaces()
{
    RowPage page(4, 3);
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 3; ++column) {
            if ((row + column) % 2 == 0)
                page.set(row, column, u"r%1c%2"_s.arg(row).arg(column));
            else
                page.set(row, column, double(row * 10 + column));
        }
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 3; ++column) {
            const QVariant wanted = (row + column) % 2 == 0
                                        ? QVariant(u"r%1c%2"_s.arg(row).arg(column))
                                        : QVariant(double(row * 10 + column));
            QVERIFY(sameValue(page.value(row, column), wanted));
        }
}

QTEST_GUILESS_MAIN(TestRowPage)
#include "test_row_page.moc"
