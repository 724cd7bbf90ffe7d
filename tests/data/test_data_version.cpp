// The connection's count of other connections' commits, which the window watches to show
// what other programs wrote.
#include "data/DbConnection.h"
#include "data/Errors.h"
#include "support/CliProcess.h"
#include "support/LockHolder.h"
#include "support/TestDatabase.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestDataVersion : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void onlyOtherConnectionsCommitsMoveIt_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<bool>("moves");
        QTest::newRow("this connection's own commit") << u"own"_s << false;
        QTest::newRow("another connection of this process") << u"connection"_s << true;
        QTest::newRow("another process") << u"process"_s << true;
        QTest::newRow("another connection that only reads") << u"reader"_s << false;
    }
    void onlyOtherConnectionsCommitsMoveIt()
    {
        QFETCH(QString, writer);
        QFETCH(bool, moves);
        TestDatabase db({{u"Alpha"_s, u"/srv/a"_s, {}}});
        db.exec(u"UPDATE Options SET EMailAlerts = 0, PopupAlerts = 0"_s);
        DbConnection watched(u"Watched"_s);
        watched.setFileName(db.path());
        watched.open();
        const qint64 before = watched.dataVersion();
        QCOMPARE(watched.dataVersion(), before);

        if (writer == u"own") {
            watched.beginTransaction();
            watched.write(u"UPDATE Systems SET LastFreeMB = 5"_s, {});
            watched.commit();
            QCOMPARE(db.scalar(u"SELECT LastFreeMB FROM Systems"_s).toInt(), 5);
        } else if (writer == u"connection") {
            db.exec(u"UPDATE Systems SET LastFreeMB = 5"_s);
        } else if (writer == u"process") {
            // A scheduled check: the address is not found, and the system's start date is
            // set.
            QVERIFY(runCli({u"check"_s, db.path()}, db.dir()).status >= 0);
            QVERIFY(!db.scalar(u"SELECT InitialDate FROM Systems"_s).isNull());
        } else {
            QCOMPARE(db.scalar(u"SELECT count(*) FROM Systems"_s).toInt(), 1);
        }
        QCOMPARE(watched.dataVersion() != before, moves);
    }

    void aReadingThatCannotBeMadeRaises()
    {
        TestDatabase db({{u"Alpha"_s, u"/srv/a"_s, {}}});
        // Out of write-ahead mode, a program holding the file exclusively keeps readers out.
        db.exec(u"PRAGMA journal_mode = DELETE"_s);
        DbConnection watched(u"Watched"_s);
        watched.setFileName(db.path());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, watched.dataVersion());
        watched.open();
        const qint64 before = watched.dataVersion();
        {
            LockHolder other;
            QVERIFY(other.lock(db.path()));
            try {
                watched.dataVersion();
                QFAIL("a locked file gave a reading");
            } catch (const DatabaseError& e) {
                QVERIFY2(e.message().contains(u"locked"_s), qPrintable(e.message()));
            }
        }
        // Nothing was committed meanwhile, and the connection reads on as before.
        QCOMPARE(watched.dataVersion(), before);
        db.exec(u"UPDATE Systems SET LastFreeMB = 5"_s);
        QVERIFY(watched.dataVersion() != before);
        watched.close();
        QVERIFY_THROWS_EXCEPTION(DatabaseError, watched.dataVersion());
    }
};

QTEST_GUILESS_MAIN(TestDataVersion)

#include "test_data_version.moc"
