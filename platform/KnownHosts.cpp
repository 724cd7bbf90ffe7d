#include "platform/KnownHosts.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace {

struct KnownHostsLine {
    bool revoked = false;
    QString hosts;
    QString keyType;
    QByteArray keyBlob;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

QList<QByteArray> fieldsOf(const QByteArray& line)
{
    QList<QByteArray> fields;
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        const qsizetype start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        if (i > start)
            fields << line.mid(start, i - start);
    }
    return fields;
}

// Calls visit for every line that names a key, markers resolved.
void forEachLine(const QByteArray& text, const std::function<void(const KnownHostsLine&)>& visit)
{
    for (const QByteArray& raw : text.split('\n')) {
        QList<QByteArray> fields = fieldsOf(raw);
        if (fields.isEmpty() || fields.front().startsWith('#'))
            continue;
        KnownHostsLine line;
        if (fields.front().startsWith('@')) {
            if (fields.front() != "@revoked")
                continue; // @cert-authority: certificates are not used here
            line.revoked = true;
            fields.removeFirst();
        }
        if (fields.size() < 3)
            continue;
        line.hosts = QString::fromUtf8(fields[0]);
        line.keyType = QString::fromUtf8(fields[1]);
        const auto decoded =
            QByteArray::fromBase64Encoding(fields[2], QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded || decoded.decoded.isEmpty())
            continue;
        line.keyBlob = decoded.decoded;
        visit(line);
    }
}

// '*' matches any run of characters, '?' any one; everything else itself.
bool wildcardMatches(QStringView pattern, QStringView name)
{
    qsizetype p = 0, n = 0, starAt = -1, resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starAt = p++;
            resumeAt = n;
        } else if (starAt >= 0) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

bool hashedEntryMatches(QStringView field, const QString& name)
{
    const QList<QStringView> parts = field.split(u'|');
    if (parts.size() != 4 || !parts[0].isEmpty() || parts[1] != u"1")
        return false;
    const auto salt = QByteArray::fromBase64Encoding(parts[2].toLatin1(),
                                                     QByteArray::AbortOnBase64DecodingErrors);
    const auto hash = QByteArray::fromBase64Encoding(parts[3].toLatin1(),
                                                     QByteArray::AbortOnBase64DecodingErrors);
    if (!salt || !hash || salt.decoded.isEmpty())
        return false;
    return QMessageAuthenticationCode::hash(name.toUtf8(), salt.decoded,
                                            QCryptographicHash::Sha1) == hash.decoded;
}

} // namespace

QString knownHostsName(const QString& host, int port)
{
    const QString lower = host.toLower();
    return port == 22 ? lower : u"[%1]:%2"_s.arg(lower).arg(port);
}

bool hostFieldMatches(QStringView field, const QString& knownHostsName)
{
    if (field.startsWith(u'|'))
        return hashedEntryMatches(field, knownHostsName);
    bool matched = false;
    for (const QStringView pattern : field.split(u',')) {
        const bool negated = pattern.startsWith(u'!');
        const QString lowered = (negated ? pattern.mid(1) : pattern).toString().toLower();
        if (!lowered.isEmpty() && wildcardMatches(lowered, knownHostsName)) {
            if (negated)
                return false;
            matched = true;
        }
    }
    return matched;
}

QString keyBlobType(const QByteArray& keyBlob)
{
    if (keyBlob.size() < 4)
        return {};
    const auto* bytes = reinterpret_cast<const unsigned char*>(keyBlob.constData());
    const quint32 length = (quint32(bytes[0]) << 24) | (quint32(bytes[1]) << 16) |
                           (quint32(bytes[2]) << 8) | quint32(bytes[3]);
    if (length == 0 || length > quint32(keyBlob.size() - 4))
        return {};
    return QString::fromLatin1(keyBlob.mid(4, length));
}

HostKeyStatus checkHostKey(const QByteArray& knownHosts, const QString& host, int port,
                           const QByteArray& keyBlob)
{
    const QString name = knownHostsName(host, port);
    const QString type = keyBlobType(keyBlob);
    bool revoked = false, known = false, otherKeyOfType = false;
    forEachLine(knownHosts, [&](const KnownHostsLine& line) {
        if (!hostFieldMatches(line.hosts, name))
            return;
        if (line.keyBlob == keyBlob)
            (line.revoked ? revoked : known) = true;
        else if (!line.revoked && line.keyType == type)
            otherKeyOfType = true;
    });
    if (revoked)
        return HostKeyStatus::Revoked;
    if (known)
        return HostKeyStatus::Known;
    return otherKeyOfType ? HostKeyStatus::Changed : HostKeyStatus::Unknown;
}

QStringList knownHostKeyTypes(const QByteArray& knownHosts, const QString& host, int port)
{
    const QString name = knownHostsName(host, port);
    QStringList types;
    forEachLine(knownHosts, [&](const KnownHostsLine& line) {
        if (!line.revoked && hostFieldMatches(line.hosts, name) && !types.contains(line.keyType))
            types << line.keyType;
    });
    return types;
}
