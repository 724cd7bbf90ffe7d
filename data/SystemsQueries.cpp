#include "data/SystemsQueries.h"

#include "data/DbConnection.h"
#include "data/Errors.h"

#include <QSqlQuery>

using namespace Qt::Literals::StringLiterals;

namespace SystemsQueries {

namespace {

QStringList firstColumn(const DbConnection& db, const QString& sql)
{
    QStringList values;
    db.readRows(sql, {}, [&](const DbConnection::Row& row) { values << row.value(0).toString(); });
    return values;
}

} // namespace

QStringList names(const DbConnection& db)
{
    return firstColumn(db,
                       u"SELECT System FROM Systems WHERE System IS NOT NULL ORDER BY System"_s);
}

QStringList addresses(const DbConnection& db)
{
    return firstColumn(db, u"SELECT Address FROM Systems WHERE Address IS NOT NULL"_s);
}

QStringList namesHeldTwice(const DbConnection& db)
{
    // The file's own unique index, on the name alone and without regard to capitals, forbids
    // them: nothing to look for, and every run asks.
    if (!firstColumn(db, u"SELECT name FROM pragma_index_list('Systems') "
                         u"WHERE name = 'SystemsBySystem' AND \"unique\" = 1 AND partial = 0 "
                         u"AND (SELECT count(*) FROM pragma_index_xinfo('SystemsBySystem') "
                         u"WHERE key = 1) = 1 "
                         u"AND EXISTS (SELECT 1 FROM pragma_index_xinfo('SystemsBySystem') "
                         u"WHERE key = 1 AND name = 'System' AND coll = 'NOCASE')"_s)
             .isEmpty())
        return {};
    return firstColumn(db, u"SELECT min(System) FROM Systems WHERE System IS NOT NULL "
                           u"GROUP BY System COLLATE NOCASE HAVING count(*) > 1 "
                           u"ORDER BY 1 COLLATE NOCASE"_s);
}

QList<Logon> logons(const DbConnection& db)
{
    QList<Logon> found;
    try {
        QSqlQuery q = db.exec(u"SELECT Server, Domain, Username, Password FROM Credentials"_s);
        while (q.next())
            found << Logon{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                           q.value(3).toString()};
        q.finish();
    } catch (const DatabaseError&) {
    }
    return found;
}

} // namespace SystemsQueries
