#include "engine/StoredCredentials.h"

#include "data/DbConnection.h"
#include "data/Errors.h"

#include <QSqlQuery>

using namespace Qt::Literals::StringLiterals;

QList<ShareCredential> storedShareCredentials(const DbConnection& db)
{
    QList<ShareCredential> credentials;
    try {
        QSqlQuery q = db.exec(u"SELECT Server, Domain, Username, Password FROM Credentials"_s);
        while (q.next())
            credentials << ShareCredential{q.value(0).toString(), q.value(1).toString(),
                                           q.value(2).toString(), q.value(3).toString()};
        q.finish();
    } catch (const DatabaseError&) {
    }
    return credentials;
}
