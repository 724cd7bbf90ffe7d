#include "WorkbookReader.h"

#include "support/CliProcess.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

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

    void neverWritesThroughALink_data()
    {
        // Where the link leads, relative to the working directory; "" for a folder.
        QTest::addColumn<QString>("leadsTo");
        QTest::newRow("a link to where no file is yet") << u"elsewhere/new.xlsx"_s;
        QTest::newRow("a link to the user's own file") << u"elsewhere/own.xlsx"_s;
        QTest::newRow("a link to a folder") << u"elsewhere"_s;
    }
    void neverWritesThroughALink()
    {
        QFETCH(QString, leadsTo);
        const QDir dir(db->dir());
        QVERIFY(dir.mkdir(u"elsewhere"_s));
        QFile own(dir.filePath(u"elsewhere/own.xlsx"_s));
        QVERIFY(own.open(QIODevice::WriteOnly));
        own.write("the user's own file");
        own.close();
        QVERIFY(QFile::link(leadsTo, dir.filePath(u"out.xlsx"_s)));
        const QStringList before = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
        const QStringList elsewhere = QDir(dir.filePath(u"elsewhere"_s)).entryList(QDir::Files);

        const CliResult r =
            runCli({u"export"_s, u"summary"_s, u"--output"_s, u"out.xlsx"_s}, db->dir());

        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(u"out.xlsx already exists; it is left as it is"_s),
                 qPrintable(r.err));
        QCOMPARE(QFileInfo(dir.filePath(u"out.xlsx"_s)).symLinkTarget(),
                 QFileInfo(dir.filePath(leadsTo)).absoluteFilePath());
        QCOMPARE(dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System), before);
        QCOMPARE(QDir(dir.filePath(u"elsewhere"_s)).entryList(QDir::Files), elsewhere);
        QCOMPARE(contentOf(dir.filePath(u"elsewhere/own.xlsx"_s)),
                 QByteArray("the user's own file"));
    }

    void oddValuesAreWrittenAsTheyStand()
    {
        // A name longer than a cell holds and one with a NUL inside; a history row whose free
        // space is text.
        const QString longName(40'000, u'L');
        const QString withNul = u"Before"_s + QChar(0) + u"After"_s;
        db->exec(u"INSERT INTO Systems (System, Address) VALUES (?, '/l'), (?, '/n')"_s,
                 {longName, withNul});
        db->exec(u"INSERT INTO FreeSpaceHistory (System, Date, Time, FreeMB) "
                 u"VALUES ('Beta', 39141, 0.5, 'lots'), ('Beta', 39142, 0.5, ?)"_s,
                 {QString(40'000, u'X')});

        const CliResult summary =
            runCli({u"export"_s, u"summary"_s, u"--output"_s, u"s.xlsx"_s}, db->dir());
        QCOMPARE(summary.status, 0);
        // Said once, of the long name alone, naming only what the user knows.
        QVERIFY2(summary.err.startsWith(u"The System of system 'LLLL"_s), qPrintable(summary.err));
        QVERIFY2(summary.err.contains(u"was cut to the 32767 characters a cell holds\n"_s),
                 qPrintable(summary.err));
        QCOMPARE(summary.err.count(u'\n'), 1);
        ReadWorkbook book(db->dir() + u"/s.xlsx"_s);
        QVERIFY2(book.ok(), qPrintable(book.error()));
        QStringList names;
        for (int row = 1; row < book.rowCount(); ++row)
            names << book.value(row, 0).toString();
        QVERIFY(names.contains(longName.left(32'767)));
        QVERIFY(names.contains(u"Before\uFFFDAfter"_s));

        const CliResult history = runCli(
            {u"export"_s, u"history"_s, u"--system"_s, u"Beta"_s, u"--output"_s, u"h.xlsx"_s},
            db->dir());
        QCOMPARE(history.status, 0);
        QCOMPARE(history.err, u"The Free MB of system 'Beta' (row 4) was cut to the 32767 "
                              u"characters a cell holds\n"_s);
        ReadWorkbook rows(db->dir() + u"/h.xlsx"_s);
        QVERIFY2(rows.ok(), qPrintable(rows.error()));
        QCOMPARE(rows.rowCount(), 4);
        const int freeColumn = static_cast<int>(rows.headers().indexOf(u"Free MB"_s));
        QVERIFY2(freeColumn >= 0, qPrintable(rows.headers().join(u", "_s)));
        QCOMPARE(rows.value(1, freeColumn).toDouble(), 1.0);
        QCOMPARE(rows.value(2, freeColumn).toString(), u"lots"_s);
        QCOMPARE(rows.value(3, freeColumn).toString(), QString(32'767, u'X'));
    }

    void errorsReachTheTerminalEscaped()
    {
        const CliResult r = runCli({u"export"_s, u"history"_s, u"--system"_s, u"\x1b]0;owned\x07"_s,
                                    u"--output"_s, u"h.xlsx"_s},
                                   db->dir());
        QCOMPARE(r.status, 2);
        QCOMPARE(r.err, u"There is no system named '\\x1B]0;owned\\x07'\n"_s);
    }
};

QTEST_GUILESS_MAIN(TestExportCli)
#include "test_export_cli.moc"
