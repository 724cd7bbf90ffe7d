#include "engine/StoredCredentials.h"

#include "data/SystemsQueries.h"

QList<ShareCredential> storedShareCredentials(const DbConnection& db)
{
    QList<ShareCredential> credentials;
    for (const SystemsQueries::Logon& l : SystemsQueries::logons(db))
        credentials << ShareCredential{l.server, l.domain, l.username, l.password};
    return credentials;
}
