// Every verb of vardometer-cli opens a database by the same rules: the same files refused
// with the same reasons and left byte for byte as they were; read-only work on a file that
// may only be read; and output that could not be written is a failure, not a success.
#include "support/CliProcess.h"
#include "support/FileDigest.h"
#include "support/HistoryRows.h"
#include "support/ServerFixtures.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/mount.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// Runs vardometer-cli in folder; {db} in the arguments stands for database.
CliResult runOn(QStringList arguments, const QString& database, const QString& folder,
                const QString& outputFile = {})
{
    for (QString& a : arguments)
        a.replace(u"{db}"_s, database);
    return runCli(arguments, folder, outputFile);
}

// A copy of a database on a small file system mounted read-only, so that even root cannot
// write it or make a file beside it; unmounted again when it goes out of scope. Needs root.
class ReadOnlyCopy {
public:
    explicit ReadOnlyCopy(const QString& source)
        : m_mount(m_dir.path(), 8 << 20)
    {
        if (!m_mount.mounted()) {
            m_error = m_mount.error();
            return;
        }
        const QByteArray where = QFile::encodeName(m_dir.path());
        if (!QFile::copy(source, path()))
            m_error = u"cannot copy the database"_s;
        else if (::mount(nullptr, where.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            m_error = u"cannot mount it read-only"_s;
    }
    bool ok() const { return m_error.isEmpty(); }
    const QString& error() const { return m_error; }
    QString folder() const { return m_dir.path(); }
    QString path() const { return m_dir.filePath(u"Vardometer.db"_s); }

private:
    QTemporaryDir m_dir;
    TmpfsMount m_mount;
    QString m_error;
};

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// Every verb, as a scheduled job or a script would call it.
void addVerbColumns()
{
    QTest::addColumn<QStringList>("arguments");
}

const QList<std::pair<const char*, QStringList>>& verbs()
{
    static const QList<std::pair<const char*, QStringList>> all{
        {"check", {u"check"_s, u"{db}"_s}},
        {"snapshot", {u"snapshot"_s, u"{db}"_s}},
        {"forecast", {u"forecast"_s, u"{db}"_s}},
        {"forecast --json", {u"forecast"_s, u"--json"_s, u"{db}"_s}},
        {"export", {u"export"_s, u"summary"_s, u"--output"_s, u"out.xlsx"_s, u"{db}"_s}},
        {"compact", {u"compact"_s, u"{db}"_s}},
    };
    return all;
}

// A database whose schema is one step older than this program's.
void makeOlder(const TestDatabase& db)
{
    db.exec(u"DROP TABLE Credentials"_s);
    db.exec(u"PRAGMA user_version = 0"_s);
}

} // namespace

class TestDatabaseRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyVerbRefusesWhatIsNotOurs_data()
    {
        addVerbColumns();
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reason");
        const QList<std::pair<const char*, QString>> files{
            {"newer schema", u"it was written by a newer version of Vardometer"_s},
            {"empty file", u"it is not a Vardometer database (Table 'Systems' not found)"_s},
            {"another program's database",
             u"it is not a Vardometer database (Table 'Systems' not found)"_s},
            {"a table missing", u"it is not a Vardometer database (Table 'Alerts' not found)"_s},
            {"a negative schema", u"it was written by a newer version of Vardometer"_s},
            {"the table its schema brought missing",
             u"it is not a Vardometer database (Table 'Credentials' not found)"_s},
            {"another program's database, still in its log",
             u"it is not a Vardometer database (Table 'Systems' not found)"_s},
        };
        for (const auto& [file, reason] : files)
            for (const auto& [verb, arguments] : verbs())
                QTest::addRow("%s, %s", file, verb)
                    << arguments << QString::fromLatin1(file) << reason;
    }
    void everyVerbRefusesWhatIsNotOurs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, file);
        QFETCH(QString, reason);
        TestDatabase db({{u"Alpha"_s, u"/"_s, {}}});
        if (file == u"newer schema") {
            db.exec(u"PRAGMA user_version = 99"_s);
        } else if (file == u"empty file") {
            QFile empty(db.path());
            QVERIFY(empty.open(QIODevice::WriteOnly | QIODevice::Truncate));
        } else if (file == u"another program's database") {
            QVERIFY(QFile::remove(db.path()));
            QProcess sqlite;
            sqlite.start(u"/usr/bin/sqlite3"_s,
                         {db.path(), u"CREATE TABLE notes (body TEXT); INSERT INTO notes "
                                     u"VALUES ('mine');"_s});
            QVERIFY(sqlite.waitForFinished(30'000) && sqlite.exitCode() == 0);
        } else if (file == u"a negative schema") {
            db.exec(u"PRAGMA user_version = -1"_s);
        } else if (file == u"the table its schema brought missing") {
            db.exec(u"DROP TABLE Credentials"_s);
        } else if (file == u"another program's database, still in its log") {
            // Copied while the other program holds it open, its rows still in the log.
            QVERIFY(QFile::remove(db.path()));
            QProcess python;
            python.start(u"/usr/bin/python3"_s,
                         {u"-c"_s,
                          u"import shutil, sqlite3, sys\n"
                          u"c = sqlite3.connect(sys.argv[1] + '.other')\n"
                          u"c.execute('PRAGMA journal_mode = WAL')\n"
                          u"c.execute('PRAGMA wal_autocheckpoint = 0')\n"
                          u"c.execute('CREATE TABLE notes (body TEXT)')\n"
                          u"c.execute(\"INSERT INTO notes VALUES ('mine')\")\n"
                          u"c.commit()\n"
                          u"for side in ('', '-wal', '-shm'):\n"
                          u"    shutil.copy(sys.argv[1] + '.other' + side, "
                          u"sys.argv[1] + side)\n"_s,
                          db.path()});
            QVERIFY(python.waitForFinished(30'000) && python.exitCode() == 0);
            // The other program's own files, as far as its closing left them.
            for (const char* side : {"", "-wal", "-shm"})
                QFile::remove(db.path() + u".other"_s + QLatin1String(side));
            QVERIFY(QFileInfo(db.path() + u"-wal"_s).size() > 0);
        } else {
            db.exec(u"DROP TABLE Alerts"_s);
        }
        const QByteArray log = fileDigest(db.path() + u"-wal"_s);
        const QByteArray before = fileDigest(db.path());
        const QStringList beside = entries(db.dir());

        const CliResult r = runOn(arguments, db.path(), db.dir());

        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(u"Cannot open the database %1: "_s.arg(db.path()) + reason),
                 qPrintable(r.err));
        QCOMPARE(fileDigest(db.path()), before);
        QCOMPARE(fileDigest(db.path() + u"-wal"_s), log);
        QCOMPARE(entries(db.dir()), beside);
    }

    void readingVerbsWorkOnAFileThatMayOnlyBeRead()
    {
        if (geteuid() != 0)
            QSKIP("a read-only mount needs root (permissions do not stop root)");
        TestDatabase source({{u"Web"_s, u"/"_s, {}}});
        addDailyHistory(source.path(), u"Web"_s, QDate(2007, 1, 1), 60,
                        [](int d) { return 1000.0 * (d + 1); });
        const ReadOnlyCopy copy(source.path());
        QVERIFY2(copy.ok(), qPrintable(copy.error()));
        const QString path = copy.path();
        QTemporaryDir outputs;
        const QByteArray before = fileDigest(path);

        const CliResult text = runOn({u"forecast"_s, u"{db}"_s}, path, outputs.path());
        QCOMPARE(text.status, 0);
        QVERIFY2(text.out.startsWith(u"Web  filling"_s), qPrintable(text.out + text.err));
        const CliResult json = runOn({u"forecast"_s, u"--json"_s, u"{db}"_s}, path, outputs.path());
        QCOMPARE(json.status, 0);
        for (const char* layout : {"summary", "history", "systems"}) {
            const QString out = QString::fromLatin1(layout) + u".xlsx"_s;
            const CliResult exported =
                runOn({u"export"_s, QString::fromLatin1(layout), u"--output"_s, out, u"{db}"_s},
                      path, outputs.path());
            QCOMPARE(exported.status, 0);
            QVERIFY2(exported.err.isEmpty(), qPrintable(exported.err));
            QVERIFY(QFile::exists(QDir(outputs.path()).filePath(out)));
        }
        // A verb that writes says plainly why it cannot.
        const CliResult check = runOn({u"check"_s, u"{db}"_s}, path, outputs.path());
        QCOMPARE(check.status, 2);
        QVERIFY2(check.err.contains(u"the file cannot be written"_s), qPrintable(check.err));
        QCOMPARE(fileDigest(path), before);
        QCOMPARE(entries(copy.folder()), QStringList{u"Vardometer.db"_s});
    }

    void anOlderFileIsBroughtUpToDateOnlyWhereItMayBeWritten()
    {
        // Where it may be written, reading it brings it up to date as any other program does.
        {
            TestDatabase db({{u"Web"_s, u"/"_s, {}}});
            makeOlder(db);
            const CliResult r = runOn({u"forecast"_s, u"{db}"_s}, db.path(), db.dir());
            QCOMPARE(r.status, 0);
            QCOMPARE(db.scalar(u"PRAGMA user_version"_s).toInt(), 1);
            QCOMPARE(entries(db.dir()), QStringList{u"Vardometer.db"_s});
        }
        if (geteuid() != 0)
            QSKIP("a read-only mount needs root");
        TestDatabase source({{u"Web"_s, u"/"_s, {}}});
        makeOlder(source);
        const ReadOnlyCopy copy(source.path());
        QVERIFY2(copy.ok(), qPrintable(copy.error()));
        const QString path = copy.path();
        const QByteArray before = fileDigest(path);

        for (const QStringList& arguments :
             {QStringList{u"forecast"_s, u"{db}"_s},
              QStringList{u"export"_s, u"systems"_s, u"--output"_s,
                          source.dir() + u"/systems.xlsx"_s, u"{db}"_s}}) {
            const CliResult r = runOn(arguments, path, source.dir());
            QCOMPARE(r.status, 2);
            QVERIFY2(r.err.contains(u"written by an older version of Vardometer (schema 0) and "
                                    u"must be opened once by a program that may write it"_s),
                     qPrintable(r.err));
        }
        QCOMPARE(fileDigest(path), before);
    }

    void outputThatCannotBeWrittenFailsTheVerb_data()
    {
        addVerbColumns();
        for (const auto& [verb, arguments] : verbs())
            if (QByteArray(verb) != "snapshot")
                QTest::newRow(verb) << arguments;
    }
    void outputThatCannotBeWrittenFailsTheVerb()
    {
        QFETCH(QStringList, arguments);
        TestDatabase db({{u"Web"_s, u"/"_s, {}}});
        addDailyHistory(db.path(), u"Web"_s, QDate(2007, 1, 1), 30, [](int d) { return d + 1.0; });
        // The check raises a line for the root folder, whose free space is far above nothing,
        // only when its threshold says so: a threshold no disk reaches makes it print one.
        db.exec(u"UPDATE Systems SET Alert1MB = 999999999999"_s);

        const CliResult r = runOn(arguments, db.path(), db.dir(), u"/dev/full"_s);

        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(u"Could not write the output: No space left on device"_s),
                 qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestDatabaseRules)
#include "test_database_rules.moc"
