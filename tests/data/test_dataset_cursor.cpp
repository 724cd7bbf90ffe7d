#include "data/DM2.h"
#include "data/Errors.h"
#include "support/RaisedMessage.h"
#include "support/TestDatabase.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

QList<DatabaseCreator::NewSystem> systemsNamed(const QStringList& names)
{
    QList<DatabaseCreator::NewSystem> systems;
    for (const QString& name : names)
        systems << DatabaseCreator::NewSystem{name, u"/"_s, QString()};
    return systems;
}

QString stateName(DataSetState state)
{
    switch (state) {
    case DataSetState::Inactive:
        return u"Inactive"_s;
    case DataSetState::Browse:
        return u"Browse"_s;
    case DataSetState::Edit:
        return u"Edit"_s;
    case DataSetState::Insert:
        return u"Insert"_s;
    }
    return {};
}

QString text(Field& field)
{
    return field.isNull() ? QString() : field.asString();
}

// "State @recNo System:Owner bof eof": where the cursor is and what the current row shows
// (edit buffer included); the row is left out when the dataset is closed or shows none.
QString cursorText(DataSet& ds)
{
    QString result = stateName(ds.state()) + u" @"_s + QString::number(ds.recNo());
    if (ds.isActive() && !ds.fieldByName(u"System"_s).isNull())
        result +=
            u' ' + text(ds.fieldByName(u"System"_s)) + u':' + text(ds.fieldByName(u"Owner"_s));
    if (ds.bof())
        result += u" bof"_s;
    if (ds.eof())
        result += u" eof"_s;
    return result;
}

// Runs a script of cursor operations, stopping at the first one that raises.
// "set:Field=value" writes a field ("set:Field=" clears it); "walk" and "back" are the
// classic loops over all rows, recording each row they visit.
QString runScript(DataSet& ds, const QString& script, QStringList& visited)
{
    const QStringList ops = script.split(u' ', Qt::SkipEmptyParts);
    for (const QString& op : ops) {
        const QString raised = raisedMessage([&] {
            if (op == u"first")
                ds.first();
            else if (op == u"last")
                ds.last();
            else if (op == u"next")
                ds.next();
            else if (op == u"prior")
                ds.prior();
            else if (op == u"edit")
                ds.edit();
            else if (op == u"append")
                ds.append();
            else if (op == u"post")
                ds.post();
            else if (op == u"cancel")
                ds.cancel();
            else if (op == u"delete")
                ds.deleteRecord();
            else if (op == u"open")
                ds.open();
            else if (op == u"close")
                ds.close();
            else if (op == u"walk") {
                for (ds.first(); !ds.eof(); ds.next())
                    visited << ds.fieldByName(u"System"_s).asString();
            } else if (op == u"back") {
                for (ds.last(); !ds.bof(); ds.prior())
                    visited << ds.fieldByName(u"System"_s).asString();
            } else if (op.startsWith(u"set:")) {
                const QString assignment = op.mid(4);
                const qsizetype eq = assignment.indexOf(u'=');
                const QString value = assignment.mid(eq + 1);
                ds.fieldByName(assignment.left(eq))
                    .setValue(value.isEmpty() ? QVariant() : QVariant(value));
            } else {
                qFatal("unknown script operation %s", qPrintable(op));
            }
        });
        if (!raised.isEmpty())
            return raised;
    }
    return {};
}

} // namespace

class TestDataSetCursor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scriptedOperations_data();
    void scriptedOperations();
};

void TestDataSetCursor::scriptedOperations_data()
{
    // Rows are "System:Owner" of each row in stored order, or the System names visited.
    // The cursor is "State @recNo System:Owner" with "bof" and "eof" when they are set.
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("fileAfter");
    QTest::addColumn<QString>("visited");
    QTest::addColumn<QString>("cursor");

    const QString emptyDataset =
        u"ATblSystems: Cannot perform this operation on an empty dataset"_s;
    const QString notEditing = u"ATblSystems: Dataset not in edit or insert mode"_s;
    const QString closed = u"ATblSystems: Cannot perform this operation on a closed dataset"_s;

    // clang-format off
    QTest::newRow("open on rows: first row, bof, not eof")
        << u"A B C"_s << u""_s << u""_s
        << u"A: B: C:"_s << u""_s << u"Browse @0 A: bof"_s;
    QTest::newRow("open on no rows: bof and eof")
        << u""_s << u""_s << u""_s
        << u""_s << u""_s << u"Browse @-1 bof eof"_s;
    QTest::newRow("first sets bof")
        << u"A B C"_s << u"next next first"_s << u""_s
        << u"A: B: C:"_s << u""_s << u"Browse @0 A: bof"_s;
    QTest::newRow("last sets eof")
        << u"A B C"_s << u"last"_s << u""_s
        << u"A: B: C:"_s << u""_s << u"Browse @2 C: eof"_s;
    QTest::newRow("next moves and clears bof")
        << u"A B C"_s << u"next"_s << u""_s
        << u"A: B: C:"_s << u""_s << u"Browse @1 B:"_s;
    QTest::newRow("next on last row sets eof without moving")
        << u"A B C"_s << u"next next next"_s << u""_s
        << u"A: B: C:"_s << u""_s << u"Browse @2 C: eof"_s;
    QTest::newRow("prior on first row sets bof without moving")
        << u"A B C"_s << u"next prior prior"_s << u""_s
        << u"A: B: C:"_s << u""_s << u"Browse @0 A: bof"_s;
    QTest::newRow("prior after last moves back and clears eof")
        << u"A B C"_s << u"last prior"_s << u""_s
        << u"A: B: C:"_s << u""_s << u"Browse @1 B:"_s;
    QTest::newRow("one row: next sets eof and clears bof")
        << u"A"_s << u"next"_s << u""_s
        << u"A:"_s << u""_s << u"Browse @0 A: eof"_s;
    QTest::newRow("one row: next then prior does not look empty")
        << u"A"_s << u"next prior"_s << u""_s
        << u"A:"_s << u""_s << u"Browse @0 A: bof"_s;
    QTest::newRow("forward loop visits every row once")
        << u"A B C"_s << u"walk"_s << u""_s
        << u"A: B: C:"_s << u"A B C"_s << u"Browse @2 C: eof"_s;
    QTest::newRow("backward loop visits every row once")
        << u"A B C"_s << u"back"_s << u""_s
        << u"A: B: C:"_s << u"C B A"_s << u"Browse @0 A: bof"_s;
    QTest::newRow("forward loop over no rows visits nothing")
        << u""_s << u"walk"_s << u""_s
        << u""_s << u""_s << u"Browse @-1 bof eof"_s;

    QTest::newRow("edit shows the buffer before post")
        << u"A B C"_s << u"edit set:Owner=zed"_s << u""_s
        << u"A: B: C:"_s << u""_s << u"Edit @0 A:zed bof"_s;
    QTest::newRow("post writes the edit")
        << u"A B C"_s << u"next edit set:Owner=zed post"_s << u""_s
        << u"A: B:zed C:"_s << u""_s << u"Browse @1 B:zed"_s;
    QTest::newRow("modified edit is posted when the cursor moves")
        << u"A B C"_s << u"edit set:Owner=zed next"_s << u""_s
        << u"A:zed B: C:"_s << u""_s << u"Browse @1 B:"_s;
    QTest::newRow("modified edit is posted by first")
        << u"A B C"_s << u"last edit set:Owner=zed first"_s << u""_s
        << u"A: B: C:zed"_s << u""_s << u"Browse @0 A: bof"_s;
    QTest::newRow("unmodified edit is cancelled when the cursor moves")
        << u"A B C"_s << u"edit next"_s << u""_s
        << u"A: B: C:"_s << u""_s << u"Browse @1 B:"_s;
    QTest::newRow("cancel restores the row")
        << u"A B C"_s << u"edit set:Owner=zed cancel"_s << u""_s
        << u"A: B: C:"_s << u""_s << u"Browse @0 A: bof"_s;
    QTest::newRow("closing discards a modified edit")
        << u"A B C"_s << u"edit set:Owner=zed close"_s << u""_s
        << u"A: B: C:"_s << u""_s << u"Inactive @-1 bof eof"_s;
    QTest::newRow("reopening starts at the first row")
        << u"A B C"_s << u"last close open"_s << u""_s
        << u"A: B: C:"_s << u""_s << u"Browse @0 A: bof"_s;

    QTest::newRow("append then post adds a row at the end")
        << u"A B C"_s << u"append set:System=D set:Owner=dee post"_s << u""_s
        << u"A: B: C: D:dee"_s << u""_s << u"Browse @3 D:dee"_s;
    QTest::newRow("modified append is posted when the cursor moves")
        << u"A B C"_s << u"append set:System=D first"_s << u""_s
        << u"A: B: C: D:"_s << u""_s << u"Browse @0 A: bof"_s;
    QTest::newRow("untouched append is dropped when the cursor moves")
        << u"A B C"_s << u"next append prior"_s << u""_s
        << u"A: B: C:"_s << u""_s << u"Browse @0 A:"_s;
    QTest::newRow("cancelled append returns to the row it left")
        << u"A B C"_s << u"next append set:System=D cancel"_s << u""_s
        << u"A: B: C:"_s << u""_s << u"Browse @1 B:"_s;
    QTest::newRow("closing discards a modified append")
        << u"A B C"_s << u"append set:System=D close"_s << u""_s
        << u"A: B: C:"_s << u""_s << u"Inactive @-1 bof eof"_s;
    QTest::newRow("edit on no rows appends")
        << u""_s << u"edit"_s << u""_s
        << u""_s << u""_s << u"Insert @0"_s;
    QTest::newRow("edit on no rows then post writes the first row")
        << u""_s << u"edit set:System=D post"_s << u""_s
        << u"D:"_s << u""_s << u"Browse @0 D:"_s;

    QTest::newRow("delete moves to the next row")
        << u"A B C"_s << u"next delete"_s << u""_s
        << u"A: C:"_s << u""_s << u"Browse @1 C:"_s;
    QTest::newRow("delete of the last row moves to the new last row")
        << u"A B C"_s << u"last delete"_s << u""_s
        << u"A: B:"_s << u""_s << u"Browse @1 B:"_s;
    QTest::newRow("delete of the only row leaves bof and eof")
        << u"A"_s << u"delete"_s << u""_s
        << u""_s << u""_s << u"Browse @-1 bof eof"_s;
    QTest::newRow("delete while appending drops the new row only")
        << u"A B C"_s << u"append set:System=D delete"_s << u""_s
        << u"A: B: C:"_s << u""_s << u"Browse @0 A:"_s;
    QTest::newRow("delete on no rows raises")
        << u""_s << u"delete"_s << emptyDataset
        << u""_s << u""_s << u"Browse @-1 bof eof"_s;
    QTest::newRow("writing a field in browse raises")
        << u"A B C"_s << u"next set:Owner=zed"_s << notEditing
        << u"A: B: C:"_s << u""_s << u"Browse @1 B:"_s;
    QTest::newRow("moving a closed dataset raises")
        << u"A B C"_s << u"close next"_s << closed
        << u"A: B: C:"_s << u""_s << u"Inactive @-1 bof eof"_s;
    QTest::newRow("editing a closed dataset raises")
        << u"A B C"_s << u"close edit"_s << closed
        << u"A: B: C:"_s << u""_s << u"Inactive @-1 bof eof"_s;
    QTest::newRow("deleting in a closed dataset raises")
        << u"A B C"_s << u"close delete"_s << closed
        << u"A: B: C:"_s << u""_s << u"Inactive @-1 bof eof"_s;
    // clang-format on
}

void TestDataSetCursor::scriptedOperations()
{
    QFETCH(QString, initial);
    QFETCH(QString, script);
    QFETCH(QString, error);
    QFETCH(QString, fileAfter);
    QFETCH(QString, visited);
    QFETCH(QString, cursor);

    TestDatabase db(systemsNamed(initial.split(u' ', Qt::SkipEmptyParts)));
    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);
    DataSet& ds = dm.ATblSystems;

    QStringList seen;
    QCOMPARE(runScript(ds, script, seen), error);
    QCOMPARE(seen.join(u' '), visited);
    QCOMPARE(cursorText(ds), cursor);

    QStringList stored;
    for (const QVariant& row :
         db.column(u"SELECT System || ':' || ifnull(Owner, '') FROM Systems ORDER BY rowid"_s))
        stored << row.toString();
    QCOMPARE(stored.join(u' '), fileAfter);
}

QTEST_GUILESS_MAIN(TestDataSetCursor)
#include "test_dataset_cursor.moc"
