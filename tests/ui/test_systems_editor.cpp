#include "data/DM2.h"
#include "support/EngineDoubles.h"
#include "support/MainWindowFixture.h"
#include "support/TestDatabase.h"
#include "support/WhileModal.h"
#include "support/WidgetTestMain.h"
#include "support/WindowTest.h"
#include "toolkit/DataGrid.h"
#include "ui/MainForm.h"
#include "ui/Systems.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

// The program's editor over a test database whose default threshold is 777 MB.
struct Editor : MainWindowFixture {
    TSystemsForm* editor = nullptr;

    explicit Editor(const QList<DatabaseCreator::NewSystem>& systems)
        : MainWindowFixture(systems, {u"UPDATE Options SET DefaultAlertMB = 777"_s})
    {
        open();
        form->show();
        editor = form->findChild<TSystemsForm*>(u"SystemsForm"_s);
        // Shown without its own event loop, so the test can work in it.
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor));
    }
    DataGrid* grid() const { return editor->findChild<DataGrid*>(u"GridSystems"_s); }
    QToolButton* navButton(const QString& name) const
    {
        return editor->findChild<QWidget*>(u"NavSystems"_s)->findChild<QToolButton*>(name);
    }
    QLineEdit* editCell(int row, int column) const
    {
        DataGrid* g = grid();
        g->setFocus();
        g->setCurrentIndex(g->model()->index(row, column));
        g->edit(g->currentIndex());
        return g->findChild<QLineEdit*>(u"InplaceEditor"_s);
    }
    QVariant stored(const QString& sql) const { return db.scalar(sql); }
};

} // namespace

class TestSystemsEditor : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void newRowShowsTheDefaultThreshold_data()
    {
        QTest::addColumn<int>("systems");
        QTest::newRow("empty table: Insert starts the first row") << 0;
        QTest::newRow("rows present: the new row comes last") << 2;
    }
    void newRowShowsTheDefaultThreshold()
    {
        QFETCH(int, systems);
        QList<DatabaseCreator::NewSystem> list;
        for (int i = 0; i < systems; ++i)
            list << DatabaseCreator::NewSystem{u"S%1"_s.arg(i), u"/srv/%1"_s.arg(i), {}};
        Editor e(list);
        // The Options row changes later; the engine's value from the start still counts.
        e.db.exec(u"UPDATE Options SET DefaultAlertMB = 5"_s);
        QAbstractItemModel* m = e.grid()->model();
        QAbstractItemModelTester tester(m, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(m->rowCount(), systems);
        QTest::mouseClick(e.navButton(u"Insert"_s), Qt::LeftButton);
        QCOMPARE(m->rowCount(), systems + 1);
        QCOMPARE(m->data(m->index(systems, 2)).toString(), u"777"_s);
        QCOMPARE(m->data(m->index(systems, 0)).toString(), QString());
        QCOMPARE(e.grid()->currentIndex().row(), systems);
        QCOMPARE(m->headerData(2, Qt::Horizontal).toString(), u"Alert MB"_s);
        QCOMPARE(m->headerData(2, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
                     Qt::AlignHorizontal_Mask,
                 Qt::AlignRight);
        QCOMPARE(m->headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
                     Qt::AlignHorizontal_Mask,
                 Qt::AlignLeft);
    }

    void sixteenthCharacterIsRefused()
    {
        Editor e({});
        QTest::mouseClick(e.navButton(u"Insert"_s), Qt::LeftButton);
        QLineEdit* cell = e.editCell(0, 0);
        QVERIFY(cell);
        QTest::keyClicks(cell, u"ABCDEFGHIJKLMNOP"_s);
        QCOMPARE(cell->text(), u"ABCDEFGHIJKLMNO"_s);
        QTest::keyClick(cell, Qt::Key_Return);
        // The editor hands its text over once the key press is done with.
        QTRY_COMPARE(e.dm->ATblSystems.fieldByName(u"System"_s).value().toString(),
                     u"ABCDEFGHIJKLMNO"_s);
        QTest::mouseClick(e.navButton(u"Post"_s), Qt::LeftButton);
        QCOMPARE(e.stored(u"SELECT System FROM Systems"_s).toString(), u"ABCDEFGHIJKLMNO"_s);
        QCOMPARE(e.stored(u"SELECT Alert1MB FROM Systems"_s).toInt(), 777);
        QVERIFY(reports.isEmpty());
    }

    void closeLeavesNoUntouchedRow_data()
    {
        QTest::addColumn<bool>("typeName");
        QTest::addColumn<int>("rowsShown");
        QTest::newRow("untouched new row is dropped") << false << 1;
        QTest::newRow("typed new row stays pending, unsaved") << true << 2;
    }
    void closeLeavesNoUntouchedRow()
    {
        QFETCH(bool, typeName);
        QFETCH(int, rowsShown);
        Editor e({{u"Alpha"_s, u"/srv/a"_s, {}}});
        QTest::mouseClick(e.navButton(u"Insert"_s), Qt::LeftButton);
        if (typeName) {
            QLineEdit* cell = e.editCell(1, 0);
            QTest::keyClicks(cell, u"Beta"_s);
            QTest::keyClick(cell, Qt::Key_Return);
            QTRY_VERIFY(e.dm->ATblSystems.modified());
        }
        QTest::mouseClick(e.editor->findChild<QPushButton*>(u"OKBtn"_s), Qt::LeftButton);
        QVERIFY(!e.editor->isVisible());
        QCOMPARE(e.editor->result(), int(QDialog::Accepted));
        QCOMPARE(e.grid()->model()->rowCount(), rowsShown);
        QCOMPARE(e.dm->ATblSystems.state(), typeName ? DataSetState::Insert : DataSetState::Browse);
        QCOMPARE(e.stored(u"SELECT COUNT(*) FROM Systems"_s).toInt(), 1);
    }

    void leavingTheGridDropsAnUntouchedRow()
    {
        Editor e({{u"Alpha"_s, u"/srv/a"_s, {}}});
        auto* outside = new QLineEdit(e.editor);
        outside->show();
        e.grid()->setFocus();
        QTest::mouseClick(e.navButton(u"Insert"_s), Qt::LeftButton);
        QCOMPARE(e.grid()->model()->rowCount(), 2);
        outside->setFocus();
        QTRY_COMPARE(e.grid()->model()->rowCount(), 1);
        QCOMPARE(e.dm->ATblSystems.state(), DataSetState::Browse);
    }

    void nonNumericThresholdIsRefusedAndTheEditStays()
    {
        Editor e({{u"Alpha"_s, u"/srv/a"_s, {}}});
        const QVariant before = e.stored(u"SELECT Alert1MB FROM Systems"_s);
        QLineEdit* cell = e.editCell(0, 2);
        QVERIFY(cell);
        cell->selectAll();
        QTest::keyClicks(cell, u"lots"_s);
        QTest::keyClick(cell, Qt::Key_Return);
        QTRY_COMPARE(reports.size(), 1);
        QVERIFY2(reports.front().contains(u"lots"_s), qPrintable(reports.front()));
        reports.clear();
        QCOMPARE(e.dm->ATblSystems.state(), DataSetState::Edit);
        QCOMPARE(e.stored(u"SELECT Alert1MB FROM Systems"_s), before);
    }

    void deleteRemovesTheRowItAskedAbout()
    {
        Editor e({{u"Alpha"_s, u"/srv/a"_s, {}}, {u"Beta"_s, u"/srv/b"_s, {}}});
        DataSet& systems = e.dm->ATblSystems;
        systems.first();
        // While the question is open a timer's run rereads the table and leaves it elsewhere.
        WhileModal question([&](QWidget* box) {
            systems.close();
            systems.open();
            systems.last();
            qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
        });
        QTest::mouseClick(e.navButton(u"Delete"_s), Qt::LeftButton);
        QVERIFY(question.ran());
        QCOMPARE(e.db.column(u"SELECT System FROM Systems"_s), QVariantList{u"Beta"_s});
    }

    void namesThatWouldMislead_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("withUniqueIndex");
        QTest::addColumn<QString>("refusal");
        const QString control = u"cannot hold line breaks, tabs or other control characters"_s;
        const QString taken = u"The system name '%1' is already in use: each system name must "
                              u"be unique, and capitals and small letters count as the same."_s;
        QTest::newRow("line feed") << u"FS1\nFS2 : Fake"_s << true << control;
        QTest::newRow("tab") << u"FS\t1"_s << true << control;
        QTest::newRow("duplicate in other capitals") << u"ALPHA"_s << true << taken.arg(u"ALPHA"_s);
        QTest::newRow("duplicate where the file has no unique index")
            << u"alpha"_s << false << taken.arg(u"alpha"_s);
    }
    void namesThatWouldMislead()
    {
        QFETCH(QString, name);
        QFETCH(bool, withUniqueIndex);
        QFETCH(QString, refusal);
        Editor e({{u"Alpha"_s, u"/srv/a"_s, {}}, {u"Beta"_s, u"/srv/b"_s, {}}});
        if (!withUniqueIndex)
            e.dm->ADOVardometer.exec(u"DROP INDEX SystemsBySystem"_s).finish();
        // Renaming Beta: typed into its cell, then stored with Post.
        QLineEdit* cell = e.editCell(1, 0);
        QVERIFY(cell);
        cell->setText(name);
        QTest::keyClick(cell, Qt::Key_Return);
        // The editor hands its text over once the key press is done with.
        QTRY_VERIFY(!reports.isEmpty() || e.dm->ATblSystems.modified());
        if (reports.isEmpty())
            QTest::mouseClick(e.navButton(u"Post"_s), Qt::LeftButton);
        QTRY_COMPARE(reports.size(), 1);
        QVERIFY2(reports.front().contains(refusal), qPrintable(reports.front()));
        reports.clear();
        // Nothing stored; the row stays in edit mode with the old or the typed name.
        QCOMPARE(e.dm->ATblSystems.state(), DataSetState::Edit);
        QCOMPARE(e.db.column(u"SELECT System FROM Systems ORDER BY rowid"_s),
                 (QVariantList{u"Alpha"_s, u"Beta"_s}));
    }
};

VARDOMETER_WIDGET_TEST_MAIN(TestSystemsEditor)

#include "test_systems_editor.moc"
