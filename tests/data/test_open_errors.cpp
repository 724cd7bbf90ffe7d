#include "data/DM2.h"
#include "data/Errors.h"
#include "support/FileDigest.h"
#include "support/LockHolder.h"
#include "support/RaisedMessage.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <typeinfo>

#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

int run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60'000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

// A copy of a database on a file system mounted read-only, so that even root cannot
// write it; unmounted again when it goes out of scope.
class ReadOnlyMount {
public:
    bool mount(const QString& source)
    {
        if (run(u"mount"_s,
                {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=4m"_s, u"tmpfs"_s, m_dir.path()}) != 0)
            return false;
        m_mounted = true;
        return QFile::copy(source, path()) &&
               run(u"mount"_s, {u"-o"_s, u"remount,ro"_s, m_dir.path()}) == 0;
    }
    QString path() const { return m_dir.filePath(u"Vardometer.db"_s); }
    ~ReadOnlyMount()
    {
        if (m_mounted)
            run(u"umount"_s, {m_dir.path()});
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

// What constructing the data module on the file raised: its message, and whether it was
// one of the program's own error kinds rather than the bare base class.
struct Raised {
    QString message;
    bool programError = false;
};

Raised constructDataModule(const QString& path)
{
    Raised raised;
    try {
        TDMVardometer dm(path);
    } catch (const VardometerError& e) {
        raised.message = e.message();
        raised.programError = typeid(e) != typeid(VardometerError);
    }
    return raised;
}

} // namespace

class TestOpenErrors : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void missingDeclaredColumn_data();
    void missingDeclaredColumn();
    void badFile_data();
    void badFile();
    void databaseWithoutLogTableWorks();
};

void TestOpenErrors::missingDeclaredColumn_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("message");
    QTest::newRow("a column without a label is named as stored")
        << u"ZeroDate2"_s << u"ATblSystems: Field 'ZeroDate2' not found"_s;
    QTest::newRow("a labelled column is named by its label")
        << u"LastFree%"_s << u"ATblSystems: Field 'Free %' not found"_s;
}

void TestOpenErrors::missingDeclaredColumn()
{
    QFETCH(QString, column);
    QFETCH(QString, message);

    TestDatabase db({{u"A"_s, u"/a"_s, {}}});
    db.exec(u"ALTER TABLE Systems DROP COLUMN \"%1\""_s.arg(column));
    const QByteArray before = fileDigest(db.path());

    {
        TDMVardometer dm(db.path());
        QCOMPARE(raisedMessage([&] { dm.ATblSystems.open(); }), message);
        QVERIFY(!dm.ATblSystems.isActive());
        QCOMPARE(raisedMessage([&] { dm.SetAllDatasetsActive(true); }), message);
        QVERIFY(!dm.ATblSystems.isActive());
    }
    QCOMPARE(fileDigest(db.path()), before);
}

void TestOpenErrors::badFile_data()
{
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("table"); // the table to drop for "missing table"
    QTest::addColumn<QStringList>("mentions");

    for (const QString& table : {u"Systems"_s, u"FreeSpaceHistory"_s, u"Alerts"_s, u"Options"_s,
                                 u"SystemPages"_s, u"Pages"_s})
        QTest::addRow("missing table %s", qPrintable(table))
            << u"missing table"_s << table << QStringList{u"Table '%1' not found"_s.arg(table)};
    QTest::newRow("a text file is not a database")
        << u"not a database"_s << QString() << QStringList{u"not a database"_s, u"{path}"_s};
    QTest::newRow("a missing file is not created")
        << u"missing file"_s << QString() << QStringList{u"does not exist"_s, u"{path}"_s};
    QTest::newRow("a read-only file")
        << u"read-only"_s << QString() << QStringList{u"cannot be written"_s, u"{path}"_s};
    QTest::newRow("a file locked by another process")
        << u"locked"_s << QString() << QStringList{u"locked"_s, u"{path}"_s};
}

void TestOpenErrors::badFile()
{
    QFETCH(QString, problem);
    QFETCH(QString, table);
    QFETCH(QStringList, mentions);

    TestDatabase db({{u"A"_s, u"/a"_s, {}}});
    QString path = db.path();
    std::unique_ptr<ReadOnlyMount> mount;
    LockHolder holder;

    if (problem == u"missing table") {
        db.exec(u"DROP TABLE \"%1\""_s.arg(table));
    } else if (problem == u"not a database") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("System,Address\nA,/a\n");
    } else if (problem == u"missing file") {
        QVERIFY(QFile::remove(path));
    } else if (problem == u"read-only") {
        if (geteuid() == 0) {
            // Permissions do not stop root; a read-only file system does.
            mount = std::make_unique<ReadOnlyMount>();
            if (!mount->mount(path))
                QSKIP("running as root but cannot mount a read-only tmpfs");
            path = mount->path();
        } else {
            QVERIFY(QFile::setPermissions(path,
                                          QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            if (QFileInfo(path).isWritable())
                QSKIP("cannot make a file read-only here");
        }
    } else if (problem == u"locked") {
        QVERIFY2(holder.lock(path), "the helper did not lock the file");
    }

    const QByteArray before = fileDigest(path);
    const Raised raised = constructDataModule(path);
    QVERIFY2(!raised.message.isEmpty(), "opening the file raised no error");
    QVERIFY(raised.programError);
    for (QString mention : std::as_const(mentions)) {
        mention.replace(u"{path}"_s, path);
        QVERIFY2(raised.message.contains(mention),
                 qPrintable(u"\"%1\" does not mention \"%2\""_s.arg(raised.message, mention)));
    }
    QCOMPARE(fileDigest(path), before);
    if (problem == u"missing file") {
        QVERIFY(!QFile::exists(path));
        QVERIFY(!QFile::exists(path + u"-wal"_s));
        QVERIFY(!QFile::exists(path + u"-shm"_s));
    }
}

void TestOpenErrors::databaseWithoutLogTableWorks()
{
    TestDatabase db({{u"A"_s, u"/a"_s, {}}});
    QCOMPARE(db.scalar(u"SELECT count(*) FROM sqlite_master WHERE name = 'Log'"_s), QVariant(0));

    TDMVardometer dm(db.path());
    dm.SetAllDatasetsActive(true);
    for (DataSet* ds :
         {&dm.ATblAlerts, &dm.ATblFreeSpaceHistory, &dm.ATblOptions, &dm.ATblPages, &dm.ATblSystems,
          &dm.ATblSystemPages, &dm.AQryFreeSpaceHistoryBySystem, &dm.AQryAlerts})
        QVERIFY2(ds->isActive(), qPrintable(ds->objectName()));
    QVERIFY(!dm.ATblLog.isActive());
    dm.AQrySystems.open();
    dm.AQryFreeSpaceHistory.open();

    dm.ATblOptions.edit();
    dm.ATblOptions.fieldByName(u"CompanyName"_s).setValue(u"Acme"_s);
    dm.ATblOptions.post();
    QCOMPARE(db.scalar(u"SELECT CompanyName FROM Options"_s), QVariant(u"Acme"_s));
    QCOMPARE(dm.AQrySystems.fieldByName(u"System"_s).asString(), u"A"_s);

    dm.SetAllDatasetsActive(false);
    QVERIFY(!dm.ATblSystems.isActive());
    dm.SetAllDatasetsActive(true);
    QCOMPARE(dm.ATblSystems.fieldByName(u"System"_s).asString(), u"A"_s);
}

QTEST_GUILESS_MAIN(TestOpenErrors)
#include "test_open_errors.moc"
