// The toolkit's data-aware controls and its timer, over a real Options row.
#include "data/DM2.h"
#include "data/DateTimeValue.h"
#include "support/TestDatabase.h"
#include "support/WidgetTestMain.h"
#include "support/WindowTest.h"
#include "toolkit/DBCheckBox.h"
#include "toolkit/DBEdit.h"
#include "toolkit/DBSpinEdit.h"
#include "toolkit/DBTimeEdit.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/IntervalTimer.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QStyleOptionFrame>
#include <QTest>

#include <QThread>
#include <utility>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

// The Options table open, its row under the cursor, as the dialog sees it.
struct OptionsRow {
    TestDatabase db;
    std::unique_ptr<TDMVardometer> dm;
    DataSet* options = nullptr;
    explicit OptionsRow(const QString& sql = {})
    {
        if (!sql.isEmpty())
            db.exec(sql);
        dm = std::make_unique<TDMVardometer>(db.path());
        dm->SetAllDatasetsActive(true);
        options = &dm->ATblOptions;
    }
    DataSource* source() { return &dm->SrcOptions; }
    QVariant stored(const QString& column) const
    {
        return db.scalar(u"SELECT %1 FROM Options"_s.arg(column));
    }
};

QString stateName(Qt::CheckState s)
{
    return s == Qt::Checked ? u"checked"_s : s == Qt::Unchecked ? u"unchecked"_s : u"grey"_s;
}

} // namespace

class TestDataAwareControls : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void textBoxFollowsTheRowAndWritesIntoIt()
    {
        OptionsRow row(u"UPDATE Options SET CompanyName = 'Acme', EMailHost = NULL"_s);
        DBEdit company(row.source(), u"CompanyName"_s);
        DBEdit host(row.source(), u"EMailHost"_s);
        QCOMPARE(company.text(), u"Acme"_s);
        QCOMPARE(company.maxLength(), 50);
        QCOMPARE(host.text(), QString()); // Null shows empty
        QCOMPARE(host.maxLength(), 255);

        company.setFocus();
        company.selectAll();
        QTest::keyClicks(&company, u"Globex"_s);
        QCOMPARE(row.options->state(), DataSetState::Edit);
        QCOMPARE(row.options->fieldByName(u"CompanyName"_s).value().toString(), u"Globex"_s);
        QCOMPARE(row.stored(u"CompanyName"_s).toString(), u"Acme"_s); // not stored yet
        // Another control sees the change; a cancel brings the stored text back.
        DBEdit second(row.source(), u"CompanyName"_s);
        QCOMPARE(second.text(), u"Globex"_s);
        row.options->cancel();
        QCOMPARE(company.text(), u"Acme"_s);
        // A closed dataset shows nothing.
        row.options->close();
        QCOMPARE(company.text(), QString());
    }

    void passwordBoxShowsAsterisks()
    {
        OptionsRow row(u"UPDATE Options SET EMailPassword = 's3cret'"_s);
        DBEdit password(row.source(), u"EMailPassword"_s);
        password.setPasswordMode(true);
        QCOMPARE(password.echoMode(), QLineEdit::Password);
        QStyleOptionFrame option;
        option.initFrom(&password);
        QCOMPARE(
            password.style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, &option, &password),
            int('*'));
        QCOMPARE(password.text(), u"s3cret"_s);
    }

    void checkBoxActsOnEveryChangeOfItsState()
    {
        OptionsRow row(u"UPDATE Options SET PopupAlerts = 1"_s);
        DBCheckBox box(u"Popup box for Alerts"_s, row.source(), u"PopupAlerts"_s);
        QStringList acted;
        box.setAction([&acted](Qt::CheckState s) { acted << stateName(s); });
        // The stored value is the first state acted on.
        QCOMPARE(acted, QStringList{u"checked"_s});

        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(4, box.height() / 2));
        QCOMPARE(box.checkState(), Qt::Unchecked);
        QCOMPARE(row.options->fieldByName(u"PopupAlerts"_s).value(), QVariant(false));
        QCOMPARE(row.stored(u"PopupAlerts"_s).toInt(), 1);
        // Restoring the row is a change too.
        row.options->cancel();
        QCOMPARE(box.checkState(), Qt::Checked);
        QCOMPARE(acted, (QStringList{u"checked"_s, u"unchecked"_s, u"checked"_s}));
        // A reread row that holds the same value is no change.
        row.options->refresh();
        QCOMPARE(acted.size(), 3);
    }

    void greyBoxForAnEmptyValueChecksOnClick()
    {
        OptionsRow row(u"UPDATE Options SET EMailAuth = NULL"_s);
        DBCheckBox box(u"Authentication Required"_s, row.source(), u"EMailAuth"_s);
        QStringList acted;
        box.setAction([&acted](Qt::CheckState s) { acted << stateName(s); });
        QCOMPARE(box.checkState(), Qt::PartiallyChecked);
        QCOMPARE(acted, QStringList{}); // grey is not acted on
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(4, box.height() / 2));
        QCOMPARE(box.checkState(), Qt::Checked);
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(4, box.height() / 2));
        QCOMPARE(box.checkState(), Qt::Unchecked); // never back to grey
        QCOMPARE(acted, (QStringList{u"checked"_s, u"unchecked"_s}));
    }

    void anActionThatMovesItsOwnDatasetSettles()
    {
        // The action stores and rereads the row it is bound to, and on clearing the box puts
        // the stored value back: the box follows the row once, acts on that, and stops.
        OptionsRow row(u"UPDATE Options SET EMailAlerts = 1"_s);
        DBCheckBox box(u"EMail Alerts"_s, row.source(), u"EMailAlerts"_s);
        DataSet* options = row.options;
        QStringList acted;
        box.setAction([&](Qt::CheckState s) {
            acted << stateName(s);
            if (s == Qt::Unchecked) {
                options->cancel();
                options->first();
            } else {
                options->first();
                options->edit();
            }
        });
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(4, box.height() / 2));
        QCOMPARE(acted, (QStringList{u"checked"_s, u"unchecked"_s, u"checked"_s}));
        QCOMPARE(box.checkState(), Qt::Checked);
        QCOMPARE(options->fieldByName(u"EMailAlerts"_s).value(), QVariant(true));
        QCOMPARE(options->state(), DataSetState::Edit);
    }

    void spinBoxShowsEmptyForNullAndKeepsItsRange()
    {
        OptionsRow row(u"UPDATE Options SET TimeIntervalForCheck = NULL"_s);
        DBSpinEdit box(row.source(), u"TimeIntervalForCheck"_s, 1, 99999);
        QCOMPARE(box.cleanText(), QString());
        box.stepUp();
        QCOMPARE(box.value(), 1);
        QCOMPARE(row.options->fieldByName(u"TimeIntervalForCheck"_s).value(), QVariant(1));
        // Once a number is shown the empty value is not offered again.
        box.stepDown();
        QCOMPARE(box.value(), 1);
        box.setValue(100'000);
        QCOMPARE(box.value(), 99'999);
        QCOMPARE(row.options->fieldByName(u"TimeIntervalForCheck"_s).value(), QVariant(99'999));
        row.options->cancel();
        QCOMPARE(box.cleanText(), QString());
    }

    void timeBoxShowsAndWritesTheTimeOfDay()
    {
        // A stored value with a date shows its time of day alone.
        const double stored =
            DateTimeValue::fromDateTime(QDateTime(QDate(2009, 1, 5), QTime(2, 30)));
        OptionsRow row(u"UPDATE Options SET TimeToLoadFreeSpace = %1"_s.arg(stored, 0, 'f', 10));
        DBTimeEdit box(row.source(), u"TimeToLoadFreeSpace"_s);
        QCOMPARE(box.text(), u"02:30"_s);
        QCOMPARE(box.shownValue(), DateTimeValue::fromTime(QTime(2, 30)));
        box.setTime(QTime(4, 15));
        QCOMPARE(row.options->fieldByName(u"TimeToLoadFreeSpace"_s).value().toDouble(),
                 DateTimeValue::fromTime(QTime(4, 15)));
        row.options->cancel();
        QCOMPARE(box.text(), u"02:30"_s);
    }

    void timerKeepsItsCountdownForTheSameSettings()
    {
        IntervalTimer timer;
        QVERIFY(!timer.running());
        timer.setInterval(60'000);
        QVERIFY(!timer.running()); // not enabled yet
        timer.setEnabled(true);
        QVERIFY(timer.running());
        QTest::qWait(300);
        const int left = timer.remainingTime();
        QVERIFY2(left <= 59'800, qPrintable(QString::number(left)));
        timer.setInterval(60'000); // the same value: the countdown goes on
        timer.setEnabled(true);    // already enabled: nothing
        QVERIFY(timer.remainingTime() <= left);
        timer.setInterval(50'000); // a different value starts afresh
        QVERIFY(timer.remainingTime() > 49'000);
        timer.setEnabled(false);
        QVERIFY(!timer.running());
        timer.setEnabled(true); // enabling a stopped timer starts afresh
        QVERIFY(timer.remainingTime() > 49'000);
        timer.setInterval(0); // interval 0 never fires
        QVERIFY(!timer.running());
    }

    void ticksNeverPileUp()
    {
        IntervalTimer timer;
        int ticks = 0;
        timer.onTimer = [&ticks] { ++ticks; };
        timer.setInterval(10);
        timer.setEnabled(true);
        QThread::msleep(200); // the thread is busy through twenty intervals
        QCoreApplication::processEvents();
        QCOMPARE(ticks, 1);
    }

    void aHeldTickArrivesOnceAfterTheHold()
    {
        IntervalTimer timer;
        int ticks = 0;
        timer.onTimer = [&ticks] { ++ticks; };
        timer.setInterval(10);
        timer.setEnabled(true);
        timer.hold();
        QTest::qWait(100);
        QCOMPARE(ticks, 0);
        timer.setEnabled(false);
        timer.setEnabled(true);
        timer.release();
        QTRY_VERIFY(ticks >= 1);
        timer.setEnabled(false);
        QTest::qWait(50);
        QVERIFY(ticks <= 2);
    }

    void ticksArriveInsideAModalWindow()
    {
        IntervalTimer timer;
        QDialog dialog;
        int ticks = 0;
        timer.onTimer = [&] {
            if (++ticks == 3)
                dialog.accept();
        };
        timer.setInterval(10);
        timer.setEnabled(true);
        dialog.exec();
        QCOMPARE(ticks, 3);
    }
};

VARDOMETER_WIDGET_TEST_MAIN(TestDataAwareControls)

#include "test_data_aware_controls.moc"
