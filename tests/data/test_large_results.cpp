#include "data/DM2.h"
#include "data/RowReader.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int RowCount = 600; // more than two pages

QString nameOf(int i)
{
    return u"S%1"_s.arg(i, 4, 10, QLatin1Char('0'));
}

QStringList forward(DataSet& ds)
{
    QStringList seen;
    for (ds.first(); !ds.eof(); ds.next())
        seen << ds.fieldByName(u"System"_s).asString();
    return seen;
}

QStringList backward(DataSet& ds)
{
    QStringList seen;
    for (ds.last(); !ds.bof(); ds.prior())
        seen << ds.fieldByName(u"System"_s).asString();
    return seen;
}

QStringList reversed(QStringList list)
{
    std::reverse(list.begin(), list.end());
    return list;
}

} // namespace

class TestLargeResults : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void walkAfterDeletes_data();
    void walkAfterDeletes();
    void editsAndAppendsBeyondTheFirstPage();
    void anEditKeepsTheRowAsReadWhileOtherRowsAreRead();

private:
    std::unique_ptr<TestDatabase> m_template;
};

void TestLargeResults::initTestCase()
{
    QVERIFY(RowCount > 2 * RowReader::PageSize);
    QList<DatabaseCreator::NewSystem> systems;
    for (int i = 0; i < RowCount; ++i)
        systems << DatabaseCreator::NewSystem{nameOf(i), u"/"_s, QString()};
    m_template = std::make_unique<TestDatabase>(systems);
}

void TestLargeResults::walkAfterDeletes_data()
{
    QTest::addColumn<QList<int>>("deleted"); // row positions, deleted in this order

    const int page = RowReader::PageSize;
    QTest::newRow("no deletes") << QList<int>{};
    QTest::newRow("first and last rows") << QList<int>{0, RowCount - 2};
    QTest::newRow("either side of each page boundary")
        << QList<int>{page, page - 1, 2 * page - 2, 2 * page - 3};
    QTest::newRow("a run across a page boundary")
        << QList<int>{page - 3, page - 3, page - 3, page - 3, page - 3, page - 3};
    QTest::newRow("a later page, then an earlier one") << QList<int>{500, 10, 300};
}

void TestLargeResults::walkAfterDeletes()
{
    QFETCH(QList<int>, deleted);

    TestDatabase db;
    QFile::remove(db.path());
    QVERIFY(QFile::copy(m_template->path(), db.path()));
    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);
    DataSet& systems = dm.ATblSystems;

    QStringList expected;
    for (int i = 0; i < RowCount; ++i)
        expected << nameOf(i);

    // Walk both ways first so that pages are cached when the deletes shift rows.
    QCOMPARE(forward(systems), expected);
    QCOMPARE(backward(systems), reversed(expected));

    for (int position : std::as_const(deleted)) {
        systems.moveTo(position);
        QCOMPARE(systems.fieldByName(u"System"_s).asString(), expected[position]);
        systems.deleteRecord();
        expected.removeAt(position);
        QCOMPARE(systems.recNo(), std::min(position, int(expected.size()) - 1));
        QCOMPARE(systems.fieldByName(u"System"_s).asString(), expected[systems.recNo()]);
    }

    QCOMPARE(systems.recordCount(), expected.size());
    QCOMPARE(forward(systems), expected);
    QCOMPARE(backward(systems), reversed(expected));
    QCOMPARE(db.scalar(u"SELECT count(*) FROM Systems"_s).toInt(), expected.size());
}

void TestLargeResults::editsAndAppendsBeyondTheFirstPage()
{
    TestDatabase db;
    QFile::remove(db.path());
    QVERIFY(QFile::copy(m_template->path(), db.path()));
    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);
    DataSet& systems = dm.ATblSystems;

    QStringList expected;
    for (int i = 0; i < RowCount; ++i)
        expected << nameOf(i);
    QCOMPARE(backward(systems), reversed(expected));

    // Rows on cached pages must show what was written, not what was first read.
    for (int position : {3, RowReader::PageSize + 7, RowCount - 1}) {
        systems.moveTo(position);
        systems.edit();
        systems.fieldByName(u"System"_s).setValue(u"E%1"_s.arg(position));
        systems.post();
        expected[position] = u"E%1"_s.arg(position);
    }
    for (int i = 0; i < 3; ++i) {
        systems.append();
        systems.fieldByName(u"System"_s).setValue(u"N%1"_s.arg(i));
        systems.post();
        expected << u"N%1"_s.arg(i);
    }

    QCOMPARE(forward(systems), expected);
    QCOMPARE(backward(systems), reversed(expected));
}

// A grid reads other rows while a row is being edited; however many pages that reads, and
// whatever another program wrote meanwhile, the fields the edit left alone show the row as
// it was when the edit began, and storing the edit writes only what it changed.
void TestLargeResults::anEditKeepsTheRowAsReadWhileOtherRowsAreRead()
{
    const int rowCount = (RowReader::CachedPages + 2) * RowReader::PageSize;
    QList<DatabaseCreator::NewSystem> systems;
    for (int i = 0; i < rowCount; ++i)
        systems << DatabaseCreator::NewSystem{nameOf(i), u"/"_s, u"owner"_s};
    TestDatabase db(systems);
    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);
    DataSet& rows = dm.ATblSystems;
    const int owner = rows.fieldByName(u"Owner"_s).index();

    rows.first();
    rows.edit();
    rows.fieldByName(u"Address"_s).setValue(u"/edited"_s);
    db.exec(u"UPDATE Systems SET Owner = 'changed elsewhere' WHERE System = ?"_s, {nameOf(0)});
    for (int i = rowCount - 1; i >= 0; --i)
        QCOMPARE(rows.valueAt(i, owner).toString(), u"owner"_s);
    QCOMPARE(rows.fieldByName(u"Owner"_s).asString(), u"owner"_s);
    QCOMPARE(rows.fieldByName(u"Address"_s).asString(), u"/edited"_s);
    rows.post();

    QCOMPARE(db.scalar(u"SELECT Address FROM Systems WHERE System = ?"_s, {nameOf(0)}).toString(),
             u"/edited"_s);
    QCOMPARE(db.scalar(u"SELECT Owner FROM Systems WHERE System = ?"_s, {nameOf(0)}).toString(),
             u"changed elsewhere"_s);
}

QTEST_GUILESS_MAIN(TestLargeResults)
#include "test_large_results.moc"
