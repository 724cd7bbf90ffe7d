// The tray icon: closing the window while the scheduled runs are on keeps the program
// watching where the desktop has a tray, and the icon shows how the worst system stands.
#include "data/DateTimeValue.h"
#include "support/MainWindowFixture.h"
#include "support/WhileModal.h"
#include "support/WidgetTestMain.h"
#include "support/WindowTest.h"
#include "toolkit/IntervalTimer.h"
#include "ui/DatabaseWatch.h"
#include "ui/MainForm.h"
#include "engine/SystemStates.h"
#include "ui/TrayPresence.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 GiB = 1024LL * 1024 * 1024;
const QString CheckOn = u"UPDATE Options SET TimerForCheckEnabled = 1, TimeIntervalForCheck = 5"_s;
const QString DailyOn = u"UPDATE Options SET TimerToLoadEnabled = 1"_s;

// The window with a tray to stay in, or none, as the test says.
struct Tray : MainWindowFixture {
    explicit Tray(const QStringList& sql, bool trayAvailable = true)
        : MainWindowFixture({{u"Alpha"_s, u"/srv/a"_s, {}}, {u"Beta"_s, u"/srv/b"_s, {}}},
                            QStringList{u"UPDATE Options SET PopupAlerts = 0, EMailAlerts = 0"_s} +
                                sql)
    {
        probe.set(u"/srv/a"_s, 600 * GiB, 1000 * GiB);
        probe.set(u"/srv/b"_s, 600 * GiB, 1000 * GiB);
        open();
        tray()->setTrayAvailable([trayAvailable] { return trayAvailable; });
        form->refreshTray();
        form->show();
    }
    TrayPresence* tray() const { return form->trayPresence(); }
};

QVariant day(int offset)
{
    return DateTimeValue::fromDate(QDate(2007, 3, 1)) + offset;
}

// Runs the application's event loop as the program's main() does, doing `first` from inside
// it. Gives what the loop ended with: 0 when the program quit, StillRunning when it was still
// going well after `first`.
constexpr int StillRunning = 99;
int runProgram(const std::function<void()>& first)
{
    QTimer::singleShot(0, qApp, first);
    // Gone with this call, so it cannot end a later test's loop.
    QTimer stillRunning;
    stillRunning.setSingleShot(true);
    QObject::connect(&stillRunning, &QTimer::timeout, qApp,
                     [] { QCoreApplication::exit(StillRunning); });
    stillRunning.start(1'500);
    return QApplication::exec();
}

} // namespace

class TestTray : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void cleanup()
    {
        // Every test leaves the application as it found it.
        QVERIFY(QGuiApplication::quitOnLastWindowClosed());
        WindowTest::cleanup();
    }

    void closing_data()
    {
        QTest::addColumn<QStringList>("sql");
        QTest::addColumn<bool>("trayAvailable");
        QTest::addColumn<bool>("staysInTray");
        QTest::newRow("the check timer on, a tray") << QStringList{CheckOn} << true << true;
        QTest::newRow("the daily snapshot on, a tray") << QStringList{DailyOn} << true << true;
        QTest::newRow("runs on, no tray") << QStringList{CheckOn, DailyOn} << false << false;
        QTest::newRow("no runs, a tray") << QStringList{} << true << false;
    }
    void closing()
    {
        QFETCH(QStringList, sql);
        QFETCH(bool, trayAvailable);
        QFETCH(bool, staysInTray);
        Tray w(sql, trayAvailable);
        QCOMPARE(w.tray()->isShown(), staysInTray);
        const bool checkRunning = w.form->TimerCheck->running();
        const bool dailyRunning = w.form->TimerLoadSpace->running();
        bool closed = false;

        const int ended = runProgram([&] { closed = w.form->close(); });

        QCOMPARE(ended, staysInTray ? StillRunning : 0);
        QVERIFY(!w.form->isVisible());
        QCOMPARE(closed, !staysInTray);
        QCOMPARE(w.form->hiddenInTray(), staysInTray);
        QCOMPARE(w.tray()->stillRunningToldCount(), staysInTray ? 1 : 0);
        if (staysInTray) {
            // The runs go on as before, the watch too.
            QCOMPARE(w.form->TimerCheck->running(), checkRunning);
            QCOMPARE(w.form->TimerLoadSpace->running(), dailyRunning);
            QVERIFY(w.form->databaseWatch()->isActive());
            QVERIFY(w.tray()->isShown());
            w.tray()->TrayOpen->trigger();
        }
    }

    void backFromTheTray_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Open Vardometer in the menu") << u"menu"_s;
        QTest::newRow("a click on the icon") << u"click"_s;
        QTest::newRow("a double click on the icon") << u"double click"_s;
        QTest::newRow("a click on the balloon") << u"balloon"_s;
    }
    void backFromTheTray()
    {
        QFETCH(QString, how);
        Tray w({CheckOn});
        QSystemTrayIcon* icon = w.tray()->TrayIcon;
        for (int round = 1; round <= 2; ++round) {
            QVERIFY(!w.form->close());
            QVERIFY(!w.form->isVisible());
            // The menu's own button opens the menu, nothing else.
            Q_EMIT icon->activated(QSystemTrayIcon::Context);
            QVERIFY(!w.form->isVisible());
            if (how == u"menu")
                w.tray()->TrayOpen->trigger();
            else if (how == u"click")
                Q_EMIT icon->activated(QSystemTrayIcon::Trigger);
            else if (how == u"double click")
                Q_EMIT icon->activated(QSystemTrayIcon::DoubleClick);
            else
                Q_EMIT icon->messageClicked();
            QTRY_VERIFY(w.form->isVisible());
            QVERIFY(!w.form->hiddenInTray());
        }
        // Told once, not at every closing.
        QCOMPARE(w.tray()->stillRunningToldCount(), 1);
        // With the runs switched off, closing ends the program again.
        w.form->TimerCheck->setEnabled(false);
        QCOMPARE(runProgram([&] { w.form->close(); }), 0);
    }

    void quitting_data()
    {
        QTest::addColumn<bool>("fromTheTray");
        QTest::addColumn<bool>("windowAway");
        QTest::newRow("File > Exit") << false << false;
        QTest::newRow("Quit in the tray's menu, the window open") << true << false;
        QTest::newRow("Quit in the tray's menu, the window away") << true << true;
    }
    void quitting()
    {
        QFETCH(bool, fromTheTray);
        QFETCH(bool, windowAway);
        Tray w({CheckOn});
        QCOMPARE(w.tray()->TrayMenu->actions().constLast(), w.tray()->TrayQuit);
        const int ended = runProgram([&] {
            if (windowAway)
                QVERIFY(!w.form->close());
            if (fromTheTray)
                w.tray()->TrayQuit->trigger();
            else
                w.form->findChild<QAction*>(u"MnuMainFileExit"_s)->trigger();
        });
        QCOMPARE(ended, 0);
        // Ending is no closing to the tray: nobody is told the program goes on.
        QCOMPARE(w.tray()->stillRunningToldCount(), windowAway ? 1 : 0);
        if (w.form->hiddenInTray())
            w.tray()->TrayOpen->trigger();
    }

    void aWindowClosedWhileInTheTrayEndsNothing_data()
    {
        QTest::addColumn<bool>("ownerless");
        QTest::newRow("the popup alert of a scheduled check") << false;
        // As the general error report shows a scheduled run's error, with no window active.
        QTest::newRow("an error box with no window to stand over") << true;
    }
    void aWindowClosedWhileInTheTrayEndsNothing()
    {
        QFETCH(bool, ownerless);
        Tray w({CheckOn, u"UPDATE Options SET PopupAlerts = 1"_s});
        w.probe.answers.remove(u"/srv/b"_s);
        bool closed = false;
        WhileModal user([&](QWidget* modal) {
            QVERIFY(!w.form->isVisible());
            closed = modal->close();
        });
        const int ended = runProgram([&] {
            QVERIFY(!w.form->close());
            if (ownerless) {
                QMessageBox box(QMessageBox::Critical, u"Vardometer"_s, u"Integer overflow."_s);
                box.exec();
            } else {
                // The check finds Beta gone and shows its popup alert.
                w.form->TimerCheck->setInterval(15);
            }
        });
        QCOMPARE(ended, StillRunning);
        QVERIFY(closed);
        QVERIFY(w.form->hiddenInTray());
        w.tray()->TrayOpen->trigger();
    }

    void theIconShowsTheWorstSystem_data()
    {
        QTest::addColumn<QString>("alpha"); // the SET clause of Alpha's row
        QTest::addColumn<QString>("beta");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("told");
        const QString measured = u"InitialDate = %1, \"LastFree%\" = 60, \"LastUsed%\" = 40, "
                                 u"LastFreeMB = %2, Alert1MB = 500"_s;
        const QString ok = measured.arg(day(0).toDouble()).arg(600'000);
        const QString low = measured.arg(day(0).toDouble()).arg(400);
        const QString gone = u"InitialDate = %1, \"LastFree%\" = 0, \"LastUsed%\" = 0, "
                             u"LastFreeMB = 0, LastTotalMB = 0"_s.arg(day(0).toDouble());
        QTest::newRow("all within tolerance")
            << ok << ok << int(SystemState::Ok) << u"All Systems within tolerance"_s;
        QTest::newRow("one at its threshold")
            << ok << low << int(SystemState::AtThreshold) << u"1 system at its alert threshold"_s;
        QTest::newRow("not found is worse than the threshold")
            << gone << low << int(SystemState::NotFound)
            << u"1 system not found\n1 system at its alert threshold"_s;
        QTest::newRow("two not found")
            << gone << gone << int(SystemState::NotFound) << u"2 systems not found"_s;
    }
    void theIconShowsTheWorstSystem()
    {
        QFETCH(QString, alpha);
        QFETCH(QString, beta);
        QFETCH(int, state);
        QFETCH(QString, told);
        Tray w({CheckOn});
        w.form->databaseWatch()->setInterval(20);
        // Nothing measured yet: nothing against any system.
        QCOMPARE(w.tray()->state(), SystemState::Ok);

        // Another program's run writes the figures; the window rereads them.
        w.db.exec(u"UPDATE Systems SET %1 WHERE System = 'Alpha'"_s.arg(alpha));
        w.db.exec(u"UPDATE Systems SET %1 WHERE System = 'Beta'"_s.arg(beta));
        QTRY_COMPARE(w.tray()->toolTip(), u"Vardometer\n"_s + told);
        QCOMPARE(w.tray()->state(), SystemState(state));
        const QImage drawn = w.tray()->TrayIcon->icon().pixmap(32, 32).toImage();
        QCOMPARE(drawn.pixelColor(16, 27), TrayPresence::colour(SystemState(state)));
    }

    void aRunOfTheWindowMovesTheIcon()
    {
        Tray w({CheckOn});
        w.probe.answers.remove(u"/srv/b"_s);
        w.form->TimerCheck->setInterval(15);
        QTRY_COMPARE(w.tray()->state(), SystemState::NotFound);
        w.form->TimerCheck->setInterval(300'000);
        // Beta answers again, with less room than its threshold.
        w.probe.set(u"/srv/b"_s, 100LL << 20, 1000 * GiB);
        w.form->TimerCheck->setInterval(15);
        QTRY_COMPARE(w.tray()->state(), SystemState::AtThreshold);
    }

    void systemStates_data()
    {
        QTest::addColumn<QVariant>("initialDate");
        QTest::addColumn<QVariant>("freePercent");
        QTest::addColumn<QVariant>("usedPercent");
        QTest::addColumn<QVariant>("freeMB");
        QTest::addColumn<QVariant>("alertMB");
        QTest::addColumn<int>("state");
        const QVariant none;
        const QVariant started = day(0);
        QTest::newRow("no run has looked at it yet")
            << none << QVariant(0.0) << QVariant(0.0) << QVariant(0.0) << QVariant(500.0)
            << int(SystemState::Ok);
        QTest::newRow("looked at, no figures")
            << started << QVariant(0.0) << QVariant(0.0) << QVariant(0.0) << QVariant(500.0)
            << int(SystemState::NotFound);
        QTest::newRow("looked at, empty figures")
            << started << none << none << none << QVariant(500.0) << int(SystemState::NotFound);
        QTest::newRow("above the threshold")
            << started << QVariant(60.0) << QVariant(40.0) << QVariant(501.0) << QVariant(500.0)
            << int(SystemState::Ok);
        QTest::newRow("at the threshold")
            << started << QVariant(60.0) << QVariant(40.0) << QVariant(500.0) << QVariant(500.0)
            << int(SystemState::AtThreshold);
        QTest::newRow("a fraction of a megabyte past it")
            << started << QVariant(60.0) << QVariant(40.0) << QVariant(500.0) << QVariant(500.5)
            << int(SystemState::AtThreshold);
        QTest::newRow("a full volume is measured, not missing")
            << started << QVariant(0.0) << QVariant(100.0) << QVariant(0.0) << QVariant(500.0)
            << int(SystemState::AtThreshold);
        QTest::newRow("no threshold") << started << QVariant(1.0) << QVariant(99.0) << QVariant(3.0)
                                      << none << int(SystemState::Ok);
        QTest::newRow("a zero threshold") << started << QVariant(1.0) << QVariant(99.0)
                                          << QVariant(0.0) << QVariant(0.0) << int(SystemState::Ok);
    }
    void systemStates()
    {
        QFETCH(QVariant, initialDate);
        QFETCH(QVariant, freePercent);
        QFETCH(QVariant, usedPercent);
        QFETCH(QVariant, freeMB);
        QFETCH(QVariant, alertMB);
        QFETCH(int, state);
        QCOMPARE(SystemStates::of(initialDate, freePercent, usedPercent, freeMB, alertMB),
                 SystemState(state));
    }
};

VARDOMETER_WIDGET_TEST_MAIN(TestTray)

#include "test_tray.moc"
