#include "data/TableQuery.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestTableQuery : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
};

void TestTableQuery::parse_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("tail");

    QTest::newRow("the whole table")
        << u"Select * from Alerts;"_s << true << u"Alerts"_s << QString();
    QTest::newRow("with a condition and an order")
        << u"Select * from FreeSpaceHistory where System = :QSystem order by date, time;"_s << true
        << u"FreeSpaceHistory"_s << u"where System = :QSystem order by date, time"_s;
    QTest::newRow("capitals, spaces and lines")
        << u"  SELECT\t*\nFROM  Systems\n ORDER BY System ; \n"_s << true << u"Systems"_s
        << u"ORDER BY System"_s;
    QTest::newRow("no semicolon") << u"select * from Pages"_s << true << u"Pages"_s << QString();
    QTest::newRow("only the last semicolon goes") << u"select * from Log where Message = ';' ;;"_s
                                                  << true << u"Log"_s << u"where Message = ';' ;"_s;
    QTest::newRow("the name ends where the word does")
        << u"select * from Systems_2(x)"_s << true << u"Systems_2"_s << u"(x)"_s;
    QTest::newRow("columns named")
        << u"select System from Systems"_s << false << QString() << QString();
    QTest::newRow("no space after the star")
        << u"select *from Systems"_s << false << QString() << QString();
    QTest::newRow("no table") << u"select * from ;"_s << false << QString() << QString();
    QTest::newRow("not a select") << u"delete from Systems"_s << false << QString() << QString();
    QTest::newRow("empty") << QString() << false << QString() << QString();
}

void TestTableQuery::parse()
{
    QFETCH(QString, sql);
    QFETCH(bool, accepted);
    QFETCH(QString, table);
    QFETCH(QString, tail);

    const std::optional<TableQuery> query = parseTableQuery(sql);
    QCOMPARE(query.has_value(), accepted);
    if (!query)
        return;
    QCOMPARE(query->table, table);
    QCOMPARE(query->tail, tail);
}

QTEST_GUILESS_MAIN(TestTableQuery)
#include "test_table_query.moc"
