#include "data/DM2.h"
#include "support/TestDatabase.h"

#include <QTest>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

// Systems A, B and C; C has no history. One of B's rows spells the name in lower case,
// which still belongs to B since names compare without case. FreeMB marks each row.
class HistoryDatabase : public TestDatabase {
public:
    HistoryDatabase()
        : TestDatabase({{u"A"_s, u"/a"_s, {}}, {u"B"_s, u"/b"_s, {}}, {u"C"_s, u"/c"_s, {}}})
    {
        // Inserted out of date order so that ordering is visible.
        addHistory(u"A"_s, 39142, 0.50, 1);
        addHistory(u"A"_s, 39141, 0.75, 2);
        addHistory(u"B"_s, 39141, 0.10, 10);
        addHistory(u"A"_s, 39142, 0.25, 3);
        addHistory(u"A"_s, 39141, 0.25, 4);
        addHistory(u"b"_s, 39140, 0.10, 11);
        addHistory(u"Z"_s, 39140, 0.10, 99); // no such system
    }

    void addHistory(const QString& system, double date, double time, double freeMB) const
    {
        exec(u"INSERT INTO FreeSpaceHistory (System, Date, Time, FreeMB) VALUES (?, ?, ?, ?)"_s,
             {system, date, time, freeMB});
    }
};

// The FreeMB markers of every row, visited with the classic loop.
QList<int> markers(DataSet& ds)
{
    QList<int> result;
    for (ds.first(); !ds.eof(); ds.next())
        result << ds.fieldByName(u"FreeMB"_s).asInteger();
    return result;
}

QList<int> sorted(QList<int> list)
{
    std::sort(list.begin(), list.end());
    return list;
}

} // namespace

class TestMasterDetail : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void detailFollowsTheMasterCursor();
    void detailFollowsAPostedMasterRow();
    void appendedDetailRowTakesTheMasterSystem();
    void pendingDetailRowIsPostedWhenTheMasterMoves();
    void namedParameter_data();
    void namedParameter();
    void changedParameterAppliesOnReopening();
};

void TestMasterDetail::detailFollowsTheMasterCursor()
{
    HistoryDatabase db;
    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);
    DataSet& systems = dm.ATblSystems;
    DataSet& history = dm.ATblFreeSpaceHistory;

    const QList<int> ofA{1, 2, 3, 4};
    const QList<int> ofB{10, 11};
    const QList<int> ofC;

    QCOMPARE(sorted(markers(history)), ofA);

    struct Step {
        const char* move;
        QList<int> expected;
    };
    const Step steps[] = {{"next", ofB}, {"next", ofC},   {"prior", ofB}, {"first", ofA},
                          {"last", ofC}, {"moveTo", ofB}, {"first", ofA}};
    for (const Step& step : steps) {
        // Leave the detail somewhere other than its first row, so following shows.
        history.last();
        const QByteArray move(step.move);
        if (move == "next")
            systems.next();
        else if (move == "prior")
            systems.prior();
        else if (move == "first")
            systems.first();
        else if (move == "last")
            systems.last();
        else
            systems.moveTo(1);

        const QString shownSystem = systems.fieldByName(u"System"_s).asString();
        QVERIFY2(history.bof(), step.move);
        QCOMPARE(history.recordCount(), step.expected.size());
        QCOMPARE(history.eof(), step.expected.isEmpty());
        QList<int> seen;
        for (history.first(); !history.eof(); history.next()) {
            QCOMPARE(history.fieldByName(u"System"_s).asString().toUpper(), shownSystem);
            seen << history.fieldByName(u"FreeMB"_s).asInteger();
        }
        QCOMPARE(sorted(seen), step.expected);
    }
}

void TestMasterDetail::detailFollowsAPostedMasterRow()
{
    HistoryDatabase db;
    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);
    DataSet& systems = dm.ATblSystems;
    DataSet& history = dm.ATblFreeSpaceHistory;

    // Renaming the current system to the one the orphaned row belongs to.
    systems.edit();
    systems.fieldByName(u"System"_s).setValue(u"Z"_s);
    systems.post();
    QCOMPARE(markers(history), QList<int>{99});

    // A new system shows no history while it is typed, and its own once posted.
    systems.append();
    QCOMPARE(history.recordCount(), 0);
    systems.fieldByName(u"System"_s).setValue(u"A"_s);
    systems.post();
    QCOMPARE(sorted(markers(history)), (QList<int>{1, 2, 3, 4}));
}

void TestMasterDetail::appendedDetailRowTakesTheMasterSystem()
{
    HistoryDatabase db;
    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);
    DataSet& systems = dm.ATblSystems;
    DataSet& history = dm.ATblFreeSpaceHistory;

    systems.last(); // C, which has no history yet
    history.append();
    QCOMPARE(history.fieldByName(u"System"_s).value(), QVariant(u"C"_s));
    // The link alone is not a change: moving on would drop this row.
    QVERIFY(!history.modified());

    history.fieldByName(u"FreeMB"_s).setValue(55.0);
    history.post();
    QCOMPARE(db.scalar(u"SELECT System FROM FreeSpaceHistory WHERE FreeMB = 55"_s),
             QVariant(u"C"_s));
    QCOMPARE(markers(history), QList<int>{55});
}

void TestMasterDetail::pendingDetailRowIsPostedWhenTheMasterMoves()
{
    HistoryDatabase db;
    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);
    DataSet& systems = dm.ATblSystems;
    DataSet& history = dm.ATblFreeSpaceHistory;

    history.append();
    history.fieldByName(u"FreeMB"_s).setValue(77.0);
    systems.next();
    QCOMPARE(history.state(), DataSetState::Browse);
    QCOMPARE(db.scalar(u"SELECT System FROM FreeSpaceHistory WHERE FreeMB = 77"_s),
             QVariant(u"A"_s));
    QCOMPARE(sorted(markers(history)), (QList<int>{10, 11}));

    // An untouched new row is dropped instead.
    history.append();
    systems.prior();
    QCOMPARE(db.scalar(u"SELECT count(*) FROM FreeSpaceHistory"_s), QVariant(8));
    QCOMPARE(sorted(markers(history)), (QList<int>{1, 2, 3, 4, 77}));
}

void TestMasterDetail::namedParameter_data()
{
    QTest::addColumn<bool>("set");
    QTest::addColumn<QVariant>("system");
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("one system's rows in date and time order")
        << true << QVariant(u"A"_s) << QList<int>{4, 2, 3, 1};
    QTest::newRow("names match without case") << true << QVariant(u"a"_s) << QList<int>{4, 2, 3, 1};
    QTest::newRow("rows stored under another spelling")
        << true << QVariant(u"B"_s) << QList<int>{11, 10};
    QTest::newRow("a system without history has none") << true << QVariant(u"C"_s) << QList<int>{};
    QTest::newRow("left unset returns nothing") << false << QVariant() << QList<int>{};
}

void TestMasterDetail::namedParameter()
{
    QFETCH(bool, set);
    QFETCH(QVariant, system);
    QFETCH(QList<int>, expected);

    HistoryDatabase db;
    TDMVardometer dm(db.path());
    DataSet& query = dm.AQryFreeSpaceHistory;
    if (set)
        query.setParameter(u"QSystem"_s, system);
    query.open();
    QCOMPARE(markers(query), expected);
    QCOMPARE(query.recordCount(), expected.size());
}

void TestMasterDetail::changedParameterAppliesOnReopening()
{
    HistoryDatabase db;
    TDMVardometer dm(db.path());
    DataSet& query = dm.AQryFreeSpaceHistory;

    query.setParameter(u"QSystem"_s, u"A"_s);
    query.open();
    QCOMPARE(markers(query), (QList<int>{4, 2, 3, 1}));
    query.close();
    query.setParameter(u"QSystem"_s, u"B"_s);
    query.open();
    QCOMPARE(markers(query), (QList<int>{11, 10}));
}

QTEST_GUILESS_MAIN(TestMasterDetail)
#include "test_master_detail.moc"
