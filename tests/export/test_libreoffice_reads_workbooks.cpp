// LibreOffice, a spreadsheet program users really open these workbooks with, reads one
// workbook of each layout and writes its cells out as CSV: what it shows must be what the
// database holds. One conversion of the three files, since LibreOffice is slow to start.

#include "data/DM2.h"
#include "data/DateTimeValue.h"
#include "export/SheetExport.h"
#include "export/WorkbookFile.h"
#include "export/WorkbookLayouts.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace {

QStringList csvLines(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {u"(no file %1)"_s.arg(file)};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class TestLibreOfficeReadsWorkbooks : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void valuesMatchTheDatabase()
    {
        const QString soffice = QStandardPaths::findExecutable(u"soffice"_s);
        QVERIFY2(!soffice.isEmpty(), "LibreOffice (libreoffice-calc-nogui) is not installed");

        TestDatabase db({{u"Web, \"front\""_s, u"\\\\files\\public"_s, {}},
                         {u"=1+1"_s, u"smb://ops@nas/backup"_s, {}}});
        const double march11 = DateTimeValue::fromDate(QDate(2007, 3, 11));
        db.exec(u"UPDATE Systems SET DateLastAnalysed = ?, \"LastFree%\" = 37.123456, "
                u"\"LastUsed%\" = 62.876544, LastFreeMB = 10000, LastUsedMB = 10480, "
                u"LastTotalMB = 20480, InitialDate = ?, CumUsedMB = 1700, AvgDailyMB = 170.5, "
                u"ZeroDate1 = ?, Alert1MB = 10000 WHERE rowid = 1"_s,
                {march11, march11 - 10, march11 + 59});
        db.exec(
            u"INSERT INTO FreeSpaceHistory (System, Date, Time, FreeMB, UsedMB, TotalMB, "
            u"\"Free%\", \"Used%\", AvgDailyMB, CumUsedMB) "
            u"VALUES ('Web, \"front\"', ?, 0.5, 10000, 10480, 20480, 48.83, 51.17, 170, 1700)"_s,
            {march11});

        TDMVardometer dm(db.path());
        dm.ATblSystems.open();
        dm.ATblFreeSpaceHistory.open();
        QTemporaryDir dir;
        const QStringList names{u"summary"_s, u"history"_s, u"systems"_s};
        const QList<WorkbookLayout> layouts{WorkbookLayouts::freeSpaceSummary(),
                                            WorkbookLayouts::historyDetails(),
                                            WorkbookLayouts::systems()};
        QStringList files;
        for (int i = 0; i < 3; ++i) {
            DataSet& records = i == 1 ? dm.ATblFreeSpaceHistory : dm.ATblSystems;
            if (i == 1)
                dm.ATblSystems.first();
            files << dir.filePath(names[i] + u".xlsx"_s);
            WorkbookFile::saveAs(files.last(), [&](const QString& f) {
                SheetExport::write(records, layouts[i], f);
            });
        }

        // Comma-separated, UTF-8, raw cell values rather than their shown form.
        QProcess office;
        QTemporaryDir profile;
        office.setProcessChannelMode(QProcess::MergedChannels);
        office.start(soffice, QStringList{u"-env:UserInstallation="_s +
                                              QUrl::fromLocalFile(profile.path()).toString(),
                                          u"--headless"_s, u"--convert-to"_s,
                                          u"csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,"
                                          u"true,false,false,false"_s,
                                          u"--outdir"_s, dir.filePath(u"csv"_s)} +
                                  files);
        QVERIFY2(office.waitForFinished(180'000), "LibreOffice did not finish in time");
        QVERIFY2(office.exitCode() == 0, office.readAll().constData());

        QCOMPARE(csvLines(dir.filePath(u"csv/summary.csv"_s)),
                 (QStringList{u"System,Last Analyzed,Free %,Used %,Free MB,Used MB,Total MB,"
                              u"Start Date,Used To Date,Avg Daily MB,Zero Date"_s,
                              u"\"Web, \"\"front\"\"\",2007-03-11,37.123456,62.876544,10000,10480,"
                              u"20480,2007-03-01,1700,170.5,2007-05-09"_s,
                              u"=1+1,,0,0,0,0,0,,,,"_s}));
        QCOMPARE(csvLines(dir.filePath(u"csv/history.csv"_s)),
                 (QStringList{u"System,Date,Free %,Used %,Free MB,Used MB,Total MB,USED TD,"
                              u"Avg Daily MB"_s,
                              u"\"Web, \"\"front\"\"\",2007-03-11,48.83,51.17,10000,10480,20480,"
                              u"1700,170"_s}));
        QCOMPARE(csvLines(dir.filePath(u"csv/systems.csv"_s)),
                 (QStringList{u"System,Address,Alert MB"_s,
                              u"\"Web, \"\"front\"\"\",\\\\files\\public,10000"_s,
                              u"=1+1,smb://ops@nas/backup,500"_s}));
    }
};

QTEST_GUILESS_MAIN(TestLibreOfficeReadsWorkbooks)
#include "test_libreoffice_reads_workbooks.moc"
