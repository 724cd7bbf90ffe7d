// The schema's version: an older file is brought up to date when it is opened, a newer one
// is refused untouched.
#include "data/DM2.h"
#include "data/DbConnection.h"
#include "data/Errors.h"
#include "data/SchemaVersion.h"
#include "support/RaisedMessage.h"
#include "support/TestDatabase.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// A file written the way the previous version wrote it, from its dump.
QString previousVersionFile(const QTemporaryDir& dir, const QStringList& extraSql = {})
{
    const QString path = dir.filePath(u"Vardometer.db"_s);
    QFile dump(QStringLiteral(PREVIOUS_VERSION_SQL));
    if (!dump.open(QIODevice::ReadOnly))
        return {};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"previous"_s);
        db.setDatabaseName(path);
        if (!db.open())
            return {};
        QSqlQuery q(db);
        q.exec(u"PRAGMA journal_mode = WAL"_s);
        QStringList statements;
        for (const QString& line : QString::fromUtf8(dump.readAll()).split(u'\n'))
            if (!line.startsWith(u"--"_s) && !line.trimmed().isEmpty())
                statements << line;
        for (const QString& statement : statements + extraSql)
            if (!q.exec(statement))
                qWarning("%s: %s", qPrintable(statement), qPrintable(q.lastError().text()));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(u"previous"_s);
    return path;
}

QByteArray digestOf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QVariant scalarIn(const QString& path, const QString& sql)
{
    DbConnection db(u"Look"_s);
    db.setFileName(path);
    db.open();
    QSqlQuery q = db.exec(sql);
    const QVariant v = q.next() ? q.value(0) : QVariant();
    q.finish();
    db.close();
    return v;
}

QStringList definitionsIn(const QString& path)
{
    DbConnection db(u"Look"_s);
    db.setFileName(path);
    db.open();
    QSqlQuery q = db.exec(u"SELECT sql FROM sqlite_master WHERE name IN ('Systems', "
                          u"'FreeSpaceHistory', 'Alerts', 'Options', 'SystemPages', 'Pages') "
                          u"ORDER BY name"_s);
    QStringList sql;
    while (q.next())
        sql << q.value(0).toString();
    q.finish();
    db.close();
    return sql;
}

} // namespace

class TestSchemaVersion : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aNewDatabaseIsOfTheCurrentVersion()
    {
        TestDatabase db;
        QCOMPARE(db.scalar(u"PRAGMA user_version"_s).toInt(), SchemaVersion::Current);
        QCOMPARE(db.scalar(u"SELECT count(*) FROM Credentials"_s).toInt(), 0);
    }

    void aFileOfThePreviousVersionIsUpgradedWhenOpened()
    {
        QTemporaryDir dir;
        const QString path = previousVersionFile(dir);
        QVERIFY(!path.isEmpty());
        QCOMPARE(scalarIn(path, u"PRAGMA user_version"_s).toInt(), 0);
        const QStringList original = definitionsIn(path);
        QCOMPARE(original.size(), 6);
        {
            TDMVardometer dm(path);
            dm.SetAllDatasetsActive(true);
            QVERIFY(dm.ATblCredentials.isActive());
            QCOMPARE(dm.ATblSystems.recordCount(), 2);
        }
        QCOMPARE(scalarIn(path, u"PRAGMA user_version"_s).toInt(), SchemaVersion::Current);
        QCOMPARE(definitionsIn(path), original);
        QCOMPARE(
            scalarIn(path, u"SELECT group_concat(name) FROM pragma_table_info('Credentials')"_s)
                .toString(),
            u"Server,Domain,Username,Password"_s);
        QCOMPARE(scalarIn(path, u"SELECT CumUsedMB FROM Systems WHERE System = 'FS1'"_s).toInt(),
                 1700);
        QCOMPARE(scalarIn(path, u"SELECT count(*) FROM FreeSpaceHistory"_s).toInt(), 1);
        // Opening it again changes nothing more.
        const QByteArray upgraded = digestOf(path);
        {
            TDMVardometer again(path);
        }
        QCOMPARE(digestOf(path), upgraded);
    }

    void aStepThatFailsLeavesTheFileAsItWas()
    {
        QTemporaryDir dir;
        // Something already holds the name the upgrade needs.
        const QString path =
            previousVersionFile(dir, {u"CREATE VIEW Credentials AS SELECT 1 AS x"_s});
        const QString message = raisedMessage([&] { TDMVardometer dm(path); });
        QVERIFY2(message.contains(u"Credentials"_s), qPrintable(message));
        QCOMPARE(scalarIn(path, u"PRAGMA user_version"_s).toInt(), 0);
        QCOMPARE(scalarIn(path, u"SELECT type FROM sqlite_master WHERE name = 'Credentials'"_s)
                     .toString(),
                 u"view"_s);
    }

    void aFileOfAnotherProgramIsRefusedUntouched()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Vardometer.db"_s);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other"_s);
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery(db).exec(u"CREATE TABLE Recipes (Name TEXT)"_s);
            db.close();
        }
        QSqlDatabase::removeDatabase(u"other"_s);
        const QByteArray before = digestOf(path);
        const QString message = raisedMessage([&] { TDMVardometer dm(path); });
        QVERIFY2(message.contains(u"not found"_s), qPrintable(message));
        QCOMPARE(digestOf(path), before);
        QCOMPARE(scalarIn(path, u"PRAGMA user_version"_s).toInt(), 0);
    }

    void aNewerFileIsRefusedUntouched()
    {
        TestDatabase db;
        db.exec(u"PRAGMA user_version = %1"_s.arg(SchemaVersion::Current + 1));
        const QByteArray before = digestOf(db.path());
        const QString message = raisedMessage([&] { TDMVardometer dm(db.path()); });
        QCOMPARE(message, u"Cannot open the database %1: it was written by a newer version of "
                          u"Vardometer (schema %2; this one knows schema %3 and older). The file "
                          u"was left as it is."_s.arg(db.path())
                              .arg(SchemaVersion::Current + 1)
                              .arg(SchemaVersion::Current));
        QCOMPARE(digestOf(db.path()), before);
    }
};

QTEST_GUILESS_MAIN(TestSchemaVersion)
#include "test_schema_version.moc"
