// The main window's two scheduled runs: armed at startup, ticking for real, and never
// throwing away what the user is typing.
#include "data/DM2.h"
#include "data/DateTimeValue.h"
#include "engine/Directories.h"
#include "support/GridEditing.h"
#include "support/MainWindowFixture.h"
#include "support/WhileModal.h"
#include "support/WidgetTestMain.h"
#include "support/WindowTest.h"
#include "toolkit/DataGrid.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/IntervalTimer.h"
#include "ui/MainForm.h"
#include "ui/Options.h"
#include "ui/Systems.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 GiB = 1024LL * 1024 * 1024;

// A window over systems whose addresses all answer, started at the given time of day.
struct Scheduled : MainWindowFixture {
    explicit Scheduled(const QStringList& sql, QTime startedAt = QTime(9, 30),
                       const QList<DatabaseCreator::NewSystem>& systems =
                           {{u"Alpha"_s, u"/srv/a"_s, {}}, {u"Beta"_s, u"/srv/b"_s, {}}})
        : MainWindowFixture(systems, QStringList{u"UPDATE Options SET PopupAlerts = 0, "
                                                 u"EMailAlerts = 0"_s} +
                                         sql)
    {
        for (const auto& s : systems)
            probe.set(s.address, 600 * GiB, 1000 * GiB);
        clock.current = QDateTime(QDate(2026, 12, 10), startedAt);
        open();
        form->show();
    }
    int historyRows() const
    {
        return db.scalar(u"SELECT count(*) FROM FreeSpaceHistory"_s).toInt();
    }
    int checkedSystems() const
    {
        return db.scalar(u"SELECT count(*) FROM Systems WHERE DateLastAnalysed IS NOT NULL"_s)
            .toInt();
    }
    int pageInFront() const
    {
        return form->findChild<QTabWidget*>(u"PagesFreeSpace"_s)->currentIndex();
    }
    // Brings the next tick of a timer within a few milliseconds; the tick itself, and all
    // that follows it, is the program's own.
    static void dueNow(IntervalTimer* timer) { timer->setInterval(15); }
};

} // namespace

class TestSchedules : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void startupArming_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QTime>("startedAt");
        QTest::addColumn<int>("checkInterval"); // -1: not running
        QTest::addColumn<int>("dailyInterval"); // -1: not running
        QTest::addColumn<QString>("report");
        QTest::addColumn<int>("page");
        const QString daily = u"TimerToLoadEnabled = 1, TimeToLoadFreeSpace = %1"_s.arg(
            DateTimeValue::fromTime(QTime(2, 0)), 0, 'f', 12);
        QTest::newRow("both off")
            << u"UPDATE Options SET TimerForCheckEnabled = 0, TimerToLoadEnabled = 0"_s
            << QTime(9, 30) << -1 << -1 << QString() << 0;
        QTest::newRow("empty switches count as off")
            << u"UPDATE Options SET TimerForCheckEnabled = NULL, TimerToLoadEnabled = NULL"_s
            << QTime(9, 30) << -1 << -1 << QString() << 0;
        QTest::newRow("check every five minutes")
            << u"UPDATE Options SET TimerForCheckEnabled = 1, TimeIntervalForCheck = 5"_s
            << QTime(9, 30) << 300'000 << -1 << QString() << 0;
        QTest::newRow("the longest interval that fits")
            << u"UPDATE Options SET TimerForCheckEnabled = 1, TimeIntervalForCheck = 35791"_s
            << QTime(9, 30) << 2'147'460'000 << -1 << QString() << 0;
        QTest::newRow("a negative interval never fires")
            << u"UPDATE Options SET TimerForCheckEnabled = 1, TimeIntervalForCheck = -5"_s
            << QTime(9, 30) << -1 << -1 << QString() << 0;
        // Startup stops before arming the daily timer and leaves the summary in front; the
        // dialog's boxes then act on the stored row, the check box failing the same way and
        // the daily box arming its timer.
        QTest::newRow("overflow stops the start before the daily timer")
            << u"UPDATE Options SET TimerForCheckEnabled = 1, TimeIntervalForCheck = 35792, "_s +
                   daily
            << QTime(1, 59) << -1 << 60'000 << u"Integer overflow."_s << 1;
        QTest::newRow("daily at 02:00 from 01:59")
            << u"UPDATE Options SET "_s + daily << QTime(1, 59) << -1 << 60'000 << QString() << 0;
        QTest::newRow("daily at 02:00 from 02:00")
            << u"UPDATE Options SET "_s + daily << QTime(2, 0) << -1 << 86'400'000 << QString()
            << 0;
        QTest::newRow("daily at 02:00 from 03:00")
            << u"UPDATE Options SET "_s + daily << QTime(3, 0) << -1 << 82'800'000 << QString()
            << 0;
    }
    void startupArming()
    {
        QFETCH(QString, sql);
        QFETCH(QTime, startedAt);
        QFETCH(int, checkInterval);
        QFETCH(int, dailyInterval);
        QFETCH(QString, report);
        QFETCH(int, page);
        Scheduled w({sql}, startedAt);
        const QStringList expected = report.isEmpty() ? QStringList{} : QStringList{report, report};
        QCOMPARE(reports, expected);
        reports.clear();
        QCOMPARE(w.form->TimerCheck->running(), checkInterval >= 0);
        if (checkInterval >= 0)
            QCOMPARE(w.form->TimerCheck->interval(), checkInterval);
        QCOMPARE(w.form->TimerLoadSpace->running(), dailyInterval >= 0);
        // The dialog's box re-arms the daily timer when it is created, a moment later.
        if (dailyInterval >= 0)
            QVERIFY(qAbs(w.form->TimerLoadSpace->interval() - dailyInterval) < 5'000);
        QCOMPARE(w.pageInFront(), page);
    }

    void theCheckTimerRunsRepeatedlyAndSilently()
    {
        Scheduled w({u"UPDATE Options SET TimerForCheckEnabled = 1, TimeIntervalForCheck = 5"_s});
        for (int round = 1; round <= 3; ++round) {
            w.form->Directories()->RunDate = 0;
            Scheduled::dueNow(w.form->TimerCheck);
            QTRY_VERIFY(w.form->Directories()->RunDate > 0);
            // After the run the interval is the stored one again, counted from there.
            QCOMPARE(w.form->TimerCheck->interval(), 300'000);
            QVERIFY(w.form->TimerCheck->running());
        }
        QCOMPARE(w.checkedSystems(), 2);
        // Within tolerance, and no message box: a scheduled check says nothing.
        for (QWidget* top : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<QMessageBox*>(top) || !top->isVisible());
    }

    void aTickStoresTheDialogsPendingRowBeforeItRuns()
    {
        // Stored off; checked in the dialog, not yet confirmed: the tick stores the row and,
        // finding the switch on, runs the check.
        Scheduled w({u"UPDATE Options SET TimerForCheckEnabled = 0, TimeIntervalForCheck = 5"_s});
        TOptionsForm* options = w.form->optionsForm();
        options->show();
        QVERIFY(QTest::qWaitForWindowActive(options));
        QVERIFY(!w.form->TimerCheck->running());
        QTest::mouseClick(options->findChild<QWidget*>(u"DBCheckSpace"_s), Qt::LeftButton, {},
                          QPoint(4, 8));
        QVERIFY(w.form->TimerCheck->running());
        QCOMPARE(w.db.scalar(u"SELECT TimerForCheckEnabled FROM Options"_s).toInt(), 0);
        Scheduled::dueNow(w.form->TimerCheck);
        QTRY_COMPARE(w.checkedSystems(), 2);
        QCOMPARE(w.db.scalar(u"SELECT TimerForCheckEnabled FROM Options"_s).toInt(), 1);
        options->close();
    }

    void theDailyTimerFiresWhileTheDialogsAreOpenAndKeepsWhatIsTyped()
    {
        Scheduled w({u"UPDATE Options SET TimerToLoadEnabled = 1"_s});
        TOptionsForm* options = w.form->optionsForm();
        TSystemsForm* editor = w.form->systemsForm();
        options->setWindowModality(Qt::ApplicationModal);
        editor->setWindowModality(Qt::ApplicationModal);
        options->show();
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor));
        // A new system being typed, its name still in the open cell.
        DataGrid* grid = editor->GridSystems;
        w.dm->ATblSystems.append();
        w.dm->ATblSystems.fieldByName(u"Address"_s).setValue(u"/srv/g"_s);
        w.probe.set(u"/srv/g"_s, 600 * GiB, 1000 * GiB);
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(2, 0));
        grid->edit(grid->currentIndex());
        auto* cell = grid->findChild<QLineEdit*>(u"InplaceEditor"_s);
        QVERIFY(cell);
        QTest::keyClicks(cell, u"Gamma"_s);

        Scheduled::dueNow(w.form->TimerLoadSpace);
        QTRY_COMPARE(w.historyRows(), 3);
        // Stored before the run, then measured with the others; a day until the next one.
        QCOMPARE(w.db.column(u"SELECT System FROM Systems ORDER BY rowid"_s),
                 (QVariantList{u"Alpha"_s, u"Beta"_s, u"Gamma"_s}));
        QCOMPARE(w.form->TimerLoadSpace->interval(), 86'400'000);
        QVERIFY(w.form->TimerLoadSpace->running());
        QVERIFY(options->isVisible() && editor->isVisible());
        editor->close();
        options->close();
    }

    void aNewSystemStillBeingTypedPostponesTheScheduledRun()
    {
        Scheduled w({u"UPDATE Options SET TimerForCheckEnabled = 1, TimeIntervalForCheck = 5"_s});
        DataSet& systems = w.dm->ATblSystems;
        systems.append();
        systems.fieldByName(u"System"_s).setValue(u"Gamma"_s);
        Scheduled::dueNow(w.form->TimerCheck);
        QTRY_COMPARE(w.form->statusPanelText(0), u"A scheduled run waits for the new system"_s);
        w.form->TimerCheck->setInterval(300'000);
        // Nothing ran and nothing was lost; with its address the next tick takes it.
        QCOMPARE(w.checkedSystems(), 0);
        QCOMPARE(systems.state(), DataSetState::Insert);
        systems.fieldByName(u"Address"_s).setValue(u"/srv/a"_s);
        Scheduled::dueNow(w.form->TimerCheck);
        QTRY_COMPARE(w.checkedSystems(), 3);
        QCOMPARE(w.db.scalar(u"SELECT count(*) FROM Systems"_s).toInt(), 3);
    }

    void aRowThatCannotBeStoredHoldsTheRunBack()
    {
        Scheduled w({u"UPDATE Options SET TimerForCheckEnabled = 1, TimeIntervalForCheck = 5"_s});
        TSystemsForm* editor = w.form->systemsForm();
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor));
        DataGrid* grid = editor->GridSystems;
        QLineEdit* cell = openCellEditor(grid, 0, 2);
        QVERIFY(cell);
        QTest::keyClicks(cell, u"lots"_s);

        for (int tick = 1; tick <= 2; ++tick) {
            Scheduled::dueNow(w.form->TimerCheck);
            QTRY_VERIFY(!reports.isEmpty());
            w.form->TimerCheck->setInterval(300'000);
            QVERIFY2(reports.last().contains(u"'lots'"_s), qPrintable(reports.last()));
            reports.clear();
            // No run started; the cell still holds what was typed; the timer keeps going.
            QCOMPARE(w.checkedSystems(), 0);
            QVERIFY(cell->isVisible());
            QCOMPARE(cell->text(), u"lots"_s);
            QVERIFY(w.form->TimerCheck->running());
        }
        editor->close();
    }

    void aCommandLineRunAndTheWindowKeepEveryRow()
    {
        QTemporaryDir disk;
        const QList<DatabaseCreator::NewSystem> systems{{u"Alpha"_s, disk.path(), {}},
                                                        {u"Beta"_s, disk.path(), {}}};
        Scheduled w({}, QTime(9, 30), systems);
        int cliRuns = 0;
        int cliFailures = 0;
        QProcess cli;
        const QDeadlineTimer deadline(8'000);
        QObject::connect(&cli, &QProcess::finished, &cli, [&](int code) {
            ++cliRuns;
            cliFailures += code > 1 ? 1 : 0;
            if (!deadline.hasExpired())
                cli.start(QStringLiteral(VARDOMETER_CLI), {u"snapshot"_s, w.db.path()});
        });
        cli.start(QStringLiteral(VARDOMETER_CLI), {u"snapshot"_s, w.db.path()});
        int windowRuns = 0;
        while (!deadline.hasExpired()) {
            w.form->MnuMainFileActionLoadSpaceClick();
            ++windowRuns;
            QTest::qWait(5);
        }
        QTRY_VERIFY_WITH_TIMEOUT(cli.state() == QProcess::NotRunning, 30'000);
        QCOMPARE(cliFailures, 0);
        QVERIFY(cliRuns > 3 && windowRuns > 3);
        QCOMPARE(w.historyRows(), 2 * (cliRuns + windowRuns));
    }

    void theWindowPaintsWhileARunWaitsForADeadShare()
    {
        // The dead share's address is its own: a probe of it stays in flight after the test
        // (never joined), and no later probe of the same address starts before it returns.
        Scheduled w({u"UPDATE Options SET TimerForCheckEnabled = 1, TimeIntervalForCheck = 5"_s},
                    QTime(9, 30),
                    {{u"Alpha"_s, u"/srv/a"_s, {}}, {u"Dead"_s, u"/srv/dead-share"_s, {}}});
        w.probe.hanging = {u"/srv/dead-share"_s};
        w.form->Directories()->ProbeTimeout = std::chrono::milliseconds(700);
        // A tick comes due while the run measures: it waits for the run, then comes once.
        Scheduled::dueNow(w.form->TimerCheck);
        QStringList panels;
        int paints = 0;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, &watcher, [&] {
            const QString text = w.form->statusPanelText(0);
            if (panels.isEmpty() || panels.last() != text)
                panels << text;
            ++paints;
        });
        watcher.start(50);

        w.form->MnuMainActionCheckSpaceClick();

        QVERIFY2(paints >= 5, qPrintable(QString::number(paints)));
        QVERIFY2(panels.contains(u"Measured 1 of 2"_s), qPrintable(panels.join(u" | "_s)));
        QCOMPARE(w.form->statusPanelText(0), TMainForm::StatusNotice);
        QCOMPARE(w.probe.asked.count(u"/srv/a"_s), 1);
        // The held tick: one more run, after this one, and then the stored five minutes.
        QTRY_COMPARE(w.probe.asked.count(u"/srv/a"_s), 2);
        QTest::qWait(200);
        QCOMPARE(w.probe.asked.count(u"/srv/a"_s), 2);
        QCOMPARE(w.form->TimerCheck->interval(), 300'000);
    }

    void compactionHoldsTheTimersAndGivesBackTheSameOnes_data()
    {
        QTest::addColumn<bool>("daily");
        QTest::addColumn<bool>("anotherProgramWrites");
        QTest::newRow("both timers, compacted") << true << false;
        QTest::newRow("the check timer only, compacted") << false << false;
        QTest::newRow("both timers, another program writing") << true << true;
    }
    void compactionHoldsTheTimersAndGivesBackTheSameOnes()
    {
        QFETCH(bool, daily);
        QFETCH(bool, anotherProgramWrites);
        Scheduled w({u"UPDATE Options SET TimerForCheckEnabled = 1, TimeIntervalForCheck = 5, "
                     u"TimerToLoadEnabled = %1"_s.arg(daily ? 1 : 0)});
        w.form->MnuMainFileActionLoadSpaceClick();
        QCOMPARE(w.historyRows(), 2);
        IntervalTimer* check = w.form->TimerCheck;
        IntervalTimer* load = w.form->TimerLoadSpace;
        QCOMPARE(load->enabled(), daily);
        QProcess holder;
        if (anotherProgramWrites) {
            w.form->Directories()->CompactionBusyTimeoutMs = 300;
            holder.start(QStringLiteral(HOLD_LOCK_PATH), {u"--write"_s, w.db.path()});
            QVERIFY(holder.waitForReadyRead(30'000));
        }
        QString shown;
        bool timersHeld = false;
        WhileModal box([&](QWidget* modal) {
            auto* message = qobject_cast<QMessageBox*>(modal);
            QVERIFY(message);
            shown = message->windowTitle() + u": "_s + message->text();
            timersHeld = !check->running() && !load->running();
            message->button(QMessageBox::Ok)->click();
        });

        w.form->findChild<QAction*>(u"MnuMainToolsCompactDB"_s)->trigger();

        holder.closeWriteChannel();
        if (anotherProgramWrites) {
            QVERIFY(holder.waitForFinished(10'000));
            QCOMPARE(shown, u"Error: Error packing database: another program is writing to the "
                            u"database; try again when it has finished"_s);
            QVERIFY(timersHeld);
        } else {
            QVERIFY(!box.ran());
        }
        // The same timers again, each counting afresh.
        QVERIFY(check->running());
        QVERIFY(check->remainingTime() > 290'000);
        QCOMPARE(load->running(), daily);
        // Every grid shows its data again; nothing was reported on the way.
        QTRY_COMPARE(w.form->findChild<DataGrid*>(u"GridCurrentFreeSpace"_s)->model()->rowCount(),
                     2);
        QCOMPARE(w.form->findChild<DataGrid*>(u"GridFreeSpaceHistory"_s)->model()->rowCount(), 2);
        QVERIFY(w.dm->ADOVardometer.isConnected());
        QCOMPARE(w.historyRows(), 2);
    }
};

VARDOMETER_WIDGET_TEST_MAIN(TestSchedules)

#include "test_schedules.moc"
