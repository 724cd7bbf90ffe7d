#include "WorkbookReader.h"

#include "data/DM2.h"
#include "data/DateTimeValue.h"
#include "export/ExportError.h"
#include "export/SheetExport.h"
#include "export/WorkbookFile.h"
#include "export/WorkbookLayouts.h"
#include "export/XlsxSheetWriter.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

double day(int y, int m, int d)
{
    return DateTimeValue::fromDate(QDate(y, m, d));
}

QString isoDay(int y, int m, int d)
{
    return QDate(y, m, d).startOfDay().toString(Qt::ISODate).left(19);
}

QString snapshot(const QString& system, double date, double free, double cumUsed)
{
    return u"INSERT INTO FreeSpaceHistory (System, Date, Time, FreeMB, UsedMB, TotalMB, "
           u"\"Free%\", \"Used%\", AvgDailyMB, CumUsedMB) VALUES ('%1', %2, 0.75, %3, %4, 1000, "
           u"%5, %6, 7, %7)"_s.arg(system)
               .arg(date, 0, 'g', 17)
               .arg(free)
               .arg(1000 - free)
               .arg(free / 10)
               .arg(100 - free / 10)
               .arg(cumUsed);
}

// Every file in dir, hidden ones included.
QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

class TestWorkbookExport : public QObject {
    Q_OBJECT
private:
    std::optional<QTemporaryDir> m_out;
    QString outDir() const { return m_out->path(); }

    QString exportTo(DataSet& records, const WorkbookLayout& layout, const QString& name)
    {
        const QString file = m_out->filePath(name);
        WorkbookFile::saveAs(file,
                             [&](const QString& f) { SheetExport::write(records, layout, f); });
        return file;
    }

private Q_SLOTS:
    void init() { m_out.emplace(); }

    void everyLayoutHasItsSheetHeadersAndWidths_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QStringList>("headers");
        QTest::addColumn<QStringList>("widths"); // "A=15", columns without one keep the default
        QTest::newRow("Free Space Summary")
            << u"summary"_s << u"Summary"_s
            << QStringList{u"System"_s,       u"Last Analyzed"_s, u"Free %"_s,   u"Used %"_s,
                           u"Free MB"_s,      u"Used MB"_s,       u"Total MB"_s, u"Start Date"_s,
                           u"Used To Date"_s, u"Avg Daily MB"_s,  u"Zero Date"_s}
            << QStringList{u"A=15"_s, u"B=13"_s, u"H=10"_s, u"K=10"_s};
        QTest::newRow("History Details")
            << u"history"_s << u"History Details"_s
            << QStringList{u"System"_s,   u"Date"_s,    u"Free %"_s,
                           u"Used %"_s,   u"Free MB"_s, u"Used MB"_s,
                           u"Total MB"_s, u"USED TD"_s, u"Avg Daily MB"_s}
            << QStringList{u"A=15"_s, u"B=13"_s};
        QTest::newRow("Systems") << u"systems"_s << u"Systems"_s
                                 << QStringList{u"System"_s, u"Address"_s, u"Alert MB"_s}
                                 << QStringList{u"A=15"_s, u"B=12"_s, u"C=12"_s};
    }
    void everyLayoutHasItsSheetHeadersAndWidths()
    {
        QFETCH(QString, layout);
        QFETCH(QString, sheet);
        QFETCH(QStringList, headers);
        QFETCH(QStringList, widths);
        TestDatabase db({{u"Alpha"_s, u"/srv/a"_s, {}}});
        db.exec(snapshot(u"Alpha"_s, day(2007, 3, 1), 600, 0));
        TDMVardometer dm(db.path());
        dm.ATblSystems.open();
        dm.ATblFreeSpaceHistory.open();
        dm.ATblSystems.first();
        const WorkbookLayout l = layout == u"summary"   ? WorkbookLayouts::freeSpaceSummary()
                                 : layout == u"history" ? WorkbookLayouts::historyDetails()
                                                        : WorkbookLayouts::systems();
        DataSet& records = layout == u"history" ? dm.ATblFreeSpaceHistory : dm.ATblSystems;

        const ReadWorkbook book(exportTo(records, l, layout + u".xlsx"_s));
        QVERIFY2(book.ok(), qPrintable(book.error()));
        QCOMPARE(book.sheets().size(), 1);
        QCOMPARE(book.sheetName(), sheet);
        QCOMPARE(book.headers(), headers);
        QCOMPARE(book.rowCount(), 2);
        for (int c = 0; c < headers.size(); ++c) {
            QVERIFY2(book.bold(0, c), qPrintable(headers[c]));
            QVERIFY2(!book.bold(1, c), qPrintable(headers[c]));
        }
        // The file stores a width of N characters as N plus the cell padding (N.71...).
        QStringList written;
        const QJsonObject w = book.widths();
        for (auto it = w.begin(); it != w.end(); ++it)
            written << u"%1=%2"_s.arg(it.key()).arg(static_cast<int>(it.value().toDouble()));
        QCOMPARE(written, widths);
    }

    void summaryValuesKeepTheirTypesAndPrecision()
    {
        // Table order, not name order: Zulu was registered first.
        TestDatabase db({{u"Zulu"_s, u"/srv/z"_s, {}},
                         {u"=HYPERLINK(\"http://x\",\"y\")"_s, u"\\\\srv\\share"_s, {}}});
        db.exec(u"UPDATE Systems SET DateLastAnalysed = ?, \"LastFree%\" = 37.123456, "
                u"\"LastUsed%\" = 62.876544, LastFreeMB = 10000, LastUsedMB = 10480, "
                u"LastTotalMB = 20480, InitialDate = ?, CumUsedMB = 1700, AvgDailyMB = 170, "
                u"ZeroDate1 = NULL WHERE System = 'Zulu'"_s,
                {day(2007, 3, 11), day(2007, 3, 1)});
        db.exec(u"UPDATE Systems SET ZeroDate1 = ?, InitialDate = NULL WHERE System <> 'Zulu'"_s,
                {day(2007, 5, 9)});
        TDMVardometer dm(db.path());
        dm.ATblSystems.open();

        const ReadWorkbook book(
            exportTo(dm.ATblSystems, WorkbookLayouts::freeSpaceSummary(), u"s.xlsx"_s));
        QVERIFY2(book.ok(), qPrintable(book.error()));
        QCOMPARE(book.rowCount(), 3);
        QCOMPARE(book.value(1, 0).toString(), u"Zulu"_s);
        QCOMPARE(book.type(1, 1), u"date"_s);
        QCOMPARE(book.value(1, 1).toString(), isoDay(2007, 3, 11));
        QCOMPARE(book.type(1, 2), u"number"_s);
        QCOMPARE(book.value(1, 2).toDouble(), 37.123456); // not the grid's 37.12
        QCOMPARE(book.value(1, 3).toDouble(), 62.876544);
        QCOMPARE(book.value(1, 4).toDouble(), 10000.0);
        QCOMPARE(book.value(1, 5).toDouble(), 10480.0);
        QCOMPARE(book.value(1, 6).toDouble(), 20480.0);
        QCOMPARE(book.value(1, 7).toString(), isoDay(2007, 3, 1));
        QCOMPARE(book.value(1, 8).toDouble(), 1700.0);
        QCOMPARE(book.value(1, 9).toDouble(), 170.0);
        // A Null ZeroDate1 (nothing predicted yet) is an empty cell, the last of a full row.
        QCOMPARE(book.row(1).size(), 11);
        QCOMPARE(book.type(1, 10), u"empty"_s);

        // Text that looks like a formula stays text; a Null start date is empty too.
        QCOMPARE(book.type(2, 0), u"text"_s);
        QCOMPARE(book.value(2, 0).toString(), u"=HYPERLINK(\"http://x\",\"y\")"_s);
        QCOMPARE(book.type(2, 7), u"empty"_s);
        QCOMPARE(book.type(2, 10), u"date"_s);
        QCOMPARE(book.value(2, 10).toString(), isoDay(2007, 5, 9));

        // The walk leaves the table on its last row, as any walk of the live table does.
        QCOMPARE(dm.ATblSystems.recNo(), 1);
        QVERIFY(dm.ATblSystems.eof());
    }

    void systemsExportStoresAPendingEditFirst()
    {
        TestDatabase db({{u"Alpha"_s, u"/srv/a"_s, {}}});
        TDMVardometer dm(db.path());
        dm.ATblSystems.open();
        dm.ATblSystems.edit();
        dm.ATblSystems.fieldByName(u"Address"_s).setValue(u"/srv/new"_s);
        dm.ATblSystems.fieldByName(u"Alert1MB"_s).setValue(750.5);

        const ReadWorkbook book(exportTo(dm.ATblSystems, WorkbookLayouts::systems(), u"y.xlsx"_s));
        QVERIFY2(book.ok(), qPrintable(book.error()));
        QCOMPARE(book.value(1, 1).toString(), u"/srv/new"_s);
        QCOMPARE(book.value(1, 2).toDouble(), 750.5);
        QCOMPARE(db.scalar(u"SELECT Address FROM Systems"_s).toString(), u"/srv/new"_s);
    }

    void historyCoversTheCurrentSystemInStoredOrder()
    {
        TestDatabase db({{u"Alpha"_s, u"/srv/a"_s, {}}, {u"Beta"_s, u"/srv/b"_s, {}}});
        db.exec(snapshot(u"Alpha"_s, day(2007, 3, 1), 900, 0));
        db.exec(snapshot(u"Beta"_s, day(2007, 3, 1), 800, 0));
        db.exec(snapshot(u"Beta"_s, day(2007, 3, 2), 750, 50));
        db.exec(snapshot(u"Beta"_s, day(2007, 3, 3), 600.25, 200));
        TDMVardometer dm(db.path());
        dm.ATblSystems.open();
        dm.ATblFreeSpaceHistory.open();
        dm.ATblSystems.last(); // Beta

        const ReadWorkbook book(
            exportTo(dm.ATblFreeSpaceHistory, WorkbookLayouts::historyDetails(), u"h.xlsx"_s));
        QVERIFY2(book.ok(), qPrintable(book.error()));
        QCOMPARE(book.rowCount(), 4);
        for (int r = 1; r <= 3; ++r) {
            QCOMPARE(book.value(r, 0).toString(), u"Beta"_s);
            QCOMPARE(book.type(r, 1), u"date"_s);
            QCOMPARE(book.value(r, 1).toString(), isoDay(2007, 3, r));
        }
        QCOMPARE(book.value(3, 2).toDouble(), 60.025);
        QCOMPARE(book.value(3, 4).toDouble(), 600.25);
        QCOMPARE(book.value(3, 5).toDouble(), 399.75);
        QCOMPARE(book.value(3, 6).toDouble(), 1000.0);
        QCOMPARE(book.value(3, 7).toDouble(), 200.0); // USED TD
        QCOMPARE(book.value(3, 8).toDouble(), 7.0);
        QCOMPARE(book.row(3).size(), 9); // no Time column
    }

    void emptyResultsGiveTheHeaderRowOnly_data()
    {
        QTest::addColumn<bool>("withSystem");
        QTest::addColumn<QString>("layout");
        QTest::newRow("empty Systems table, summary") << false << u"summary"_s;
        QTest::newRow("empty Systems table, systems") << false << u"systems"_s;
        QTest::newRow("empty Systems table, history") << false << u"history"_s;
        QTest::newRow("system without snapshots") << true << u"history"_s;
    }
    void emptyResultsGiveTheHeaderRowOnly()
    {
        QFETCH(bool, withSystem);
        QFETCH(QString, layout);
        TestDatabase db(withSystem ? QList<DatabaseCreator::NewSystem>{{u"A"_s, u"/a"_s, {}}}
                                   : QList<DatabaseCreator::NewSystem>{});
        TDMVardometer dm(db.path());
        dm.ATblSystems.open();
        dm.ATblFreeSpaceHistory.open();
        const WorkbookLayout l = layout == u"summary"   ? WorkbookLayouts::freeSpaceSummary()
                                 : layout == u"history" ? WorkbookLayouts::historyDetails()
                                                        : WorkbookLayouts::systems();
        DataSet& records = layout == u"history" ? dm.ATblFreeSpaceHistory : dm.ATblSystems;
        const ReadWorkbook book(exportTo(records, l, u"e.xlsx"_s));
        QVERIFY2(book.ok(), qPrintable(book.error()));
        QCOMPARE(book.rowCount(), 1);
        QCOMPARE(book.headers().size(), l.columns.size());
        QVERIFY(book.bold(0, 0));
    }

    void textIsMadeToFitACell_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<bool>("cut");
        const qsizetype max = XlsxSheetWriter::MaxTextLength;
        const QString emoji = u"\U0001F600"_s; // two UTF-16 code units
        QTest::newRow("short text as it is") << u"FS1"_s << u"FS1"_s << false;
        QTest::newRow("as long as a cell holds")
            << QString(max, u'a') << QString(max, u'a') << false;
        QTest::newRow("one too long") << QString(max + 1, u'a') << QString(max, u'a') << true;
        QTest::newRow("a pair never split at the end")
            << QString(max - 1, u'a') + emoji << QString(max - 1, u'a') << true;
        QTest::newRow("pairs count as two")
            << emoji.repeated(max) << emoji.repeated(max / 2) << true;
        QTest::newRow("a NUL shown, what follows kept")
            << u"a"_s + QChar(0) + u"b"_s << u"a\uFFFDb"_s << false;
    }
    void textIsMadeToFitACell()
    {
        QFETCH(QString, text);
        QFETCH(QString, cell);
        QFETCH(bool, cut);
        bool wasCut = !cut;
        QCOMPARE(XlsxSheetWriter::cellText(text, &wasCut), cell);
        QCOMPARE(wasCut, cut);
    }

    void savingNeverReplacesAFile()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"Documents/Vardometer"_s);
        int written = 0;
        auto writer = [&written](const QString& file) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray::number(++written));
        };
        const QString first = WorkbookFile::saveInFolder(folder, u"Systems 2007-03-11"_s, writer);
        const QString second = WorkbookFile::saveInFolder(folder, u"Systems 2007-03-11"_s, writer);
        QCOMPARE(QFileInfo(first).fileName(), u"Systems 2007-03-11.xlsx"_s);
        QCOMPARE(QFileInfo(second).fileName(), u"Systems 2007-03-11 (2).xlsx"_s);
        QFile one(first);
        QVERIFY(one.open(QIODevice::ReadOnly));
        QCOMPARE(one.readAll(), QByteArray("1"));
        QCOMPARE(filesIn(folder),
                 (QStringList{u"Systems 2007-03-11 (2).xlsx"_s, u"Systems 2007-03-11.xlsx"_s}));

        // An explicit name that exists is refused, and the file keeps its content.
        try {
            WorkbookFile::saveAs(first, writer);
            QFAIL("an existing file was accepted");
        } catch (const ExportError& e) {
            QVERIFY2(e.message().contains(u"already exists"_s), qPrintable(e.message()));
        }
        one.seek(0);
        QCOMPARE(one.readAll(), QByteArray("1"));
        QCOMPARE(written, 2);
    }

    void aFailedExportLeavesNoFile()
    {
        QTemporaryDir dir;
        try {
            WorkbookFile::saveAs(dir.filePath(u"x.xlsx"_s), [](const QString& file) {
                QFile f(file);
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write("half");
                throw ExportError(u"disk full"_s);
            });
            QFAIL("the failure was swallowed");
        } catch (const ExportError& e) {
            QCOMPARE(e.message(), u"disk full"_s);
        }
        QCOMPARE(filesIn(dir.path()), QStringList{});

        // A dataset without one of the layout's fields fails before anything is written.
        TestDatabase db;
        TDMVardometer dm(db.path());
        dm.ATblAlerts.open();
        try {
            exportTo(dm.ATblAlerts, WorkbookLayouts::systems(), u"a.xlsx"_s);
            QFAIL("a missing field was accepted");
        } catch (const VardometerError& e) {
            QCOMPARE(e.message(), u"ATblAlerts: Field 'System' not found"_s);
        }
        QCOMPARE(filesIn(outDir()), QStringList{});
    }

    void aFolderThatCannotBeMadeIsNamed()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(u"Documents"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
        blocker.close();
        const QString folder = dir.filePath(u"Documents/Vardometer"_s);
        try {
            WorkbookFile::saveInFolder(folder, u"x"_s, [](const QString&) {});
            QFAIL("no folder, yet no error");
        } catch (const ExportError& e) {
            QVERIFY2(e.message().contains(folder), qPrintable(e.message()));
        }
    }
};

QTEST_GUILESS_MAIN(TestWorkbookExport)
#include "test_workbook_export.moc"
