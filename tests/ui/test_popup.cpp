#include "data/DM2.h"
#include "engine/Directories.h"
#include "support/EngineDoubles.h"
#include "support/TestDatabase.h"
#include "support/WidgetTestMain.h"
#include "ui/MainForm.h"
#include "ui/MsgBox.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

namespace {

// The first reading of the fixtures' clocks; each one after it a second later.
const QDateTime FirstReading(QDate(2007, 3, 11), QTime(14, 5, 9));

QStringList memoLines(const TMsBox* box)
{
    return box->findChild<QPlainTextEdit*>(u"Memo"_s)->toPlainText().split(u'\n');
}

// Gives the engine a finished run's alert lines, entry 0 unused as the runs leave it.
void setRunLines(dvDirectories& engine, const QStringList& lines)
{
    engine.AlertLines = QStringList{QString()} + lines;
    engine.AlertCount = int(lines.size());
}

// The main window over a database of three systems, with its engine delivering popups.
struct PopupFixture {
    TestDatabase db{{{u"FS1"_s, u"/srv/fs1"_s, QString()},
                     {u"FS2"_s, u"/srv/fs2"_s, QString()},
                     {u"FS3"_s, u"/srv/fs3"_s, QString()}}};
    TDMVardometer dm{db.path()};
    ScriptedProbe probe;
    SteppingClock clock{FirstReading};
    const std::unique_ptr<SmtpTransport> mail = createSmtpTransport();
    std::unique_ptr<TMainForm> form;
    dvDirectories* engine = nullptr;

    explicit PopupFixture(bool popupAlerts = true)
    {
        db.exec(u"UPDATE Options SET PopupAlerts = ?"_s, {popupAlerts ? 1 : 0});
        form = std::make_unique<TMainForm>(dm, QStringList{}, probe, clock, *mail);
        engine = form->Directories();
    }
    QList<TMsBox*> windows() const { return form->findChildren<TMsBox*>(u"MsBox"_s); }

    // Runs the delivery; once its window is open, whileOpen runs from the window's event
    // loop and must close it. A window it leaves open is closed for it, so a failing check
    // ends the test instead of hanging it. False when a window had to be closed that way.
    bool deliverWhileOpen(const std::function<void()>& deliver,
                          const std::function<void(TMsBox*)>& whileOpen)
    {
        bool leftOpen = false;
        QTimer watch;
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, form.get(), [&] {
            const QList<TMsBox*> open = windows();
            if (open.size() != 1 || !open.front()->isVisible())
                return;
            watch.stop();
            QPointer<TMsBox> box = open.front();
            whileOpen(box);
            if (box && box->isVisible()) {
                leftOpen = true;
                box->done(QDialog::Rejected);
            }
        });
        watch.start();
        deliver();
        return !leftOpen;
    }
};

void clickOK(TMsBox* box)
{
    QTest::mouseClick(box->findChild<QPushButton*>(u"BtnOK"_s), Qt::LeftButton);
}

} // namespace

class TestPopup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // A day-month-year locale, so the stamps can be read as written.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    }

    void windowAsLaidOut()
    {
        TMsBox box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QCOMPARE(box.objectName(), u"MsBox"_s);
        QCOMPARE(box.windowTitle(), u"Vardometer : Free Space Alert"_s);
        QCOMPARE(box.pos(), QPoint(100, 100));
        QCOMPARE(box.size(), QSize(502, 276));
        QCOMPARE(box.minimumSize(), box.maximumSize());
        QVERIFY(!(box.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(box.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(box.windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(box.font().family(), u"Liberation Sans"_s);
        QCOMPARE(box.font().pointSize(), 8);

        auto* ok = box.findChild<QPushButton*>(u"BtnOK"_s);
        auto* memo = box.findChild<QPlainTextEdit*>(u"Memo"_s);
        QVERIFY(ok && memo);
        QCOMPARE(ok->text(), u"OK"_s);
        QCOMPARE(ok->geometry(), QRect(232, 240, 49, 25));
        QVERIFY(ok->isDefault());
        QCOMPARE(box.focusWidget(), ok);
        QCOMPARE(memo->geometry(), QRect(16, 16, 473, 209));
        QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QVERIFY(!memo->isReadOnly());
        QCOMPARE(memo->font().family(), u"Liberation Sans"_s);
        // Tab leaves the memo for the button instead of typing a tab.
        QCOMPARE(ok->nextInFocusChain(), memo);
        QVERIFY(memo->tabChangesFocus());
    }

    void oneDelivery_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("one line") << QStringList{u"FS1 : System Not Found"_s}
                                  << QStringList{u"11/03/2007 14:05:09 : FS1 : System Not Found"_s};
        QStringList ten;
        QStringList tenShown;
        for (int i = 0; i < 10; ++i) {
            ten << u"FS%1 : System Not Found"_s.arg(i + 1);
            tenShown << u"11/03/2007 14:05:%1 : FS%2 : System Not Found"_s
                            .arg(9 + i, 2, 10, QChar(u'0'))
                            .arg(i + 1);
        }
        QTest::newRow("ten lines, in order, each with its own time") << ten << tenShown;
    }
    void oneDelivery()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, shown);
        PopupFixture f;
        setRunLines(*f.engine, lines);
        QStringList seen;
        int stateWhileOpen = -1;
        bool modal = false;
        int result = -1;
        QPointer<TMsBox> window;
        QVERIFY(f.deliverWhileOpen([&] { f.engine->ShowPopupAlerts(); },
                                   [&](TMsBox* box) {
                                       window = box;
                                       seen = memoLines(box);
                                       stateWhileOpen = f.engine->PopupState;
                                       modal = QApplication::activeModalWidget() == box;
                                       connect(box, &QDialog::finished, box,
                                               [&result](int r) { result = r; });
                                       clickOK(box);
                                   }));
        QCOMPARE(seen, shown);
        QCOMPARE(stateWhileOpen, 2);
        QVERIFY(modal);
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(f.engine->PopupState, 0);
        QVERIFY(window && !window->isVisible());
    }

    void waysToClose_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("OK clicked") << u"click"_s;
        QTest::newRow("Enter on OK") << u"enter"_s;
        QTest::newRow("Return on OK") << u"return"_s;
        QTest::newRow("close box") << u"close"_s;
    }
    void waysToClose()
    {
        QFETCH(QString, how);
        PopupFixture f;
        setRunLines(*f.engine, {u"FS1 : System Not Found"_s});
        QWidget* focusAtOpen = nullptr;
        QVERIFY(f.deliverWhileOpen([&] { f.engine->ShowPopupAlerts(); },
                                   [&](TMsBox* box) {
                                       focusAtOpen = box->focusWidget();
                                       if (how == u"click")
                                           clickOK(box);
                                       else if (how == u"enter")
                                           QTest::keyClick(box->focusWidget(), Qt::Key_Enter);
                                       else if (how == u"return")
                                           QTest::keyClick(box->focusWidget(), Qt::Key_Return);
                                       else
                                           box->close();
                                   }));
        QCOMPARE(focusAtOpen, f.windows().front()->findChild<QPushButton*>(u"BtnOK"_s));
        QCOMPARE(f.engine->PopupState, 0);
    }

    void enterInMemoStartsANewLine()
    {
        PopupFixture f;
        setRunLines(*f.engine, {u"FS1 : System Not Found"_s});
        QStringList afterEnter;
        bool stillOpen = false;
        bool escapeClosed = true;
        QVERIFY(f.deliverWhileOpen([&] { f.engine->ShowPopupAlerts(); },
                                   [&](TMsBox* box) {
                                       auto* memo = box->findChild<QPlainTextEdit*>(u"Memo"_s);
                                       memo->setFocus();
                                       memo->moveCursor(QTextCursor::End);
                                       QTest::keyClick(memo, Qt::Key_Return);
                                       QTest::keyClicks(memo, u"noted"_s);
                                       afterEnter = memoLines(box);
                                       stillOpen = box->isVisible();
                                       // No Cancel button, so Escape leaves the alerts up.
                                       QTest::keyClick(box, Qt::Key_Escape);
                                       escapeClosed = !box->isVisible();
                                       clickOK(box);
                                   }));
        QCOMPARE(afterEnter,
                 (QStringList{u"11/03/2007 14:05:09 : FS1 : System Not Found"_s, u"noted"_s}));
        QVERIFY(stillOpen);
        QVERIFY(!escapeClosed);
    }

    void secondDeliveryGetsANewWindow()
    {
        PopupFixture f;
        QPointer<TMsBox> first;
        setRunLines(*f.engine, {u"FS1 : System Not Found"_s, u"FS2 : System Not Found"_s});
        QVERIFY(f.deliverWhileOpen([&] { f.engine->ShowPopupAlerts(); },
                                   [&](TMsBox* box) {
                                       first = box;
                                       clickOK(box);
                                   }));
        QVERIFY(first);

        QStringList seen;
        QPointer<TMsBox> second;
        setRunLines(*f.engine, {u"FS3 : System Not Found"_s});
        QVERIFY(f.deliverWhileOpen([&] { f.engine->ShowPopupAlerts(); },
                                   [&](TMsBox* box) {
                                       second = box;
                                       seen = memoLines(box);
                                       clickOK(box);
                                   }));
        QCOMPARE(seen, QStringList{u"11/03/2007 14:05:11 : FS3 : System Not Found"_s});
        QVERIFY(second);
        QVERIFY2(!first, "the first delivery's window is gone once the next one is made");
        QCOMPARE(f.windows().size(), 1);
        QCOMPARE(f.engine->PopupState, 0);
    }

    // A Check Space run started from a timer while the window of an earlier run is open.
    void runDuringOpenWindowAddsToIt()
    {
        PopupFixture f;
        f.clock.step = 0;
        // The first run cannot reach FS1; the second cannot reach FS2 and FS3.
        f.probe.set(u"/srv/fs2"_s, 10LL << 30, 20LL << 30);
        f.probe.set(u"/srv/fs3"_s, 10LL << 30, 20LL << 30);
        QStringList beforeNested;
        QStringList afterNested;
        int windowsAfterNested = -1;
        bool openAfterNested = false;
        int stateAfterNested = -1;
        QPointer<TMsBox> window;
        QVERIFY(f.deliverWhileOpen([&] { f.engine->CheckSpace(); },
                                   [&](TMsBox* box) {
                                       window = box;
                                       beforeNested = memoLines(box);
                                       f.probe.answers.clear();
                                       f.probe.set(u"/srv/fs1"_s, 10LL << 30, 20LL << 30);
                                       QTimer timer;
                                       timer.setSingleShot(true);
                                       bool nestedReturned = false;
                                       connect(&timer, &QTimer::timeout, box, [&] {
                                           f.engine->CheckSpace();
                                           nestedReturned = true;
                                       });
                                       timer.start(0);
                                       QTRY_VERIFY(nestedReturned);
                                       afterNested = memoLines(box);
                                       windowsAfterNested = int(f.windows().size());
                                       openAfterNested = box->isVisible();
                                       stateAfterNested = f.engine->PopupState;
                                       clickOK(box);
                                   }));
        const QString stamp = u"11/03/2007 14:05:09 : "_s;
        QCOMPARE(beforeNested, QStringList{stamp + u"FS1 : System Not Found"_s});
        QCOMPARE(afterNested, (QStringList{stamp + u"FS1 : System Not Found"_s,
                                           stamp + u"FS2 : System Not Found"_s,
                                           stamp + u"FS3 : System Not Found"_s}));
        QCOMPARE(windowsAfterNested, 1);
        QVERIFY2(openAfterNested, "the timer's run returned without waiting for the window");
        QCOMPARE(stateAfterNested, 2);
        QCOMPARE(f.engine->PopupState, 0);
        QVERIFY(window && !window->isVisible());
    }

    void switchedOffShowsNothing()
    {
        PopupFixture f(false);
        bool windowOpened = false;
        // No system can be reached, so the run has lines to deliver.
        QVERIFY(f.deliverWhileOpen([&] { f.engine->CheckSpace(); },
                                   [&](TMsBox* box) {
                                       windowOpened = true;
                                       clickOK(box);
                                   }));
        QCOMPARE(f.engine->AlertCount, 3);
        QVERIFY(!windowOpened);
        QVERIFY(f.windows().isEmpty());
        QCOMPARE(f.engine->PopupState, 0);
    }

    // A window that fails to show must not leave every later delivery appending to it.
    void failedShowFreesTheState()
    {
        struct FailingHost : RecordingHost {
            int failures = 1;
            void showPopupWindow() override
            {
                RecordingHost::showPopupWindow();
                if (failures-- > 0)
                    throw std::runtime_error("no display");
            }
        };
        TestDatabase db;
        db.exec(u"UPDATE Options SET PopupAlerts = 1"_s);
        TDMVardometer dm(db.path());
        dm.SetAllDatasetsActive(true);
        FailingHost host;
        ScriptedProbe probe;
        SteppingClock clock(FirstReading);
        const std::unique_ptr<SmtpTransport> mail = createSmtpTransport();
        dvDirectories engine(dm, host, probe, clock, *mail);
        setRunLines(engine, {u"FS1 : System Not Found"_s});
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, engine.ShowPopupAlerts());
        QCOMPARE(engine.PopupState, 0);
        setRunLines(engine, {u"FS2 : System Not Found"_s});
        engine.ShowPopupAlerts();
        QCOMPARE(host.calls.filter(u"PopupWindow"_s),
                 (QStringList{u"createPopupWindow"_s, u"showPopupWindow"_s, u"createPopupWindow"_s,
                              u"showPopupWindow"_s}));
        QCOMPARE(host.popupLines, QStringList{u"11/03/2007 14:05:10 : FS2 : System Not Found"_s});
        QCOMPARE(engine.PopupState, 0);
    }
};

VARDOMETER_WIDGET_TEST_MAIN(TestPopup)

#include "test_popup.moc"
