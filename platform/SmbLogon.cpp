#include "platform/SmbLogon.h"

namespace {

// Rows are typed by people: "[::1]" and " fs1 " name the same servers as "::1" and "fs1".
QString comparableServer(const QString& server)
{
    QString s = server.trimmed();
    if (s.startsWith(u'[') && s.endsWith(u']'))
        s = s.mid(1, s.size() - 2);
    return s.toCaseFolded();
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

SmbLogon smbLogonFor(const SmbAddress& address, const QList<ShareCredential>& credentials)
{
    const QString server = comparableServer(address.server);
    QList<const ShareCredential*> rows;
    for (const ShareCredential& row : credentials)
        if (comparableServer(row.server) == server)
            rows << &row;

    SmbLogon logon;
    if (address.username.isEmpty()) {
        if (rows.isEmpty() || rows.front()->username.isEmpty())
            return logon;
        logon.guest = false;
        logon.domain = rows.front()->domain;
        logon.username = rows.front()->username;
        logon.password = rows.front()->password;
        return logon;
    }

    logon.guest = false;
    logon.domain = address.domain;
    logon.username = address.username;
    for (const ShareCredential* row : std::as_const(rows)) {
        const bool domainAgrees = address.domain.isEmpty() || row->domain.isEmpty() ||
                                  sameName(address.domain, row->domain);
        if (sameName(row->username, address.username) && domainAgrees) {
            if (logon.domain.isEmpty())
                logon.domain = row->domain;
            logon.password = row->password;
            break;
        }
    }
    return logon;
}
