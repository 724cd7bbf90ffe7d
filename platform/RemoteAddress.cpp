#include "platform/RemoteAddress.h"

#include <QStringDecoder>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace {

bool fail(QString* whyNot, const QString& reason)
{
    if (whyNot)
        *whyNot = reason;
    return false;
}

bool hasControlCharacter(QStringView text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

int hexValue(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

// Undoes %XX escapes; the bytes they give, with the text around them, must form UTF-8.
std::optional<QString> percentDecoded(QStringView text, QString* whyNot)
{
    if (!text.contains(u'%'))
        return text.toString();
    QByteArray bytes;
    qsizetype plainFrom = 0;
    for (qsizetype i = text.indexOf(u'%'); i >= 0; i = text.indexOf(u'%', plainFrom)) {
        bytes += text.mid(plainFrom, i - plainFrom).toUtf8();
        const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
        if (high < 0 || low < 0) {
            fail(whyNot, u"a % must begin an escape such as %20"_s);
            return std::nullopt;
        }
        bytes += static_cast<char>(high * 16 + low);
        plainFrom = i + 3;
    }
    bytes += text.mid(plainFrom).toUtf8();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder(bytes);
    if (decoder.hasError()) {
        fail(whyNot, u"an escape does not form UTF-8 text"_s);
        return std::nullopt;
    }
    return decoded;
}

bool isHexDigit(QChar c)
{
    return hexValue(c) >= 0;
}

// Between the brackets of [v6] or [v6%25zone]: hex digits, colons and dots, then perhaps
// a zone (an interface name) after an escaped '%'.
std::optional<QString> ipv6Literal(QStringView inside, QString* whyNot)
{
    QStringView address = inside;
    QString zone;
    const qsizetype percent = inside.indexOf(u'%');
    if (percent >= 0) {
        address = inside.left(percent);
        const QStringView escapedZone = inside.mid(percent);
        if (!escapedZone.startsWith(u"%25") || escapedZone.size() == 3) {
            fail(whyNot, u"an IPv6 zone is written %25 and a name, as in [fe80::1%25eth0]"_s);
            return std::nullopt;
        }
        zone = escapedZone.mid(3).toString();
        for (const QChar c : std::as_const(zone))
            if (!c.isLetterOrNumber() && c != u'-' && c != u'.' && c != u'_' && c != u'~') {
                fail(whyNot, u"an IPv6 zone holds letters, digits and -._~ only"_s);
                return std::nullopt;
            }
    }
    bool valid = address.contains(u':');
    for (const QChar c : address)
        valid = valid && (isHexDigit(c) || c == u':' || c == u'.');
    if (!valid) {
        fail(whyNot, u"not an IPv6 address between the brackets"_s);
        return std::nullopt;
    }
    return zone.isEmpty() ? address.toString() : address.toString() + u'%' + zone;
}

bool isValidHostName(QStringView host, QString* whyNot)
{
    if (host.isEmpty())
        return fail(whyNot, u"no server named"_s);
    static const QString forbidden = u" /\\@:[]%?#\"<>|*;,"_s;
    for (const QChar c : host)
        if (forbidden.contains(c) || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return fail(whyNot, u"the server name holds '%1'"_s.arg(c));
    if (host.count(u'.') == host.size())
        return fail(whyNot, u"the server name is only dots"_s);
    return true;
}

// A host as written between "//" or "@" and the port: a name, an IPv4 address or [IPv6].
std::optional<QString> hostPart(QStringView text, bool escaped, QString* whyNot)
{
    if (text.startsWith(u'[')) {
        if (!text.endsWith(u']')) {
            fail(whyNot, u"an IPv6 address needs its closing bracket"_s);
            return std::nullopt;
        }
        return ipv6Literal(text.mid(1, text.size() - 2), whyNot);
    }
    std::optional<QString> host = escaped ? percentDecoded(text, whyNot) : text.toString();
    if (!host || !isValidHostName(*host, whyNot))
        return std::nullopt;
    return host;
}

struct Authority {
    bool hasUserInfo = false;
    QStringView userInfo; // still escaped
    QString host;
    int port = 0; // 0 when none is written
};

// [userinfo@]host[:port], the text between "scheme://" and the first '/'.
std::optional<Authority> parseAuthority(QStringView text, QString* whyNot)
{
    Authority authority;
    QStringView hostPort = text;
    const qsizetype at = text.lastIndexOf(u'@');
    if (at >= 0) {
        authority.hasUserInfo = true;
        authority.userInfo = text.left(at);
        hostPort = text.mid(at + 1);
        // Decoded first: "alice%3Asecret" is the same password as "alice:secret".
        const std::optional<QString> decodedUser = percentDecoded(authority.userInfo, nullptr);
        if (authority.userInfo.contains(u':') || (decodedUser && decodedUser->contains(u':'))) {
            fail(whyNot, u"a password does not belong in the address"_s);
            return std::nullopt;
        }
    }
    QStringView hostText = hostPort;
    QStringView portText;
    const qsizetype closing = hostPort.startsWith(u'[') ? hostPort.indexOf(u']') : -1;
    const qsizetype colon = hostPort.indexOf(u':', closing >= 0 ? closing : 0);
    if (hostPort.startsWith(u'[') && closing < 0) {
        fail(whyNot, u"an IPv6 address needs its closing bracket"_s);
        return std::nullopt;
    }
    if (closing >= 0 && closing + 1 < hostPort.size() && hostPort[closing + 1] != u':') {
        fail(whyNot, u"only a port may follow an IPv6 address"_s);
        return std::nullopt;
    }
    if (colon >= 0) {
        hostText = hostPort.left(colon);
        portText = hostPort.mid(colon + 1);
        bool ok = !portText.isEmpty();
        for (const QChar c : portText)
            ok = ok && c >= u'0' && c <= u'9';
        const int port = ok && portText.size() <= 5 ? portText.toInt() : 0;
        if (port < 1 || port > 65535) {
            fail(whyNot, u"the port must be a number from 1 to 65535"_s);
            return std::nullopt;
        }
        authority.port = port;
    }
    std::optional<QString> host = hostPart(hostText, true, whyNot);
    if (!host)
        return std::nullopt;
    authority.host = *host;
    return authority;
}

// A decoded user, domain, share or folder name: never empty, never a path of its own.
std::optional<QString> namePart(QStringView text, bool escaped, const QString& what,
                                QString* whyNot)
{
    std::optional<QString> name = escaped ? percentDecoded(text, whyNot) : text.toString();
    if (!name)
        return std::nullopt;
    if (name->isEmpty())
        fail(whyNot, u"empty %1"_s.arg(what));
    else if (hasControlCharacter(*name))
        fail(whyNot, u"the %1 holds a control character"_s.arg(what));
    else if (name->contains(u'/') || name->contains(u'\\'))
        fail(whyNot, u"the %1 holds a slash"_s.arg(what));
    else if (*name == u"." || *name == u"..")
        fail(whyNot, u"'%1' is not a %2"_s.arg(*name, what));
    else
        return name;
    return std::nullopt;
}

// The share and its folders from names already split at the separators.
bool fillShareAndFolders(SmbAddress& smb, const QList<QStringView>& names, bool escaped,
                         QString* whyNot)
{
    QList<QStringView> present;
    for (const QStringView name : names)
        if (!name.isEmpty())
            present << name;
    if (present.isEmpty())
        return fail(whyNot, u"no share named"_s);
    for (qsizetype i = 0; i < present.size(); ++i) {
        const std::optional<QString> name =
            namePart(present[i], escaped, i == 0 ? u"share name"_s : u"folder name"_s, whyNot);
        if (!name)
            return false;
        if (i == 0)
            smb.share = *name;
        else
            smb.folders << *name;
    }
    return true;
}

std::optional<SmbAddress> parseUncAddress(QStringView rest, QString* whyNot)
{
    QList<QStringView> names;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= rest.size(); ++i)
        if (i == rest.size() || rest[i] == u'\\' || rest[i] == u'/') {
            names << rest.mid(start, i - start);
            start = i + 1;
        }
    SmbAddress smb;
    const std::optional<QString> server = hostPart(names.takeFirst(), false, whyNot);
    if (!server || !fillShareAndFolders(smb, names, false, whyNot))
        return std::nullopt;
    smb.server = *server;
    return smb;
}

std::optional<SmbAddress> parseSmbUrl(QStringView rest, QString* whyNot)
{
    const qsizetype slash = rest.indexOf(u'/');
    const QStringView authorityText = slash < 0 ? rest : rest.left(slash);
    const std::optional<Authority> authority = parseAuthority(authorityText, whyNot);
    if (!authority)
        return std::nullopt;
    SmbAddress smb;
    smb.server = authority->host;
    smb.port = authority->port;
    if (authority->hasUserInfo) {
        QStringView user = authority->userInfo;
        const qsizetype semicolon = user.indexOf(u';');
        if (semicolon >= 0) {
            const std::optional<QString> domain =
                namePart(user.left(semicolon), true, u"domain"_s, whyNot);
            if (!domain)
                return std::nullopt;
            smb.domain = *domain;
            user = user.mid(semicolon + 1);
        }
        const std::optional<QString> name = namePart(user, true, u"user name"_s, whyNot);
        if (!name)
            return std::nullopt;
        smb.username = *name;
    }
    const QStringView path = slash < 0 ? QStringView() : rest.mid(slash);
    if (!fillShareAndFolders(smb, path.split(u'/'), true, whyNot))
        return std::nullopt;
    return smb;
}

} // namespace

std::optional<SmbAddress> parseSmbAddress(const QString& address, QString* whyNot)
{
    if (address.contains(QChar(0))) {
        fail(whyNot, u"the address holds a NUL character"_s);
        return std::nullopt;
    }
    if (address.startsWith(u"\\\\"))
        return parseUncAddress(QStringView(address).mid(2), whyNot);
    if (!address.startsWith(u"smb://", Qt::CaseInsensitive)) {
        fail(whyNot, u"not an SMB address"_s);
        return std::nullopt;
    }
    return parseSmbUrl(QStringView(address).mid(6), whyNot);
}

std::optional<SftpAddress> parseSftpAddress(const QString& address, QString* whyNot)
{
    if (address.contains(QChar(0))) {
        fail(whyNot, u"the address holds a NUL character"_s);
        return std::nullopt;
    }
    if (!address.startsWith(u"sftp://", Qt::CaseInsensitive)) {
        fail(whyNot, u"not an SFTP address"_s);
        return std::nullopt;
    }
    const QStringView rest = QStringView(address).mid(7);
    const qsizetype slash = rest.indexOf(u'/');
    const std::optional<Authority> authority =
        parseAuthority(slash < 0 ? rest : rest.left(slash), whyNot);
    if (!authority)
        return std::nullopt;
    SftpAddress sftp;
    sftp.host = authority->host;
    sftp.port = authority->port ? authority->port : 22;
    if (authority->hasUserInfo) {
        if (authority->userInfo.contains(u';')) {
            fail(whyNot, u"connection parameters after ';' are not supported"_s);
            return std::nullopt;
        }
        const std::optional<QString> user =
            namePart(authority->userInfo, true, u"user name"_s, whyNot);
        if (!user)
            return std::nullopt;
        sftp.username = *user;
    }
    const std::optional<QString> path =
        percentDecoded(slash < 0 ? QStringView() : rest.mid(slash), whyNot);
    if (!path)
        return std::nullopt;
    if (path->contains(QChar(0)) || hasControlCharacter(*path)) {
        fail(whyNot, u"the path holds a control character"_s);
        return std::nullopt;
    }
    if (path->isEmpty())
        sftp.path = u"/"_s;
    else if (*path == u"/~" || *path == u"/~/")
        sftp.path = u"."_s;
    else if (path->startsWith(u"/~/"))
        sftp.path = path->mid(3);
    else
        sftp.path = *path;
    return sftp;
}

QString smbClientUrl(const SmbAddress& address, bool shareRootOnly)
{
    QString host = address.server;
    if (host.contains(u':')) {
        // "::1" becomes "0--1.ipv6-literal.net": a label may not begin or end with '-'.
        host.replace(u':', u'-').replace(u'%', u's');
        if (host.startsWith(u'-'))
            host.prepend(u'0');
        if (host.endsWith(u'-'))
            host.append(u'0');
        host += u".ipv6-literal.net"_s;
    }
    QString url = u"smb://"_s + host;
    if (address.port)
        url += u':' + QString::number(address.port);
    url += u'/' + QString::fromLatin1(QUrl::toPercentEncoding(address.share));
    if (!shareRootOnly)
        for (const QString& folder : address.folders)
            url += u'/' + QString::fromLatin1(QUrl::toPercentEncoding(folder));
    return url;
}
