// The Options dialog over the program's own Options row and recipients.
#include "data/DM2.h"
#include "engine/Directories.h"
#include "support/MainWindowFixture.h"
#include "support/WidgetTestMain.h"
#include "support/WindowTest.h"
#include "toolkit/DBCheckBox.h"
#include "toolkit/DBEdit.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/DBSpinEdit.h"
#include "toolkit/DBTimeEdit.h"
#include "toolkit/DataGrid.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/IntervalTimer.h"
#include "ui/MainForm.h"
#include "ui/Options.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <QToolButton>
#include <QTreeWidget>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

// The main window over a database shaped by the statements, with its Options dialog.
struct Dialog : MainWindowFixture {
    TOptionsForm* dialog = nullptr;

    explicit Dialog(const QStringList& sql = {})
        : MainWindowFixture({}, QStringList{u"UPDATE Options SET CompanyName = 'Acme', "
                                            u"PopupAlerts = 0, EMailAlerts = 0, EMailAuth = 0, "
                                            u"EMailUsername = 'ops', EMailPassword = 'pw'"_s} +
                                    sql)
    {
        open();
        form->show();
        dialog = form->optionsForm();
    }
    // Shown as the menu shows it, without a nested event loop so the test can work in it.
    void show() const
    {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
    }
    template <typename T> T* find(const QString& name) const { return dialog->findChild<T*>(name); }
    void click(const QString& box) const
    {
        auto* b = find<DBCheckBox>(box);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
    }
    void type(const QString& edit, const QString& text) const
    {
        auto* e = find<QLineEdit>(edit);
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, text);
    }
    QVariant stored(const QString& column) const
    {
        return db.scalar(u"SELECT %1 FROM Options"_s.arg(column));
    }
    DataSet& options() const { return dm->ATblOptions; }
};

} // namespace

class TestOptions : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void frameAndControls()
    {
        Dialog d;
        d.show();
        QCOMPARE(d.dialog->windowTitle(), u" Options"_s);
        QCOMPARE(d.dialog->size(), QSize(684, 417));
        auto* tabs = d.find<QTabWidget>(u"PageControl"_s);
        QCOMPARE(tabs->count(), 4);
        QCOMPARE(tabs->tabText(0), u"General"_s);
        QCOMPARE(tabs->tabText(1), u"EMail Settings"_s);
        QCOMPARE(tabs->tabText(2), u"Alert Lists"_s);
        QCOMPARE(tabs->tabText(3), u"Credentials"_s);
        for (int i = 0; i < tabs->count(); ++i)
            QVERIFY(!tabs->tabIcon(i).isNull());
        QCOMPARE(d.find<QGroupBox>(u"gBoxAlerts"_s)->title(), u" Alerts "_s);
        QCOMPARE(d.find<QGroupBox>(u"BoxEmailToUsers"_s)->title(), u"SMTP EMail Settings"_s);
        QCOMPARE(d.find<QLineEdit>(u"DBOptCompanyName"_s)->text(), u"Acme"_s);
        QCOMPARE(d.find<QLineEdit>(u"DBOptPassword"_s)->echoMode(), QLineEdit::Password);
        QCOMPARE(d.find<QPushButton>(u"HelpBtn"_s)->text(), u"&Help"_s);
        QVERIFY(d.find<QPushButton>(u"OKBtn"_s)->isDefault());
        // The recipients' navigator has every button but a refresh, and asks before deleting.
        auto* nav = d.find<DBNavigator>(u"navAlerts"_s);
        for (int b = 0; b < DBNavigator::ButtonCount; ++b)
            QVERIFY(!nav->button(static_cast<DBNavigator::Button>(b))->isHidden());
        QVERIFY(nav->confirmDelete);
        QCOMPARE(d.find<DataGrid>(u"GridAlerts"_s)->columnWidth(0), 474);
        // The row is in edit mode from the start.
        QCOMPARE(d.options().state(), DataSetState::Edit);
        d.dialog->close();
    }

    void generalTabOnEveryShowing()
    {
        Dialog d;
        d.show();
        auto* tabs = d.find<QTabWidget>(u"PageControl"_s);
        tabs->setCurrentIndex(2);
        d.dialog->close();
        d.show();
        QCOMPARE(tabs->currentIndex(), 0);
        d.dialog->close();
    }

    void okStoresTheRowAndNamesTheTreeRoot()
    {
        Dialog d;
        d.show();
        d.type(u"DBOptCompanyName"_s, u"Globex"_s);
        QCOMPARE(d.stored(u"CompanyName"_s).toString(), u"Acme"_s);
        QTest::mouseClick(d.find<QPushButton>(u"OKBtn"_s), Qt::LeftButton);
        QVERIFY(!d.dialog->isVisible());
        QCOMPARE(d.dialog->result(), int(QDialog::Accepted));
        QCOMPARE(d.stored(u"CompanyName"_s).toString(), u"Globex"_s);
        QCOMPARE(d.form->findChild<QTreeWidget*>(u"TVMenu"_s)->topLevelItem(0)->text(0),
                 u"Globex"_s);
    }

    void alertSwitchesActAtOnceAndCancelUndoesThem_data()
    {
        QTest::addColumn<QString>("box");
        QTest::newRow("popup") << u"chkPopupAlerts"_s;
        QTest::newRow("e-mail") << u"chkEMailAlerts"_s;
    }
    void alertSwitchesActAtOnceAndCancelUndoesThem()
    {
        QFETCH(QString, box);
        Dialog d;
        dvDirectories* engine = d.form->Directories();
        auto switchOn = [&] {
            return box == u"chkPopupAlerts"_s ? engine->PopupAlerts : engine->EMailAlerts;
        };
        d.show();
        QVERIFY(!switchOn());
        d.click(box);
        QVERIFY(switchOn()); // before anything is stored
        QCOMPARE(d.stored(box == u"chkPopupAlerts"_s ? u"PopupAlerts"_s : u"EMailAlerts"_s),
                 QVariant(0));
        // Escape is Cancel: the stored value comes back and switches the engine off again.
        QTest::keyClick(d.dialog, Qt::Key_Escape);
        QVERIFY(!d.dialog->isVisible());
        QVERIFY(!switchOn());
        QCOMPARE(d.find<DBCheckBox>(box)->checkState(), Qt::Unchecked);
    }

    void userNameAndPasswordFollowAuthentication()
    {
        Dialog d;
        d.show();
        d.find<QTabWidget>(u"PageControl"_s)->setCurrentIndex(1);
        auto* user = d.find<QLineEdit>(u"DBOptUsername"_s);
        auto* password = d.find<QLineEdit>(u"DBOptPassword"_s);
        QVERIFY(!user->isEnabled());
        QVERIFY(!password->isEnabled());
        d.click(u"DBOptAuth"_s);
        QVERIFY(user->isEnabled());
        QVERIFY(password->isEnabled());
        d.click(u"DBOptAuth"_s);
        QVERIFY(!user->isEnabled());
        QVERIFY(!password->isEnabled());
        QCOMPARE(user->text(), u"ops"_s);
        QCOMPARE(password->text(), u"pw"_s);
        d.dialog->close();
    }

    void intervalStaysWithinOneToNinetyNineThousand()
    {
        Dialog d;
        d.show();
        auto* interval = d.find<DBSpinEdit>(u"DBOptInterval"_s);
        QCOMPARE(interval->minimum(), 1);
        QCOMPARE(interval->maximum(), 99999);
        interval->setFocus();
        interval->selectAll();
        QTest::keyClicks(interval, u"0"_s);
        QTest::keyClick(interval, Qt::Key_Down);
        QVERIFY(interval->value() >= 1);
        interval->selectAll();
        QTest::keyClicks(interval, u"123456"_s);
        QVERIFY(interval->value() <= 99999);
        d.dialog->close();
    }

    void anEmptyOptionsTableGetsItsRow()
    {
        Dialog d({u"DELETE FROM Options"_s});
        // Without an Options row the engine cannot start; the dialog still makes one.
        QCOMPARE(reports.size(), 1);
        reports.clear();
        d.show();
        QCOMPARE(d.options().state(), DataSetState::Insert);
        d.type(u"DBOptCompanyName"_s, u"Initech"_s);
        QTest::mouseClick(d.find<QPushButton>(u"OKBtn"_s), Qt::LeftButton);
        QCOMPARE(d.db.scalar(u"SELECT count(*) FROM Options"_s).toInt(), 1);
        QCOMPARE(d.stored(u"CompanyName"_s).toString(), u"Initech"_s);
    }

    void recipientsStayWhateverTheDialogDoes()
    {
        Dialog d;
        d.show();
        d.find<QTabWidget>(u"PageControl"_s)->setCurrentIndex(2);
        auto* nav = d.find<DBNavigator>(u"navAlerts"_s);
        QTest::mouseClick(nav->button(DBNavigator::Insert), Qt::LeftButton);
        d.dm->ATblAlerts.fieldByName(u"EMailAddress"_s).setValue(u"ops@a.test"_s);
        QTest::mouseClick(nav->button(DBNavigator::Post), Qt::LeftButton);
        QTest::mouseClick(d.find<QPushButton>(u"CancelBtn"_s), Qt::LeftButton);
        QCOMPARE(d.db.column(u"SELECT EMailAddress FROM Alerts"_s), QVariantList{u"ops@a.test"_s});
    }

    void shareLogonsKeepTheirPasswordsOutOfSight()
    {
        Dialog d({u"INSERT INTO Credentials (Server, Domain, Username, Password) "
                  u"VALUES ('files.acme.test', 'ACME', 'backup', 's3cret')"_s});
        d.show();
        d.find<QTabWidget>(u"PageControl"_s)->setCurrentIndex(3);
        auto* grid = d.find<DataGrid>(u"GridCredentials"_s);
        QAbstractItemModel* m = grid->model();
        QCOMPARE(m->headerData(3, Qt::Horizontal).toString(), u"Password"_s);
        QCOMPARE(m->data(m->index(0, 0)).toString(), u"files.acme.test"_s);
        QCOMPARE(m->data(m->index(0, 3)).toString(), u"******"_s);
        // Typed unseen, stored as typed.
        grid->setFocus();
        grid->setCurrentIndex(m->index(0, 3));
        grid->edit(grid->currentIndex());
        auto* cell = grid->findChild<QLineEdit*>(u"InplaceEditor"_s);
        QVERIFY(cell);
        QCOMPARE(cell->echoMode(), QLineEdit::Password);
        cell->selectAll();
        QTest::keyClicks(cell, u"n3w-Pass"_s);
        QTest::keyClick(cell, Qt::Key_Return);
        QTRY_VERIFY(d.dm->ATblCredentials.modified());
        QTest::mouseClick(d.find<DBNavigator>(u"navCredentials"_s)->button(DBNavigator::Post),
                          Qt::LeftButton);
        QCOMPARE(d.db.scalar(u"SELECT Password FROM Credentials"_s).toString(), u"n3w-Pass"_s);
        QCOMPARE(m->data(m->index(0, 3)).toString(), u"********"_s);
        // Cancel of the dialog leaves the logons as they were stored.
        QTest::mouseClick(d.find<QPushButton>(u"CancelBtn"_s), Qt::LeftButton);
        QCOMPARE(d.db.scalar(u"SELECT count(*) FROM Credentials"_s).toInt(), 1);
    }

    void theCloseBoxLeavesTheChangesPending()
    {
        Dialog d;
        d.show();
        d.type(u"DBOptCompanyName"_s, u"Pending Ltd"_s);
        d.dialog->close();
        QVERIFY(!d.dialog->isVisible());
        QCOMPARE(d.options().state(), DataSetState::Edit);
        QVERIFY(d.options().modified());
        QCOMPARE(d.stored(u"CompanyName"_s).toString(), u"Acme"_s);
        // The next operation that moves the table stores them.
        d.form->Directories()->ReadOptions();
        QCOMPARE(d.stored(u"CompanyName"_s).toString(), u"Pending Ltd"_s);
    }

    void timersStoredAsEnabledLockTheirBoxes()
    {
        Dialog d({u"UPDATE Options SET TimerForCheckEnabled = 1, TimeIntervalForCheck = 5, "
                  u"TimerToLoadEnabled = 1"_s});
        d.show();
        QVERIFY(!d.find<DBSpinEdit>(u"DBOptInterval"_s)->isEnabled());
        QVERIFY(!d.find<DBTimeEdit>(u"DBTimeToLoadSpace"_s)->isEnabled());
        QVERIFY(d.form->TimerCheck->running());
        QCOMPARE(d.form->TimerCheck->interval(), 300'000);
        QVERIFY(d.form->TimerLoadSpace->running());
        d.dialog->close();
    }

    void theCheckBoxArmsWithTheIntervalShown()
    {
        Dialog d({u"UPDATE Options SET TimerForCheckEnabled = 1, TimeIntervalForCheck = 5"_s});
        IntervalTimer* timer = d.form->TimerCheck;
        d.show();
        auto* interval = d.find<DBSpinEdit>(u"DBOptInterval"_s);
        // Clear the box (the timer stops), type 10, check it again: armed at once with 10.
        d.click(u"DBCheckSpace"_s);
        QVERIFY(!timer->running());
        QVERIFY(interval->isEnabled());
        interval->setValue(10);
        d.click(u"DBCheckSpace"_s);
        QVERIFY(timer->running());
        QCOMPARE(timer->interval(), 600'000);
        QVERIFY(timer->remainingTime() > 590'000);
        QVERIFY(!interval->isEnabled());
        // An interval that does not fit is refused before anything changes.
        d.click(u"DBCheckSpace"_s);
        interval->setValue(35'792);
        d.click(u"DBCheckSpace"_s);
        QCOMPARE(reports, QStringList{u"Integer overflow."_s});
        reports.clear();
        QVERIFY(!timer->running());
        QVERIFY(interval->isEnabled());
        // Typing elsewhere in the row does not try the failed switch again.
        d.type(u"DBOptCompanyName"_s, u"Initech"_s);
        QCOMPARE(reports, QStringList{});
        QTest::mouseClick(d.find<QPushButton>(u"CancelBtn"_s), Qt::LeftButton);
        // The stored row comes back: checked, 5 minutes.
        QVERIFY(timer->running());
        QCOMPARE(timer->interval(), 300'000);
    }
};

VARDOMETER_WIDGET_TEST_MAIN(TestOptions)

#include "test_options.moc"
