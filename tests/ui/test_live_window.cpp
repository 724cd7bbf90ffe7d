// What other programs commit to the database reaches the window by itself: the grids, the
// tree and the charts show it within moments, the user stays where they were, and nothing
// is reread while the user is typing, while a dialog is up or while a run of the window's
// own is going.
#include "data/DM2.h"
#include "data/DateTimeValue.h"
#include "engine/Directories.h"
#include "support/CliProcess.h"
#include "support/GridEditing.h"
#include "support/LockHolder.h"
#include "support/MainWindowFixture.h"
#include "support/WhileModal.h"
#include "support/WidgetTestMain.h"
#include "support/WindowTest.h"
#include "toolkit/DataGrid.h"
#include "toolkit/IntervalTimer.h"
#include "ui/DatabaseWatch.h"
#include "ui/MainForm.h"
#include "ui/Systems.h"
#include "views/ChartFreeSpaceSummary.h"
#include "views/ChartSysHistory.h"
#include "views/GridRules.h"

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 GiB = 1024LL * 1024 * 1024;

QList<DatabaseCreator::NewSystem> systemsNamed(int count)
{
    QList<DatabaseCreator::NewSystem> systems;
    for (int i = 1; i <= count; ++i)
        systems.append({u"System%1"_s.arg(i, 2, 10, QLatin1Char('0')), u"/srv/%1"_s.arg(i), {}});
    return systems;
}

// The window over systems whose addresses all answer, watching the file every 20 ms.
struct Live : MainWindowFixture {
    explicit Live(
        const QList<DatabaseCreator::NewSystem>& systems = {{u"Alpha"_s, u"/srv/a"_s, {}},
                                                            {u"Beta"_s, u"/srv/b"_s, {}},
                                                            {u"Gamma"_s, u"/srv/c"_s, {}}},
        const QStringList& sql = {})
        : MainWindowFixture(systems, QStringList{u"UPDATE Options SET PopupAlerts = 0, "
                                                 u"EMailAlerts = 0"_s} +
                                         sql)
    {
        for (const auto& s : systems)
            probe.set(s.address, 600 * GiB, 1000 * GiB);
        open();
        form->resize(1057, 641);
        form->show();
        watch()->setInterval(20);
    }
    DatabaseWatch* watch() const { return form->databaseWatch(); }
    // Every reading the watch made, from now on.
    std::unique_ptr<QSignalSpy> readings() const
    {
        return std::make_unique<QSignalSpy>(watch()->findChild<QTimer*>(u"DatabaseWatchTimer"_s),
                                            &QTimer::timeout);
    }
    QTreeWidget* tree() const { return form->findChild<QTreeWidget*>(u"TVMenu"_s); }
    QTreeWidgetItem* systemHistory() const { return tree()->topLevelItem(0)->child(3); }
    QTabWidget* pages() const { return form->findChild<QTabWidget*>(u"PagesFreeSpace"_s); }
    DataGrid* grid(const QString& name) const { return form->findChild<DataGrid*>(name); }
    // What the summary grid shows of a system's free megabytes, as text or as stored.
    QString shownFreeMB(const QString& system, int role = Qt::DisplayRole) const
    {
        const QAbstractItemModel* model = grid(u"GridCurrentFreeSpace"_s)->model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, 0).data().toString() == system)
                return model->index(row, 5).data(role).toString();
        return u"(no row)"_s;
    }
    int historyGridRows() const { return grid(u"GridFreeSpaceHistory"_s)->model()->rowCount(); }
};

QStringList childTexts(const QTreeWidgetItem* node)
{
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

QString historyRow(const QString& system, int day)
{
    return u"INSERT INTO FreeSpaceHistory (System, Date, Time, \"Used%\", \"Free%\", UsedMB, "
           u"FreeMB, TotalMB) VALUES ('%1', %2, 0.5, 40, 60, 400, 600, 1000)"_s.arg(system)
               .arg(DateTimeValue::fromDate(QDate(2007, 1, 1)) + day);
}

} // namespace

class TestLiveWindow : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void anotherProgramsCommitShowsWithoutAClick_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::newRow("a second connection") << u"connection"_s;
        QTest::newRow("a scheduled check of the command-line tool") << u"cli"_s;
    }
    void anotherProgramsCommitShowsWithoutAClick()
    {
        QFETCH(QString, writer);
        QTemporaryDir disk;
        Live w({{u"Alpha"_s, disk.path(), {}},
                {u"Beta"_s, disk.path(), {}},
                {u"Gamma"_s, disk.path(), {}}});
        QSignalSpy changed(w.watch(), &DatabaseWatch::changed);
        // The user looks at Beta's history, while the summary's cursor is on Gamma.
        QTreeWidgetItem* beta = w.systemHistory()->child(1);
        QTest::mouseClick(w.tree()->viewport(), Qt::LeftButton, {},
                          w.tree()->visualItemRect(beta).center());
        QCOMPARE(w.pages()->currentIndex(), int(TMainForm::PageSystemHistory));
        w.dm->ATblSystems.moveTo(2);
        QCOMPARE(w.shownFreeMB(u"Beta"_s), u"0"_s);

        if (writer == u"connection") {
            w.db.exec(u"UPDATE Systems SET LastFreeMB = 123456 WHERE System = 'Beta'"_s);
            // As the systems editor of another window stores a new row.
            w.db.exec(u"INSERT INTO Systems (System, Address, \"LastFree%\", \"LastUsed%\", "
                      u"LastFreeMB, LastUsedMB, LastTotalMB, Alert1MB) "
                      u"VALUES ('Delta', '/srv/d', 0, 0, 0, 0, 0, 500)"_s);
        } else {
            const CliResult cli = runCli({u"check"_s, w.db.path()}, w.db.dir());
            QVERIFY2(cli.status >= 0, qPrintable(cli.err));
        }
        const QString freeMB =
            w.db.scalar(u"SELECT LastFreeMB FROM Systems WHERE System = 'Beta'"_s).toString();
        QVERIFY(freeMB.toDouble() > 0);

        QTRY_COMPARE(w.shownFreeMB(u"Beta"_s, GridRole::Raw), freeMB);
        if (writer == u"connection")
            QCOMPARE(w.shownFreeMB(u"Beta"_s), u"123,456"_s);
        QCOMPARE(changed.count(), 1);
        QStringList names;
        for (const QVariant& name : w.db.column(u"SELECT System FROM Systems ORDER BY rowid"_s))
            names << name.toString();
        QCOMPARE(childTexts(w.systemHistory()), names);
        QCOMPARE(w.grid(u"GridCurrentFreeSpace"_s)->model()->rowCount(), names.size());
        QCOMPARE(w.form->summaryChartView()->bars().size(), names.size());
        // Where the user was.
        QCOMPARE(w.pages()->currentIndex(), int(TMainForm::PageSystemHistory));
        QCOMPARE(w.tree()->currentItem()->text(0), u"Beta"_s);
        QVERIFY(w.tree()->currentItem()->isSelected());
        QCOMPARE(w.form->historyChartView()->CurrentSystem, u"Beta"_s);
        QCOMPARE(w.dm->ATblSystems.fieldByName(u"System"_s).asString(), u"Gamma"_s);
    }

    void theScrolledPlaceIsKept_data()
    {
        QTest::addColumn<int>("page");
        QTest::newRow("the summary chart") << int(TMainForm::PageChart);
        QTest::newRow("the summary grid") << int(TMainForm::PageSummary);
        QTest::newRow("the history grid") << int(TMainForm::PageHistory);
    }
    void theScrolledPlaceIsKept()
    {
        QFETCH(int, page);
        QStringList history;
        for (int day = 0; day < 300; ++day)
            history << historyRow(u"System07"_s, day);
        Live w(systemsNamed(80), history);
        w.pages()->setCurrentIndex(page);
        QScrollBar* bar = nullptr;
        if (page == TMainForm::PageChart)
            bar = w.form->findChild<QScrollBar*>(u"ChartSummaryScroll"_s);
        else
            bar = w.grid(page == TMainForm::PageSummary ? u"GridCurrentFreeSpace"_s
                                                        : u"GridFreeSpaceHistory"_s)
                      ->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 20);
        bar->setValue(bar->maximum() / 2);
        const int scrolled = bar->value();
        QScrollBar* treeBar = w.tree()->verticalScrollBar();
        QTRY_VERIFY(treeBar->maximum() > 10);
        treeBar->setValue(treeBar->maximum() - 3);
        const int treeScrolled = treeBar->value();
        QSignalSpy changed(w.watch(), &DatabaseWatch::changed);

        w.db.exec(u"UPDATE Systems SET LastFreeMB = 4321 WHERE System = 'System70'"_s);
        w.db.exec(historyRow(u"System07"_s, 400));

        QTRY_COMPARE(w.shownFreeMB(u"System70"_s), u"4,321"_s);
        QCOMPARE(w.historyGridRows(), 301);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(w.pages()->currentIndex(), page);
        QCOMPARE(bar->value(), scrolled);
        QCOMPARE(treeBar->value(), treeScrolled);
    }

    void whatTheUserIsDoingHoldsTheRefreshBack_data()
    {
        QTest::addColumn<QString>("doing");
        QTest::newRow("a Systems row being edited") << u"row"_s;
        QTest::newRow("a cell open in the systems editor") << u"cell"_s;
        QTest::newRow("a modal dialog") << u"dialog"_s;
    }
    void whatTheUserIsDoingHoldsTheRefreshBack()
    {
        QFETCH(QString, doing);
        Live w;
        QSignalSpy changed(w.watch(), &DatabaseWatch::changed);
        DataSet& systems = w.dm->ATblSystems;
        TSystemsForm* editor = w.form->systemsForm();
        // Another program's commit arrives while the user does something; the window notes
        // it and holds it until the user is done.
        auto commitAndCheckHeld = [&] {
            w.db.exec(u"UPDATE Systems SET LastFreeMB = 777 WHERE System = 'Gamma'"_s);
            QTRY_VERIFY(w.watch()->changePending());
            const auto readings = w.readings();
            QTRY_VERIFY(readings->count() >= 3);
            QCOMPARE(changed.count(), 0);
            QCOMPARE(w.shownFreeMB(u"Gamma"_s), u"0"_s);
        };

        if (doing == u"row") {
            systems.first();
            systems.edit();
            systems.fieldByName(u"Owner"_s).setValue(u"Ann"_s);
            commitAndCheckHeld();
            QCOMPARE(systems.fieldByName(u"Owner"_s).asString(), u"Ann"_s);
            systems.post();
            QCOMPARE(w.db.scalar(u"SELECT Owner FROM Systems WHERE System = 'Alpha'"_s),
                     QVariant(u"Ann"_s));
        } else if (doing == u"cell") {
            editor->show();
            QVERIFY(QTest::qWaitForWindowExposed(editor));
            DataGrid* grid = editor->GridSystems;
            QLineEdit* cell = openCellEditor(grid, 0, 2);
            QVERIFY(cell);
            QTest::keyClicks(cell, u"900"_s);
            commitAndCheckHeld();
            QCOMPARE(cell->text(), u"900"_s);
            QVERIFY(grid->commitOpenEditor());
            systems.post();
            editor->close();
            QCOMPARE(w.db.scalar(u"SELECT Alert1MB FROM Systems WHERE System = 'Alpha'"_s).toInt(),
                     900);
        } else {
            WhileModal inside([&](QWidget* modal) {
                commitAndCheckHeld();
                modal->close();
            });
            w.form->MnuMainToolsOptionsClick();
            QVERIFY(inside.ran());
        }

        // Once the user is done, one refresh takes the commit in.
        QTRY_COMPARE(w.shownFreeMB(u"Gamma"_s), u"777"_s);
        const auto readings = w.readings();
        QTRY_VERIFY(readings->count() >= 3);
        QCOMPARE(changed.count(), 1);
    }

    void theWindowsOwnRunsRefreshNothingMore()
    {
        Live w({{u"Alpha"_s, u"/srv/a"_s, {}}, {u"Beta"_s, u"/srv/b"_s, {}}},
               {u"UPDATE Options SET TimerForCheckEnabled = 1, TimeIntervalForCheck = 5"_s});
        QSignalSpy changed(w.watch(), &DatabaseWatch::changed);
        // A scheduled check, then a snapshot from the menu: both write the file.
        w.form->TimerCheck->setInterval(15);
        QTRY_COMPARE(
            w.db.scalar(u"SELECT count(*) FROM Systems WHERE DateLastAnalysed IS NOT NULL"_s)
                .toInt(),
            2);
        w.form->MnuMainFileActionLoadSpaceClick();
        QCOMPARE(w.db.scalar(u"SELECT count(*) FROM FreeSpaceHistory"_s).toInt(), 2);
        const auto readings = w.readings();
        QTRY_VERIFY(readings->count() >= 5);
        QCOMPARE(changed.count(), 0);
        QVERIFY(!w.watch()->changePending());
    }

    void aCommitDuringARunOfTheWindowWaitsForTheRun()
    {
        Live w({{u"Alpha"_s, u"/srv/a"_s, {}}, {u"Dead"_s, u"/srv/dead-share"_s, {}}});
        w.probe.hanging = {u"/srv/dead-share"_s};
        w.form->Directories()->ProbeTimeout = std::chrono::milliseconds(700);
        QList<bool> busyAtRefresh;
        QObject::connect(w.watch(), &DatabaseWatch::changed, w.watch(),
                         [&] { busyAtRefresh << (QApplication::overrideCursor() != nullptr); });
        bool committedDuringRun = false;
        QTimer::singleShot(100, w.form.get(), [&] {
            w.db.exec(historyRow(u"Alpha"_s, 1));
            committedDuringRun = true;
        });

        // The check raises "System Not Found" for the dead share, so no box asks for a click.
        w.form->MnuMainActionCheckSpaceClick();

        QVERIFY(committedDuringRun);
        QTRY_COMPARE(w.historyGridRows(), 1);
        QCOMPARE(busyAtRefresh, QList<bool>{false});
    }

    void aReadingThatFailsIsTriedAgainQuietly()
    {
        // Out of write-ahead mode a program holding the file exclusively keeps every reader
        // out, the watch included, for as long as it holds it.
        Live w({{u"Alpha"_s, u"/srv/a"_s, {}}}, {u"PRAGMA journal_mode = DELETE"_s});
        {
            LockHolder other;
            QVERIFY(other.lock(w.db.path()));
            const auto readings = w.readings();
            QTRY_VERIFY(readings->count() >= 5);
        }
        w.db.exec(u"UPDATE Systems SET LastFreeMB = 55 WHERE System = 'Alpha'"_s);
        QTRY_COMPARE(w.shownFreeMB(u"Alpha"_s), u"55"_s);
        // The cleanup fails the test on any error report the failed readings made.
    }
};

VARDOMETER_WIDGET_TEST_MAIN(TestLiveWindow)

#include "test_live_window.moc"
