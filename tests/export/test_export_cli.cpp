#include "WorkbookReader.h"

#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

struct CliResult {
    int status = -1;
    QString out;
    QString err;
};

CliResult runCli(const QStringList& arguments, const QString& workingDirectory)
{
    QProcess cli;
    cli.setWorkingDirectory(workingDirectory);
    cli.start(QStringLiteral(VARDOMETER_CLI), arguments);
    CliResult r;
    if (!cli.waitForFinished(60'000) || cli.exitStatus() != QProcess::NormalExit)
        return r;
    r.status = cli.exitCode();
    r.out = QString::fromLocal8Bit(cli.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(cli.readAllStandardError());
    return r;
}

QByteArray contentOf(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestExportCli : public QObject {
    Q_OBJECT
private:
    // Alpha has two snapshots, Beta one; the database is the working directory's default.
    std::optional<TestDatabase> db;

private Q_SLOTS:
    void init()
    {
        db.emplace(QList<DatabaseCreator::NewSystem>{{u"Alpha"_s, u"/srv/a"_s, {}},
                                                     {u"Beta"_s, u"/srv/b"_s, {}}});
        for (const auto& [system, date] :
             {std::pair{"Alpha", 39140}, {"Alpha", 39141}, {"Beta", 39140}})
            db->exec(u"INSERT INTO FreeSpaceHistory (System, Date, Time, FreeMB) "
                     u"VALUES (?, ?, 0.5, 1)"_s,
                     {QString::fromLatin1(system), date});
    }

    void writesTheWorkbookAsked_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QStringList>("firstColumn"); // below the header
        QTest::newRow("summary") << QStringList{u"summary"_s} << u"Summary"_s
                                 << QStringList{u"Alpha"_s, u"Beta"_s};
        QTest::newRow("systems") << QStringList{u"systems"_s} << u"Systems"_s
                                 << QStringList{u"Alpha"_s, u"Beta"_s};
        QTest::newRow("history of the first system")
            << QStringList{u"history"_s} << u"History Details"_s
            << QStringList{u"Alpha"_s, u"Alpha"_s};
        QTest::newRow("history of a named system")
            << QStringList{u"history"_s, u"--system"_s, u"Beta"_s} << u"History Details"_s
            << QStringList{u"Beta"_s};
        QTest::newRow("names compare as the table compares them")
            << QStringList{u"history"_s, u"--system"_s, u"bETA"_s} << u"History Details"_s
            << QStringList{u"Beta"_s};
        QTest::newRow("database named after the output")
            << QStringList{u"systems"_s, u"--output"_s, u"named.xlsx"_s, u"Vardometer.db"_s}
            << u"Systems"_s << QStringList{u"Alpha"_s, u"Beta"_s};
    }
    void writesTheWorkbookAsked()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, sheet);
        QFETCH(QStringList, firstColumn);
        QString output = u"out.xlsx"_s;
        if (!arguments.contains(u"--output"_s))
            arguments << u"--output"_s << output;
        else
            output = arguments[arguments.indexOf(u"--output"_s) + 1];

        const CliResult r = runCli(QStringList{u"export"_s} + arguments, db->dir());
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(output), qPrintable(r.out));

        const ReadWorkbook book(db->dir() + u'/' + output);
        QVERIFY2(book.ok(), qPrintable(book.error()));
        QCOMPARE(book.sheetName(), sheet);
        QStringList names;
        for (int row = 1; row < book.rowCount(); ++row)
            names << book.value(row, 0).toString();
        QCOMPARE(names, firstColumn);
    }

    void refusesWhatItCannotDo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("existing output")
            << QStringList{u"summary"_s, u"--output"_s, u"old.xlsx"_s} << u"already exists"_s;
        QTest::newRow("unknown system")
            << QStringList{u"history"_s, u"--system"_s, u"Gamma"_s, u"--output"_s, u"h.xlsx"_s}
            << u"There is no system named 'Gamma'"_s;
        QTest::newRow("missing database")
            << QStringList{u"systems"_s, u"--output"_s, u"s.xlsx"_s, u"absent.db"_s}
            << u"absent.db"_s;
        QTest::newRow("no output") << QStringList{u"summary"_s} << u"usage:"_s;
        QTest::newRow("unknown layout")
            << QStringList{u"charts"_s, u"--output"_s, u"c.xlsx"_s} << u"usage:"_s;
        QTest::newRow("system outside history")
            << QStringList{u"summary"_s, u"--system"_s, u"Alpha"_s, u"--output"_s, u"s.xlsx"_s}
            << u"usage:"_s;
        QTest::newRow("unknown option")
            << QStringList{u"summary"_s, u"--force"_s, u"--output"_s, u"s.xlsx"_s} << u"usage:"_s;
    }
    void refusesWhatItCannotDo()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const QString old = db->dir() + u"/old.xlsx"_s;
        QFile existing(old);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("the user's own file");
        existing.close();
        const QStringList before = QDir(db->dir()).entryList(QDir::Files | QDir::Hidden);

        const CliResult r = runCli(QStringList{u"export"_s} + arguments, db->dir());
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        // Nothing new beside the database, and the existing file as it was.
        QCOMPARE(QDir(db->dir()).entryList(QDir::Files | QDir::Hidden), before);
        QCOMPARE(contentOf(old), QByteArray("the user's own file"));
    }
};

QTEST_GUILESS_MAIN(TestExportCli)
#include "test_export_cli.moc"
