#include "export/WorkbookReader.h"

#include "data/DM2.h"
#include "support/MainWindowFixture.h"
#include "support/UrlRecorder.h"
#include "support/WhileModal.h"
#include "support/WindowTest.h"
#include "toolkit/DataGrid.h"
#include "ui/MainForm.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

// The window over Alpha, Beta and Gamma (in that table order), each with snapshots
// of its own, at the fixture's fixed time, 11 March 2007 09:30.
struct Window : MainWindowFixture {
    explicit Window(const QList<DatabaseCreator::NewSystem>& systems)
        : MainWindowFixture(systems)
    {
        int day = 39140;
        for (const auto& s : systems)
            for (int n = 0; n < 2; ++n)
                db.exec(u"INSERT INTO FreeSpaceHistory (System, Date, Time, FreeMB, UsedMB) "
                        u"VALUES (?, ?, 0.5, 1, 2)"_s,
                        {s.name, day++});
        open();
        form->show();
    }
    void run(const QString& action) const { form->findChild<QAction*>(action)->trigger(); }
    DataGrid* summary() const { return form->findChild<DataGrid*>(u"GridCurrentFreeSpace"_s); }
};

const QList<DatabaseCreator::NewSystem> threeSystems{
    {u"Alpha"_s, u"/srv/a"_s, {}}, {u"Beta"_s, u"/srv/b"_s, {}}, {u"Gamma"_s, u"/srv/g"_s, {}}};

QStringList firstColumn(const ReadWorkbook& book)
{
    QStringList values;
    for (int row = 1; row < book.rowCount(); ++row)
        values << book.value(row, 0).toString();
    return values;
}

} // namespace

class TestExportCommands : public WindowTest {
    Q_OBJECT
private:
    QTemporaryDir home;
    QString exportFolder() const { return home.filePath(u"Documents/Vardometer"_s); }

private Q_SLOTS:
    void initTestCase()
    {
        // The exports go to the documents folder of a home of the test's own.
        qputenv("HOME", QFile::encodeName(home.path()));
        qunsetenv("XDG_CONFIG_HOME");
    }
    void init()
    {
        QDir(exportFolder()).removeRecursively();
        WindowTest::init();
    }
    void cleanup()
    {
        WindowTest::cleanup();
        QCOMPARE(QApplication::overrideCursor(), nullptr); // the hourglass is gone
    }

    void summaryExportWalksTheGridAndOpensTheWorkbook_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("sheet");
        QTest::newRow("Free Space Summary")
            << u"MnuMainActionExportExcelFreeSpaceSummary"_s
            << u"Free Space Summary 2007-03-11 09-30-00.xlsx"_s << u"Summary"_s;
        QTest::newRow("Systems") << u"MnuMainActionExportExcelSystems"_s
                                 << u"Systems 2007-03-11 09-30-00.xlsx"_s << u"Systems"_s;
    }
    void summaryExportWalksTheGridAndOpensTheWorkbook()
    {
        QFETCH(QString, action);
        QFETCH(QString, fileName);
        QFETCH(QString, sheet);
        Window w(threeSystems);
        UrlRecorder desktop({u"file"_s});
        w.summary()->setCurrentIndex(w.summary()->model()->index(0, 0));

        w.run(action);
        const QString saved = QDir(exportFolder()).filePath(fileName);
        QCOMPARE(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(saved)});
        const ReadWorkbook book(saved);
        QVERIFY2(book.ok(), qPrintable(book.error()));
        QCOMPARE(book.sheetName(), sheet);
        QCOMPARE(firstColumn(book), (QStringList{u"Alpha"_s, u"Beta"_s, u"Gamma"_s}));
        // The grid's selection ran through the rows with the table and rests on the last.
        QCOMPARE(w.summary()->currentIndex().row(), 2);
        QCOMPARE(w.dm->ATblSystems.recNo(), 2);
    }

    void historyExportCoversTheCurrentSystem()
    {
        Window w(threeSystems);
        UrlRecorder desktop({u"file"_s});
        // The row selected in the summary grid is the current system.
        w.summary()->setCurrentIndex(w.summary()->model()->index(1, 0));
        w.run(u"MnuMainActionExportExcelHistoryDetails"_s);
        QCOMPARE(desktop.opened.size(), 1);
        const ReadWorkbook beta(desktop.opened.last().toLocalFile());
        QVERIFY2(beta.ok(), qPrintable(beta.error()));
        QCOMPARE(beta.sheetName(), u"History Details"_s);
        QCOMPARE(firstColumn(beta), (QStringList{u"Beta"_s, u"Beta"_s}));

        // Right after a Systems export the current system is the last one.
        w.run(u"MnuMainActionExportExcelSystems"_s);
        w.run(u"MnuMainActionExportExcelHistoryDetails"_s);
        QCOMPARE(desktop.opened.size(), 3);
        const ReadWorkbook gamma(desktop.opened.last().toLocalFile());
        QCOMPARE(firstColumn(gamma), (QStringList{u"Gamma"_s, u"Gamma"_s}));

        // Each export made a file of its own; none replaced another.
        QCOMPARE(QDir(exportFolder()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{u"History Details 2007-03-11 09-30-00 (2).xlsx"_s,
                              u"History Details 2007-03-11 09-30-00.xlsx"_s,
                              u"Systems 2007-03-11 09-30-00.xlsx"_s}));
    }

    void emptyResultsStillGiveAnOpenedWorkbook_data()
    {
        QTest::addColumn<bool>("withSystem");
        QTest::addColumn<QString>("action");
        QTest::newRow("empty Systems table")
            << false << u"MnuMainActionExportExcelFreeSpaceSummary"_s;
        QTest::newRow("system without snapshots")
            << true << u"MnuMainActionExportExcelHistoryDetails"_s;
    }
    void emptyResultsStillGiveAnOpenedWorkbook()
    {
        QFETCH(bool, withSystem);
        QFETCH(QString, action);
        MainWindowFixture w(withSystem ? QList<DatabaseCreator::NewSystem>{{u"A"_s, u"/a"_s, {}}}
                                       : QList<DatabaseCreator::NewSystem>{});
        w.open();
        UrlRecorder desktop({u"file"_s});
        w.form->findChild<QAction*>(action)->trigger();
        QCOMPARE(desktop.opened.size(), 1);
        const ReadWorkbook book(desktop.opened.front().toLocalFile());
        QVERIFY2(book.ok(), qPrintable(book.error()));
        QCOMPARE(book.rowCount(), 1);
        QVERIFY(book.bold(0, 0));
    }

    void aWorkbookNothingOpensIsNamedInAMessage()
    {
        Window w(threeSystems);
        // No handler: the test platform has no desktop to hand the file to.
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        WhileModal answer([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            QVERIFY(!QApplication::overrideCursor()); // the hourglass is off while it asks
            box->button(QMessageBox::Ok)->click();
        });
        w.run(u"MnuMainActionExportExcelSystems"_s);
        QVERIFY(answer.ran());
        const QString saved = QDir(exportFolder()).filePath(u"Systems 2007-03-11 09-30-00.xlsx"_s);
        QCOMPARE(caption, QApplication::applicationDisplayName());
        QCOMPARE(icon, QMessageBox::Warning);
        QVERIFY2(text.contains(saved), qPrintable(text));
        // Nothing is lost: the workbook is there, complete.
        const ReadWorkbook book(saved);
        QVERIFY2(book.ok(), qPrintable(book.error()));
        QCOMPARE(book.rowCount(), 4);
    }

    void aFailedExportIsReportedAndOpensNothing()
    {
        Window w(threeSystems);
        UrlRecorder desktop({u"file"_s});
        QVERIFY(QDir(home.filePath(u"Documents"_s)).removeRecursively());
        QFile blocker(home.filePath(u"Documents"_s)); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        w.run(u"MnuMainActionExportExcelFreeSpaceSummary"_s);
        blocker.remove();
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports.front().contains(exportFolder()), qPrintable(reports.front()));
        reports.clear();
        QCOMPARE(desktop.opened, QList<QUrl>{});
    }
};

QTEST_MAIN(TestExportCommands)
#include "test_export_commands.moc"
