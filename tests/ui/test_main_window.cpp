#include "data/DM2.h"
#include "data/DateTimeValue.h"
#include "engine/Directories.h"
#include "support/EngineDoubles.h"
#include "support/MainWindowFixture.h"
#include "support/TestDatabase.h"
#include "support/WidgetTestMain.h"
#include "support/WindowTest.h"
#include "toolkit/DataGrid.h"
#include "ui/MainForm.h"
#include "views/GridRules.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPrintDialog>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

// The window over a test database, with a probe that finds every system's address.
struct Window : MainWindowFixture {
    explicit Window(const QList<DatabaseCreator::NewSystem>& systems, const QStringList& sql = {})
        : MainWindowFixture(
              systems,
              QStringList{
                  u"UPDATE Options SET CompanyName = 'Acme', PopupAlerts = 0, EMailAlerts = 0"_s} +
                  sql)
    {
        for (const auto& s : systems)
            probe.set(s.address, 600LL << 30, 1000LL << 30);
        open();
        form->resize(1057, 641);
        form->show();
    }
    QTreeWidget* tree() const { return form->findChild<QTreeWidget*>(u"TVMenu"_s); }
    QTabWidget* pages() const { return form->findChild<QTabWidget*>(u"PagesFreeSpace"_s); }
    QTreeWidgetItem* root() const { return tree()->topLevelItem(0); }
    QTreeWidgetItem* systemHistory() const { return root()->child(3); }
    void click(QTreeWidgetItem* item) const
    {
        tree()->scrollToItem(item);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {},
                          tree()->visualItemRect(item).center());
    }
    DataGrid* grid(const QString& name) const { return form->findChild<DataGrid*>(name); }
};

QStringList childTexts(const QTreeWidgetItem* node)
{
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

QStringList comboItems(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// What a message box showed, read and dismissed as soon as it is up.
struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool seen = false;
};

// Looks for a visible message box on every turn of whatever event loop runs, reads it and
// presses OK; it stops looking when the test is done with it.
class MessageBoxCloser {
public:
    explicit MessageBoxCloser(SeenBox& seen)
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [&seen] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (!box || !box->isVisible() || seen.seen)
                    continue;
                seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons(), true};
                box->button(QMessageBox::Ok)->click();
                return;
            }
        });
        m_timer.start(5);
    }

private:
    QTimer m_timer;
};

QString historyRow(const QString& system, int day, double used)
{
    // Snapshots always store both megabyte figures, which the history chart reads.
    return u"INSERT INTO FreeSpaceHistory (System, Date, Time, \"Used%\", \"Free%\", UsedMB, "
           u"FreeMB) VALUES ('%1', %2, 0.5, %3, %4, %3, %4)"_s.arg(system)
               .arg(DateTimeValue::fromDate(QDate(2007, 1, 1)) + day)
               .arg(used)
               .arg(100 - used);
}

} // namespace

class TestMainWindow : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void treeNavigation_data()
    {
        QTest::addColumn<QString>("system");
        QTest::addColumn<bool>("clickSystem");
        QTest::addColumn<QString>("node");
        QTest::addColumn<int>("page");
        QTest::newRow("root shows the chart") << u"Alpha"_s << false << u"Acme"_s << 0;
        QTest::newRow("Chart node") << u"Alpha"_s << false << u"Chart"_s << 0;
        QTest::newRow("Summary node") << u"Alpha"_s << false << u"Summary"_s << 1;
        QTest::newRow("History node") << u"Alpha"_s << false << u"History"_s << 2;
        QTest::newRow("System History node") << u"Alpha"_s << false << u"System History"_s << 3;
        QTest::newRow("a system shows its history") << u"Alpha"_s << true << u"Alpha"_s << 3;
        QTest::newRow("system named Summary shows the summary")
            << u"Summary"_s << true << u"Summary"_s << 1;
        QTest::newRow("system named History shows the history")
            << u"History"_s << true << u"History"_s << 2;
        QTest::newRow("system named Chart shows the chart")
            << u"Chart"_s << true << u"Chart"_s << 0;
        QTest::newRow("system named Analysis shows the chart")
            << u"Analysis"_s << true << u"Analysis"_s << 0;
        QTest::newRow("system named like the company shows the chart")
            << u"Acme"_s << true << u"Acme"_s << 0;
        QTest::newRow("comparison is case-sensitive") << u"summary"_s << true << u"summary"_s << 3;
    }
    void treeNavigation()
    {
        QFETCH(QString, system);
        QFETCH(bool, clickSystem);
        QFETCH(QString, node);
        QFETCH(int, page);
        Window w({{system, u"/srv/a"_s, {}}});
        QTreeWidgetItem* target = nullptr;
        if (node == u"Acme"_s && !clickSystem)
            target = w.root();
        for (int i = 0; !target && i < w.root()->childCount(); ++i)
            if (w.root()->child(i)->text(0) == node && !clickSystem)
                target = w.root()->child(i);
        if (clickSystem)
            target = w.systemHistory()->child(0);
        QVERIFY(target);
        QCOMPARE(target->text(0), node);
        w.pages()->setCurrentIndex((page + 1) % 4);
        w.click(target);
        QCOMPARE(w.pages()->currentIndex(), page);
        // A double click runs the same navigation.
        w.pages()->setCurrentIndex((page + 1) % 4);
        QTest::mouseDClick(w.tree()->viewport(), Qt::LeftButton, {},
                           w.tree()->visualItemRect(target).center());
        QCOMPARE(w.pages()->currentIndex(), page);
    }

    void keyboardSelectionDoesNotNavigate()
    {
        Window w({{u"Alpha"_s, u"/srv/a"_s, {}}});
        QTreeWidget* tree = w.tree();
        w.click(w.root()->child(1)); // Summary
        QCOMPARE(w.pages()->currentIndex(), 1);
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(tree->currentItem()->text(0), u"History"_s);
        QCOMPARE(w.pages()->currentIndex(), 1);
        // Clicking the node the keyboard selected does navigate.
        w.click(tree->currentItem());
        QCOMPARE(w.pages()->currentIndex(), 2);
    }

    void clickOnEmptySpaceRepeatsTheSelectedNode()
    {
        Window w({{u"Alpha"_s, u"/srv/a"_s, {}}});
        QTreeWidget* tree = w.tree();
        w.click(w.root()->child(2)); // History
        w.pages()->setCurrentIndex(0);
        const QPoint empty(tree->viewport()->width() / 2, tree->viewport()->height() - 3);
        QVERIFY(!tree->itemAt(empty));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, empty);
        QCOMPARE(tree->currentItem()->text(0), u"History"_s);
        QVERIFY(tree->currentItem()->isSelected());
        QCOMPARE(w.pages()->currentIndex(), 2);
    }

    void refreshSystemTreeListsEverySystemInTableOrder()
    {
        Window w({{u"Alpha"_s, u"/srv/a"_s, {}},
                  {u"Beta"_s, u"/srv/b"_s, {}},
                  {u"Gamma"_s, u"/srv/c"_s, {}}});
        const QStringList names{u"Alpha"_s, u"Beta"_s, u"Gamma"_s};
        auto* combo = w.form->findChild<QComboBox*>(u"CBoxSystemName"_s);
        QCOMPARE(w.root()->text(0), u"Acme"_s);
        QCOMPARE(childTexts(w.systemHistory()), names);
        QCOMPARE(comboItems(combo), names);
        QCOMPARE(w.form->Directories()->SystemCount, 3);
        QCOMPARE(w.tree()->currentItem(), w.systemHistory());
        combo->setEditText(u"typed"_s);
        w.form->Directories()->CheckSpace();
        w.form->Directories()->CheckSpace();
        QCOMPARE(childTexts(w.systemHistory()), names);
        QCOMPARE(comboItems(combo), names);
        QCOMPARE(combo->currentText(), u"typed"_s);
        QCOMPARE(w.form->Directories()->SystemCount, 3);
    }

    void checkSpaceCommand_data()
    {
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<bool>("boxShown");
        QTest::newRow("nothing raised shows the box") << true << true;
        QTest::newRow("an unreachable system shows nothing") << false << false;
    }
    void checkSpaceCommand()
    {
        QFETCH(bool, reachable);
        QFETCH(bool, boxShown);
        Window w({{u"Alpha"_s, u"/srv/a"_s, {}}});
        if (!reachable)
            w.probe.answers.clear();
        SeenBox seen;
        MessageBoxCloser closer(seen);
        QTest::mouseClick(w.form->findChild<QToolButton*>(u"BtnCheckSpace"_s), Qt::LeftButton);
        QCOMPARE(w.form->Directories()->AlertCount, reachable ? 0 : 1);
        QCOMPARE(seen.seen, boxShown);
        if (boxShown) {
            QCOMPARE(seen.caption, u"Vardometer"_s);
            QCOMPARE(seen.text, u"All Systems within tolerance"_s);
            QCOMPARE(seen.icon, QMessageBox::NoIcon);
            QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        }
        // The run wrote the measured figures, which the summary grid shows at once.
        auto* model = w.grid(u"GridCurrentFreeSpace"_s)->model();
        QCOMPARE(model->data(model->index(0, 4)).toString(), reachable ? u"40.00"_s : u".00"_s);
    }

    void printSetupRunsThePrinterDialog()
    {
        Window w({});
        QString seen;
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&seen] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QPrintDialog*>(top);
                    dialog && dialog->isVisible()) {
                    seen = dialog->objectName();
                    dialog->reject();
                }
        });
        closer.start(10);
        w.form->findChild<QAction*>(u"MnuMainFilePrintSetup"_s)->trigger();
        QCOMPARE(seen, u"PrinterSetupDialog"_s);
    }

    void summaryGridColoursRowsFromTheirFigures()
    {
        const double today = DateTimeValue::fromDate(QDate(2007, 3, 11));
        Window w(
            {{u"Low"_s, u"/srv/l"_s, {}},
             {u"High"_s, u"/srv/h"_s, {}},
             {u"Full"_s, u"/srv/f"_s, {}}},
            {u"UPDATE Systems SET \"LastUsed%\" = 79.99 WHERE System = 'Low'"_s,
             u"UPDATE Systems SET \"LastUsed%\" = 80 WHERE System = 'High'"_s,
             u"UPDATE Systems SET \"LastUsed%\" = 95, ZeroDate1 = %1 WHERE System = 'Full'"_s.arg(
                 today + 10)});
        DataGrid* grid = w.grid(u"GridCurrentFreeSpace"_s);
        QAbstractItemModelTester tester(grid->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModel* m = grid->model();
        QCOMPARE(m->rowCount(), 3);
        QCOMPARE(m->columnCount(), 13); // the twelve stored columns, then the forecast
        auto font = [m](int row, int column) {
            return m->data(m->index(row, column), Qt::ForegroundRole).value<QColor>();
        };
        auto brush = [m](int row, int column) {
            return m->data(m->index(row, column), Qt::BackgroundRole).value<QColor>();
        };
        QCOMPARE(font(0, 0), QColor(Qt::black));
        QCOMPARE(font(1, 0), QColor(255, 0, 0));
        QCOMPARE(brush(1, 0), QColor(255, 255, 255));
        QCOMPARE(font(2, 0), QColor(255, 255, 0));
        QCOMPARE(brush(2, 0), QColor(255, 0, 0));
        QCOMPARE(font(2, 11), QColor(255, 255, 255));
        QCOMPARE(brush(2, 11), QColor(0, 0, 0));
        QVERIFY(m->data(m->index(0, 3), Qt::FontRole).value<QFont>().bold());
        QVERIFY(!m->data(m->index(0, 4), Qt::FontRole).value<QFont>().bold());
        // Titles: two lines, five group headings, right-aligned as listed.
        QCOMPARE(m->headerData(8, Qt::Horizontal).toString(), u"Start Date  "_s);
        QCOMPARE(m->headerData(8, Qt::Horizontal, GridRole::GroupHeading).toString(), u"Summary"_s);
        QCOMPARE(m->headerData(8, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
                     Qt::AlignHorizontal_Mask,
                 Qt::AlignRight);
        QCOMPARE(m->headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
                     Qt::AlignHorizontal_Mask,
                 Qt::AlignLeft);
        QCOMPARE(m->headerData(1, Qt::Horizontal, GridRole::GroupHeadingAlignment)
                         .value<Qt::Alignment>() &
                     Qt::AlignHorizontal_Mask,
                 Qt::AlignHCenter);
    }

    void gridAndDatasetShareTheCurrentRow()
    {
        Window w({{u"Alpha"_s, u"/srv/a"_s, {}},
                  {u"Beta"_s, u"/srv/b"_s, {}},
                  {u"Gamma"_s, u"/srv/c"_s, {}}});
        DataGrid* grid = w.grid(u"GridCurrentFreeSpace"_s);
        DataSet& systems = w.dm->ATblSystems;
        systems.moveTo(1);
        QCOMPARE(grid->currentIndex().row(), 1);
        grid->setCurrentIndex(grid->model()->index(2, 3));
        QCOMPARE(systems.recNo(), 2);
        QCOMPARE(systems.fieldByName(u"System"_s).asString(), u"Gamma"_s);
    }

    void historyShadingFollowsTheScreen()
    {
        QStringList sql;
        for (int day = 0; day < 3; ++day)
            sql << historyRow(u"A"_s, day, day == 1 ? 85 : 10);
        for (int day = 0; day < 2; ++day)
            sql << historyRow(u"B"_s, day, 10);
        for (int day = 0; day < 60; ++day)
            sql << historyRow(u"C"_s, day, 10);
        Window w({{u"A"_s, u"/srv/a"_s, {}}}, sql);
        w.pages()->setCurrentIndex(2);
        DataGrid* grid = w.grid(u"GridFreeSpaceHistory"_s);
        QAbstractItemModelTester tester(grid->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModel* m = grid->model();
        QTRY_VERIFY(grid->isVisible());
        auto brush = [m](int row, int column) {
            return m->data(m->index(row, column), Qt::BackgroundRole).value<QColor>();
        };
        auto system = [m](int row) { return m->data(m->index(row, 0)).toString(); };
        const QColor white(255, 255, 255);
        QCOMPARE(brush(0, 1), white);
        QCOMPARE(brush(1, 1), GridRules::LightYellow);
        QCOMPARE(brush(2, 1), white);
        // Only the Used% cell of an 85 % row turns red.
        QCOMPARE(m->data(m->index(1, 4), Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
        QCOMPARE(m->data(m->index(1, 3), Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));
        // Each run shows its system once, and draws no row line inside the run.
        QCOMPARE((QStringList{system(0), system(1), system(2), system(3), system(4)}),
                 (QStringList{u"A"_s, QString(), QString(), u"B"_s, QString()}));
        QVERIFY(m->data(m->index(0, 0), GridRole::MergeWithNext).toBool());
        QVERIFY(!m->data(m->index(2, 0), GridRole::MergeWithNext).toBool());
        QVERIFY(!m->data(m->index(0, 1), GridRole::MergeWithNext).toBool());

        grid->verticalScrollBar()->setValue(1);
        QCOMPARE(grid->rowAt(0), 1);
        QCOMPARE(brush(1, 1), white);
        QCOMPARE(brush(2, 1), GridRules::LightYellow);
        QCOMPARE(system(1), u"A"_s); // the view starts inside A's run
        QCOMPARE(system(2), QString());
    }

    void historyGridFollowsItsNavigator()
    {
        QStringList sql;
        for (int day = 0; day < 40; ++day)
            sql << historyRow(u"A"_s, day, 10);
        Window w({{u"A"_s, u"/srv/a"_s, {}}}, sql);
        w.pages()->setCurrentIndex(2);
        DataGrid* grid = w.grid(u"GridFreeSpaceHistory"_s);
        auto* nav = w.form->findChild<QWidget*>(u"NavFreeSpaceHistory"_s);
        QTest::mouseClick(nav->findChild<QToolButton*>(u"Last"_s), Qt::LeftButton);
        QCOMPARE(grid->currentIndex().row(), 39);
        QCOMPARE(w.dm->AQryFreeSpaceHistoryBySystem.recNo(), 39);
        // Whatever row reached the top after the jump is white.
        const int top = grid->rowAt(0);
        QVERIFY(top > 0);
        QCOMPARE(
            grid->model()->data(grid->model()->index(top, 1), Qt::BackgroundRole).value<QColor>(),
            QColor(255, 255, 255));
        QVERIFY(!nav->findChild<QToolButton*>(u"Insert"_s)->isVisible());
    }
};

VARDOMETER_WIDGET_TEST_MAIN(TestMainWindow)

#include "test_main_window.moc"
