#include "cli/CommandLine.h"
#include "cli/Usage.h"
#include "data/DatabaseLocation.h"
#include "support/CliProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(CommandLine::Action)
Q_DECLARE_METATYPE(DatabaseLocation::Kind)

namespace {

unsigned modeOf(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

// The environment a test changes, put back as it was when the test ends.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QByteArray& value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnvironment()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parse_data()
    {
        const QString own = DatabaseLocation::perUserFile();
        using A = CommandLine::Action;
        using K = DatabaseLocation::Kind;
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Action>("action");
        QTest::addColumn<QString>("verb");
        QTest::addColumn<QStringList>("verbArguments");
        QTest::addColumn<DatabaseLocation::Kind>("database");

        QTest::newRow("the working directory's file")
            << QStringList{u"check"_s} << A::Run << u"check"_s << QStringList{}
            << K::WorkingDirectory;
        QTest::newRow("a FILE argument stays the verb's")
            << QStringList{u"check"_s, u"--timeout"_s, u"3"_s, u"a.db"_s} << A::Run << u"check"_s
            << QStringList{u"--timeout"_s, u"3"_s, u"a.db"_s} << K::WorkingDirectory;
        QTest::newRow("--user before the verb") << QStringList{u"--user"_s, u"check"_s} << A::Run
                                                << u"check"_s << QStringList{own} << K::PerUser;
        QTest::newRow("--user among the verb's options")
            << QStringList{u"snapshot"_s, u"--user"_s, u"--timeout"_s, u"2"_s} << A::Run
            << u"snapshot"_s << QStringList{u"--timeout"_s, u"2"_s, own} << K::PerUser;
        QTest::newRow("--database FILE")
            << QStringList{u"--database"_s, u"team.db"_s, u"compact"_s} << A::Run << u"compact"_s
            << QStringList{u"team.db"_s} << K::Named;
        QTest::newRow("--database=FILE")
            << QStringList{u"forecast"_s, u"--json"_s, u"--database=team.db"_s} << A::Run
            << u"forecast"_s << QStringList{u"--json"_s, u"team.db"_s} << K::Named;
        QTest::newRow("export keeps its kind before the database")
            << QStringList{u"--user"_s, u"export"_s, u"systems"_s, u"--output"_s, u"s.xlsx"_s}
            << A::Run << u"export"_s << QStringList{u"systems"_s, u"--output"_s, u"s.xlsx"_s, own}
            << K::PerUser;
        QTest::newRow("a system called --user is a system")
            << QStringList{u"forecast"_s, u"--system"_s, u"--user"_s} << A::Run << u"forecast"_s
            << QStringList{u"--system"_s, u"--user"_s} << K::WorkingDirectory;
        QTest::newRow("the plugin's levels take their values")
            << QStringList{u"plugin"_s, u"-w"_s, u"10%"_s, u"-c"_s, u"--user"_s, u"--user"_s}
            << A::Run << u"plugin"_s << QStringList{u"-w"_s, u"10%"_s, u"-c"_s, u"--user"_s, own}
            << K::PerUser;
        // Another verb's option takes no value here: -c is forecast's wrong option, and the
        // help is still asked for.
        QTest::newRow("only the verb's own options take values")
            << QStringList{u"forecast"_s, u"-c"_s, u"--help"_s} << A::ShowVerbUsage << u"forecast"_s
            << QStringList{} << K::WorkingDirectory;
        QTest::newRow("--help alone") << QStringList{u"--help"_s} << A::ShowUsage << QString()
                                      << QStringList{} << K::WorkingDirectory;
        QTest::newRow("--version") << QStringList{u"--version"_s} << A::ShowVersion << QString()
                                   << QStringList{} << K::WorkingDirectory;
        QTest::newRow("VERB --help")
            << QStringList{u"--user"_s, u"export"_s, u"--help"_s} << A::ShowVerbUsage << u"export"_s
            << QStringList{} << K::WorkingDirectory;

        QTest::newRow("nothing") << QStringList{} << A::Wrong << QString() << QStringList{}
                                 << K::WorkingDirectory;
        QTest::newRow("no verb called so") << QStringList{u"chek"_s} << A::Wrong << QString()
                                           << QStringList{} << K::WorkingDirectory;
        QTest::newRow("--user and --database")
            << QStringList{u"--user"_s, u"check"_s, u"--database"_s, u"a.db"_s} << A::Wrong
            << u"check"_s << QStringList{} << K::WorkingDirectory;
        QTest::newRow("--user and a FILE")
            << QStringList{u"--user"_s, u"check"_s, u"a.db"_s} << A::Wrong << u"check"_s
            << QStringList{} << K::WorkingDirectory;
        QTest::newRow("export with --database and a DATABASE")
            << QStringList{u"export"_s, u"summary"_s,    u"--output"_s, u"s.xlsx"_s,
                           u"a.db"_s,   u"--database"_s, u"b.db"_s}
            << A::Wrong << u"export"_s << QStringList{} << K::WorkingDirectory;
        QTest::newRow("--database without its file")
            << QStringList{u"compact"_s, u"--database"_s} << A::Wrong << u"compact"_s
            << QStringList{} << K::WorkingDirectory;
        QTest::newRow("--database with an empty file")
            << QStringList{u"compact"_s, u"--database="_s} << A::Wrong << u"compact"_s
            << QStringList{} << K::WorkingDirectory;
    }
    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Action, action);
        QFETCH(QString, verb);
        QFETCH(QStringList, verbArguments);
        QFETCH(DatabaseLocation::Kind, database);
        const CommandLine line = CommandLine::parse(arguments);
        QCOMPARE(line.action, action);
        QCOMPARE(line.verb, verb);
        if (action == CommandLine::Action::Run) {
            QCOMPARE(line.verbArguments, verbArguments);
            QCOMPARE(line.database, database);
        }
        // A line that names two databases says why, not only how it should look.
        if (action == CommandLine::Action::Wrong && arguments.size() > 2)
            QVERIFY(!line.error.isEmpty());
    }

    void perUserFileFollowsTheDataHome_data()
    {
        QTest::addColumn<QByteArray>("dataHome");
        QTest::addColumn<QString>("expected");
        QTest::newRow("set") << QByteArray("/srv/me/data")
                             << u"/srv/me/data/vardometer/Vardometer.db"_s;
        QTest::newRow("unset") << QByteArray() << u"HOME/.local/share/vardometer/Vardometer.db"_s;
        QTest::newRow("relative, so ignored")
            << QByteArray("data") << u"HOME/.local/share/vardometer/Vardometer.db"_s;
    }
    void perUserFileFollowsTheDataHome()
    {
        QFETCH(QByteArray, dataHome);
        QFETCH(QString, expected);
        QTemporaryDir home;
        ScopedEnvironment homeVariable("HOME", QFile::encodeName(home.path()));
        ScopedEnvironment dataHomeVariable("XDG_DATA_HOME", dataHome);
        QCOMPARE(DatabaseLocation::perUserFile(),
                 QString(expected).replace(u"HOME"_s, home.path()));
    }

    // The timers and the window reach the user's file through --user, and it stays theirs
    // alone: a folder or file that came to allow others is narrowed again.
    void theUsersOwnDatabase()
    {
        QTemporaryDir dir;
        const QString dataHome = dir.filePath(u"share"_s);
        ScopedEnvironment variable("XDG_DATA_HOME", QFile::encodeName(dataHome));
        const QString folder = dataHome + u"/vardometer"_s;
        const QString file = folder + u"/Vardometer.db"_s;

        const CliResult created = runCli({u"--user"_s, u"init"_s}, dir.path());
        QCOMPARE(created.status, 0);
        QCOMPARE(created.out, u"Created %1\n"_s.arg(file));
        QCOMPARE(modeOf(folder), 0700u);
        QCOMPARE(modeOf(file), 0600u);

        const CliResult checked = runCli({u"check"_s, u"--user"_s}, dir.path());
        QVERIFY2(checked.status == 0, qPrintable(checked.err));
        QVERIFY(!QFile::exists(dir.filePath(u"Vardometer.db"_s)));

        QFile::setPermissions(folder, QFile::Permissions(0x7755));
        QFile::setPermissions(file, QFile::Permissions(0x6644));
        const CliResult again = runCli({u"--user"_s, u"init"_s}, dir.path());
        QCOMPARE(again.status, 2); // never overwritten
        QCOMPARE(modeOf(folder), 0700u);
        QCOMPARE(modeOf(file), 0600u);

        // A verb other than init does not make the folder: it finds no database and says so.
        ScopedEnvironment elsewhere("XDG_DATA_HOME", QFile::encodeName(dir.filePath(u"none"_s)));
        const CliResult missing = runCli({u"--user"_s, u"check"_s}, dir.path());
        QCOMPARE(missing.status, 2);
        QVERIFY2(missing.err.contains(dir.filePath(u"none/vardometer/Vardometer.db"_s)),
                 qPrintable(missing.err));
        QVERIFY(!QFile::exists(dir.filePath(u"none"_s)));
    }

    // --help, VERB --help and a wrong line print the same synopsis: help on standard output
    // with status 0, a wrong line on standard error with status 2.
    void oneSynopsis()
    {
        QTemporaryDir dir;
        const CliResult all = runCli({u"--help"_s}, dir.path());
        QCOMPARE(all.status, 0);
        QCOMPARE(all.out, Usage::all());
        for (const QString& verb :
             {u"init"_s, u"check"_s, u"snapshot"_s, u"export"_s, u"compact"_s, u"forecast"_s}) {
            const CliResult help = runCli({verb, u"--help"_s}, dir.path());
            QCOMPARE(help.status, 0);
            const QString line = help.out.mid(help.out.indexOf(u"vardometer-cli"_s));
            QVERIFY2(all.out.contains(line), qPrintable(verb));
            const CliResult wrongLine = runCli({verb, u"--no-such-option"_s}, dir.path());
            QCOMPARE(wrongLine.status, 2);
            QCOMPARE(wrongLine.err, help.out);
        }
        const CliResult version = runCli({u"--version"_s}, dir.path());
        QCOMPARE(version.status, 0);
        QVERIFY(version.out.startsWith(u"vardometer-cli "_s));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
