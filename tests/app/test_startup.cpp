#include "app/ApplicationError.h"
#include "app/Program.h"
#include "app/VardometerApplication.h"
#include "data/DM2.h"
#include "data/Errors.h"
#include "support/EngineDoubles.h"
#include "support/TestDatabase.h"
#include "toolkit/ErrorReport.h"
#include "ui/MainForm.h"

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;

namespace {

// Collects what the general error report would have shown.
struct ReportRecorder {
    QStringList texts;
    ErrorReport::Handler previous;
    ReportRecorder()
    {
        previous = ErrorReport::setHandler([this](const QString& caption, const QString& text) {
            QCOMPARE(caption, u"Vardometer"_s);
            texts << text;
        });
    }
    ~ReportRecorder() { ErrorReport::setHandler(previous); }
};

class ThrowingObject : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw DatabaseError(u"boom"_s);
        return QObject::event(e);
    }
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fullStopRule_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter gets a stop") << u"Integer overflow"_s << u"Integer overflow."_s;
        QTest::newRow("stop is kept single") << u"Done."_s << u"Done."_s;
        QTest::newRow("quote sorts after the stop")
            << u"Field 'X' not found'"_s << u"Field 'X' not found'"_s;
        QTest::newRow("question mark sorts after the stop") << u"Why?"_s << u"Why?."_s;
        QTest::newRow("closing bracket sorts before") << u"(42)"_s << u"(42)"_s;
        QTest::newRow("empty stays empty") << QString() << QString();
    }
    void fullStopRule()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(ErrorReport::withFullStop(message), shown);
    }

    void debugArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("panel");
        QTest::newRow("d alone") << QStringList{u"d"_s} << u"DEBUG MODE"_s;
        QTest::newRow("no argument") << QStringList{} << QString();
        QTest::newRow("upper-case D") << QStringList{u"D"_s} << QString();
        QTest::newRow("dash d") << QStringList{u"-d"_s} << QString();
        QTest::newRow("slash d") << QStringList{u"/d"_s} << QString();
        QTest::newRow("d and a second argument") << QStringList{u"d"_s, u"x"_s} << QString();
    }
    void debugArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, panel);
        TestDatabase db;
        TDMVardometer dm(db.path());
        ScriptedProbe probe;
        FixedClock clock;
        const auto mail = createSmtpTransport();
        TMainForm form(dm, arguments, probe, clock, *mail);
        QCOMPARE(form.statusPanelText(1), panel);
        QCOMPARE(form.statusPanelText(2), QString());
        QCOMPARE(form.statusPanelText(3), QString());
        QVERIFY(!form.debugMode());
        // Nothing else changes with the argument.
        QCOMPARE(form.findChild<QTabWidget*>(u"PagesFreeSpace"_s)->currentIndex(), 0);
    }

    void startupOpensDatasetsInOrderAndShutdownClosesThem()
    {
        ReportRecorder reports;
        TestDatabase db;
        QStringList opened; // outlives the data module, whose destruction still reports
        TDMVardometer dm(db.path());
        for (DataSet* ds : dm.allDataSets())
            connect(ds, &DataSet::activeChanged, this, [&opened, ds](bool active) {
                opened << (active ? u"+"_s : u"-"_s) + ds->objectName();
            });
        // Opened when the module loaded, before the window.
        QVERIFY(dm.ATblPages.isActive());
        QVERIFY(dm.AQryAlerts.isActive());
        QVERIFY(dm.AQryFreeSpaceHistoryBySystem.isActive());
        {
            ScriptedProbe probe;
            FixedClock clock;
            const auto mail = createSmtpTransport();
            TMainForm form(dm, {}, probe, clock, *mail);
            QCOMPARE(opened,
                     (QStringList{u"+ATblAlerts"_s, u"+ATblFreeSpaceHistory"_s, u"+ATblOptions"_s,
                                  u"+ATblSystems"_s, u"+ATblSystemPages"_s,
                                  // the summary chart reads the systems afresh
                                  u"+AQrySystems"_s, u"-AQrySystems"_s}));
            QCOMPARE(form.pos(), QPoint(50, 50));
            QCOMPARE(form.windowTitle(), u"Vardometer"_s);
            QCOMPARE(form.findChild<QTabWidget*>(u"PagesFreeSpace"_s)->currentIndex(), 0);
            opened.clear();
        }
        QCOMPARE(opened, (QStringList{u"-ATblAlerts"_s, u"-ATblFreeSpaceHistory"_s,
                                      u"-ATblOptions"_s, u"-ATblPages"_s, u"-ATblSystems"_s,
                                      u"-ATblSystemPages"_s, u"-AQryFreeSpaceHistoryBySystem"_s}));
        QVERIFY(!dm.ADOVardometer.isConnected());
        QVERIFY(reports.texts.isEmpty());
    }

    void failingStepIsReportedAndTheWindowStillOpens()
    {
        ReportRecorder reports;
        TestDatabase db;
        db.exec(u"ALTER TABLE Options DROP COLUMN EMailAuth"_s);
        TDMVardometer dm(db.path());
        ScriptedProbe probe;
        FixedClock clock;
        const auto mail = createSmtpTransport();
        TMainForm form(dm, {}, probe, clock, *mail);
        form.show();
        QCOMPARE(reports.texts, QStringList{u"ATblOptions: Field 'EMailAuth' not found."_s});
        // Datasets before the failing one opened; the steps after it did not run.
        QVERIFY(dm.ATblAlerts.isActive());
        QVERIFY(dm.ATblFreeSpaceHistory.isActive());
        QVERIFY(!dm.ATblOptions.isActive());
        QVERIFY(!dm.ATblSystems.isActive());
        QCOMPARE(form.findChild<QTabWidget*>(u"PagesFreeSpace"_s)->currentIndex(), 1);
        QVERIFY(form.isVisible());
    }

    void commandsThatNeedTheEngineSayWhyItIsMissing_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a column missing from Systems")
            << u"ALTER TABLE Systems DROP COLUMN ZeroDate2"_s
            << u"ATblSystems: Field 'ZeroDate2' not found"_s;
        QTest::newRow("a column missing from Options")
            << u"ALTER TABLE Options DROP COLUMN EMailAuth"_s
            << u"ATblOptions: Field 'EMailAuth' not found"_s;
        QTest::newRow("no Options row") << u"DELETE FROM Options"_s
                                        << u"Could not convert variant of type (Null) into type "
                                           u"(Integer)"_s;
    }
    void commandsThatNeedTheEngineSayWhyItIsMissing()
    {
        QFETCH(QString, sql);
        QFETCH(QString, reason);
        ReportRecorder reports;
        TestDatabase db;
        db.exec(sql);
        TDMVardometer dm(db.path());
        ScriptedProbe probe;
        FixedClock clock;
        const auto mail = createSmtpTransport();
        TMainForm form(dm, {}, probe, clock, *mail);
        QCOMPARE(reports.texts, QStringList{ErrorReport::withFullStop(reason)});
        QVERIFY(!form.Directories());
        reports.texts.clear();

        const QString expected = u"Vardometer could not start its disk space engine, so this "
                                 u"command cannot run. The reason: %1"_s.arg(reason);
        form.findChild<QToolButton*>(u"BtnCheckSpace"_s)->click();
        QCOMPARE(reports.texts, QStringList{ErrorReport::withFullStop(expected)});
        form.findChild<QAction*>(u"MnuMainFileActionLoadSpace"_s)->trigger();
        QCOMPARE(reports.texts.size(), 2);
        QCOMPARE(reports.texts[1], reports.texts[0]);
    }

    void emptyCompanyNameStopsStartupAfterTheEngineExists()
    {
        ReportRecorder reports;
        TestDatabase db;
        db.exec(u"UPDATE Options SET CompanyName = NULL"_s);
        TDMVardometer dm(db.path());
        ScriptedProbe probe;
        FixedClock clock;
        const auto mail = createSmtpTransport();
        TMainForm form(dm, {}, probe, clock, *mail);
        QCOMPARE(reports.texts,
                 QStringList{u"Could not convert variant of type (Null) into type (String)"_s});
        QVERIFY(form.Directories() != nullptr);
        QCOMPARE(form.findChild<QTabWidget*>(u"PagesFreeSpace"_s)->currentIndex(), 1);
    }

    void pendingEditIsDiscardedAtExit()
    {
        TestDatabase db({{u"Alpha"_s, u"/"_s, {}}});
        {
            Program program(db.path(), {});
            DataSet& systems = program.dataModule().ATblSystems;
            systems.first();
            systems.edit();
            systems.fieldByName(u"Owner"_s).setValue(u"Ops"_s);
        }
        QVERIFY(db.scalar(u"SELECT Owner FROM Systems"_s).isNull());
    }

    void escapedExceptionIsReportedAndTheProgramGoesOn()
    {
        ReportRecorder reports;
        ThrowingObject target;
        QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
        QTRY_COMPARE(reports.texts, QStringList{u"boom."_s});
        // The event loop still delivers events afterwards.
        QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
        QTRY_COMPARE(reports.texts.size(), 2);
    }

    void applicationErrorNamesClassModuleAndAddress()
    {
        const DatabaseError error(u"Cannot open the database Vardometer.db: gone"_s);
        const QString text = applicationErrorText(error, u"vardometer"_s);
        QVERIFY2(QRegularExpression(u"^Exception DatabaseError in module vardometer at "
                                    u"[0-9A-F]{16}\\.\\nCannot open the database "
                                    u"Vardometer\\.db: gone$"_s)
                     .match(text)
                     .hasMatch(),
                 qPrintable(text));
    }

    // The first start from the menu makes the user's own database with this machine's
    // disks, measured once, and the window opens on them.
    void firstStartOfAUsersDatabaseMakesItWithThisMachinesDisks()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"Vardometer.db"_s);
        Program program(file, {}, Program::MissingDatabase::CreateDemo);
        DataSet& systems = program.dataModule().ATblSystems;
        QVERIFY(systems.recordCount() >= 1);
        QCOMPARE(program.dataModule().ADOVardometer.fileName(), file);
        const auto* tree = program.mainForm().findChild<QTreeWidget*>(u"TVMenu"_s);
        QVERIFY(tree->findItems(systems.fieldByName(u"System"_s).asString(),
                                Qt::MatchExactly | Qt::MatchRecursive)
                    .size() == 1);
        QSqlDatabase check = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"firstStart"_s);
        check.setDatabaseName(file);
        QVERIFY(check.open());
        QSqlQuery history(u"SELECT COUNT(*) FROM FreeSpaceHistory"_s, check);
        QVERIFY(history.next());
        QCOMPARE(history.value(0).toInt(), systems.recordCount());
        history = QSqlQuery();
        check.close();
        check = QSqlDatabase();
        QSqlDatabase::removeDatabase(u"firstStart"_s);
    }

    // What the window answers before it needs a display, and a command line it refuses.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("--help") << QStringList{u"--help"_s} << 0
                                << u"usage: vardometer [--user | --database FILE] [d]\n"_s
                                << QString();
        QTest::newRow("--version") << QStringList{u"--version"_s} << 0
                                   << u"vardometer " VARDOMETER_VERSION "\n"_s << QString();
        QTest::newRow("two databases") << QStringList{u"--user"_s, u"--database"_s, u"a.db"_s} << 2
                                       << QString() << u"vardometer: give one database"_s;
        QTest::newRow("a missing --database FILE is never made")
            << QStringList{u"--database"_s, u"elsewhere.db"_s} << 1 << QString()
            << u"Cannot open the database elsewhere.db"_s;
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QTemporaryDir dir;
        QProcess process;
        process.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // --help and --version must not need a screen: no display is there to connect to.
        const bool needsNoScreen = status == 0;
        env.insert(u"QT_QPA_PLATFORM"_s, needsNoScreen ? u"xcb"_s : u"offscreen"_s);
        env.remove(u"DISPLAY"_s);
        env.remove(u"WAYLAND_DISPLAY"_s);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(VARDOMETER_BINARY), arguments);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), status);
        const QString stdOut = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString stdErr = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(stdOut.startsWith(out), qPrintable(stdOut));
        QVERIFY2(stdErr.contains(err), qPrintable(stdErr));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{});
    }

    void missingDatabaseEndsWithApplicationErrorAndStatusOne()
    {
        QTemporaryDir dir;
        QProcess process;
        process.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(VARDOMETER_BINARY), {});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(
            err.contains(u"Application Error\nException DatabaseError in module vardometer at "_s),
            qPrintable(err));
        QVERIFY2(err.contains(u"Vardometer.db"_s), qPrintable(err));
        // The program never creates the file it could not find.
        QVERIFY(!QFile::exists(dir.filePath(u"Vardometer.db"_s)));
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    VardometerApplication app(argc, argv);
    TestStartup test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_startup.moc"
