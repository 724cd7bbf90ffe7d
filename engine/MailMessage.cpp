#include "engine/MailMessage.h"

#include <QRegularExpression>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace MailMessage {

namespace {

// RFC 5322 allows 998 characters a line; 78 is what readers are kind to.
constexpr qsizetype HardLineLimit = 998;
constexpr qsizetype EncodedWordLimit = 75;
// Encoded words and quoted-printable lines both stop at 76 characters.
constexpr qsizetype EncodedLineLimit = 76;

bool needsQuotes(const QString& entry)
{
    for (const QChar c : entry)
        if (c == u' ' || c == u',' || c == u'"' || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

bool isPlainAscii(const QByteArray& bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Base64 words of whole UTF-8 characters, so no reader sees half a character. The first word
// shares its line with the field name and gets only what room that leaves.
QList<QByteArray> encodedWords(const QString& value, qsizetype firstLineRoom)
{
    const QByteArray prefix = "=?UTF-8?B?";
    const QByteArray suffix = "?=";
    // Base64 turns every 3 bytes into 4 characters.
    const auto bytesFitting = [&](qsizetype room) {
        return std::max<qsizetype>(3, (room - prefix.size() - suffix.size()) / 4 * 3);
    };
    qsizetype maxBytes = bytesFitting(std::min(firstLineRoom, EncodedWordLimit));
    QList<QByteArray> words;
    QByteArray chunk;
    for (qsizetype i = 0; i < value.size();) {
        const qsizetype width = value.at(i).isHighSurrogate() && i + 1 < value.size() ? 2 : 1;
        const QByteArray character = value.mid(i, width).toUtf8();
        if (!chunk.isEmpty() && chunk.size() + character.size() > maxBytes) {
            words << prefix + chunk.toBase64() + suffix;
            chunk.clear();
            maxBytes = bytesFitting(EncodedWordLimit);
        }
        chunk += character;
        i += width;
    }
    if (!chunk.isEmpty())
        words << prefix + chunk.toBase64() + suffix;
    return words;
}

// Alert lines are one body line each; a line break inside one would break that promise and
// could leave a bare CR or LF, which servers refuse.
QString oneLine(const QString& line)
{
    static const QRegularExpression breaks(u"[\\r\\n]+"_s);
    return QString(line).replace(breaks, u" "_s);
}

} // namespace

ServerAddress parseServerAddress(const QString& emailHost)
{
    const QString text = emailHost.trimmed();
    ServerAddress address{text, 25};
    qsizetype colon = -1;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0)
            return address;
        address.host = text.mid(1, close - 1);
        if (close + 1 < text.size() && text.at(close + 1) == u':')
            colon = close + 1;
    } else if (text.count(u':') == 1) {
        colon = text.indexOf(u':');
        address.host = text.left(colon);
    }
    if (colon < 0)
        return address;
    bool ok = false;
    const int port = text.mid(colon + 1).toInt(&ok);
    if (ok && port > 0 && port < 65536 && !text.mid(colon + 1).startsWith(u'+'))
        address.port = port;
    else
        address.host = text; // not a port: let the client report the whole name
    return address;
}

QString commaText(const QStringList& entries)
{
    QStringList parts;
    for (const QString& entry : entries)
        parts << (needsQuotes(entry) ? u'"' + QString(entry).replace(u"\""_s, u"\"\""_s) + u'"'
                                     : entry);
    return parts.join(u',');
}

QStringList splitCommaText(const QString& text)
{
    QStringList entries;
    QString current;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                current += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            entries << current.trimmed();
            current.clear();
        } else {
            current += c;
        }
    }
    if (!text.isEmpty())
        entries << current.trimmed();
    return entries;
}

QString mailboxAddress(const QString& entry)
{
    // An entry broken over lines is no address; picking the part in angle brackets would
    // hand a smuggled address to the envelope, so it goes on whole and is refused there.
    for (const QChar c : entry.trimmed())
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return entry.trimmed();
    const qsizetype open = entry.lastIndexOf(u'<');
    const qsizetype close = entry.lastIndexOf(u'>');
    if (open >= 0 && close > open)
        return entry.mid(open + 1, close - open - 1).trimmed();
    return entry.trimmed();
}

namespace {

bool isMalformedEntry(const QString& entry, const QString& address)
{
    for (const QChar c : entry)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    if (address.contains(u'<') || address.contains(u'>'))
        return true;
    // Only one pair of brackets, around the address, and nothing after it.
    const qsizetype open = entry.lastIndexOf(u'<');
    if (open < 0)
        return false;
    const qsizetype close = entry.lastIndexOf(u'>');
    const QString name = entry.left(open);
    return name.contains(u'<') || name.contains(u'>') || close < open ||
           !entry.mid(close + 1).trimmed().isEmpty();
}

} // namespace

Recipients recipients(const QStringList& emailAddresses)
{
    Recipients result;
    for (const QString& entry : splitCommaText(commaText(emailAddresses))) {
        const QString address = mailboxAddress(entry);
        if (address.isEmpty())
            continue;
        if (isMalformedEntry(entry, address))
            result.malformed << entry.trimmed();
        else
            result.addresses << address;
    }
    return result;
}

QStringList recipientAddresses(const QStringList& emailAddresses)
{
    return recipients(emailAddresses).addresses;
}

QByteArray fromHeaderValue(const QString& from)
{
    const QString clean = sanitizedHeaderValue(from).trimmed();
    if (isPlainAscii(clean.toUtf8())) {
        // A display name holding a comma or another special goes in quotes, or a reader
        // would take "Ops, Storage <a@x>" for two mailboxes.
        const qsizetype open = clean.lastIndexOf(u'<');
        static const QRegularExpression specials(u"[()<>\\[\\]:;@\\\\,.\"]"_s);
        if (open > 0) {
            const QString name = clean.left(open).trimmed();
            const bool quoted = name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"');
            if (!quoted && name.contains(specials)) {
                QString escaped = name;
                escaped.replace(u"\\"_s, u"\\\\"_s).replace(u"\""_s, u"\\\""_s);
                return (u'"' + escaped + u"\" "_s + clean.mid(open)).toUtf8();
            }
        }
        return clean.toUtf8();
    }
    const qsizetype open = clean.lastIndexOf(u'<');
    const qsizetype close = clean.lastIndexOf(u'>');
    if (open <= 0 || close < open)
        return clean.toUtf8(); // no display name to encode: the address is as the user wrote it
    QString name = clean.left(open).trimmed();
    if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"'))
        name = name.mid(1, name.size() - 2);
    const QByteArray address = clean.mid(open, close - open + 1).toUtf8();
    // "From: " takes six characters of the first line.
    return encodedWords(name, EncodedLineLimit - 6).join("\r\n ") + " " + address;
}

QString undeliveredText(const QList<UndeliveredRecipient>& recipients)
{
    QStringList parts;
    for (const UndeliveredRecipient& r : recipients) {
        const QString shown = sanitizedHeaderValue(r.address);
        parts << (r.reason.isEmpty() ? shown : u"%1 (%2)"_s.arg(shown, r.reason));
    }
    return parts.join(u", "_s);
}

QString sanitizedHeaderValue(const QString& value)
{
    QString result;
    result.reserve(value.size());
    bool inBreak = false;
    for (const QChar c : value) {
        if (c == u'\r' || c == u'\n') {
            if (!inBreak)
                result += u' ';
            inBreak = true;
            continue;
        }
        inBreak = false;
        if (c == u'\t' || (c.unicode() >= 0x20 && c.unicode() != 0x7f))
            result += c;
    }
    return result;
}

QByteArray headerField(const QByteArray& name, const QString& value)
{
    const QString clean = sanitizedHeaderValue(value);
    const QByteArray utf8 = clean.toUtf8();
    const QByteArray plain = name + ": " + utf8;
    if (isPlainAscii(utf8) && plain.size() <= HardLineLimit)
        return plain;
    const qsizetype firstLineRoom = EncodedLineLimit - name.size() - 2;
    return name + ": " + encodedWords(clean, firstLineRoom).join("\r\n ");
}

QByteArray dateHeaderValue(const QDateTime& when)
{
    static const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (!when.isValid())
        return {};
    const QDate d = when.date();
    const QTime t = when.time();
    const int offsetMinutes = when.offsetFromUtc() / 60;
    const int absolute = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    return QString::asprintf("%s, %d %s %04d %02d:%02d:%02d %c%02d%02d", days[d.dayOfWeek() - 1],
                             d.day(), months[d.month() - 1], d.year(), t.hour(), t.minute(),
                             t.second(), offsetMinutes < 0 ? '-' : '+', absolute / 60,
                             absolute % 60)
        .toLatin1();
}

QByteArray messageIdHeaderValue(const QString& uniqueToken, const QString& senderAddress)
{
    QString domain = mailboxAddress(sanitizedHeaderValue(senderAddress));
    const qsizetype at = domain.lastIndexOf(u'@');
    domain = at >= 0 ? domain.mid(at + 1) : QString();
    static const QRegularExpression notDomain(u"[^A-Za-z0-9.-]"_s);
    domain.remove(notDomain);
    if (domain.isEmpty())
        domain = u"vardometer.invalid"_s;
    QString token = uniqueToken;
    static const QRegularExpression notAtom(u"[^A-Za-z0-9.!#$%&'*+/=?^_`{|}~-]"_s);
    token.remove(notAtom);
    return "<" + token.toLatin1() + "@" + domain.toLatin1() + ">";
}

QByteArray quotedPrintable(const QByteArray& text)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QByteArray line = lines[n];
        const bool hadBreak = n + 1 < lines.size();
        if (hadBreak && line.endsWith('\r'))
            line.chop(1);
        qsizetype column = 0;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const auto c = static_cast<unsigned char>(line[i]);
            const bool last = i + 1 == line.size();
            // Spaces at a line's end would be stripped on the way, so they are encoded there.
            const bool literal =
                (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last);
            QByteArray piece(1, static_cast<char>(c));
            if (!literal)
                piece = QByteArray("=") + hex[c >> 4] + hex[c & 15];
            if (column + piece.size() > EncodedLineLimit - 1) {
                out += "=\r\n";
                column = 0;
            }
            out += piece;
            column += piece.size();
        }
        if (hadBreak)
            out += "\r\n";
    }
    return out;
}

QByteArray compose(const Content& content)
{
    QByteArray body;
    bool plain = true;
    for (const QString& line : content.lines) {
        const QByteArray utf8 = oneLine(line).toUtf8();
        plain = plain && isPlainAscii(utf8) && utf8.size() <= HardLineLimit;
        body += utf8 + "\r\n";
    }

    QList<QByteArray> headers;
    headers << "From: " + fromHeaderValue(content.from);
    QByteArray to = "To: ";
    qsizetype column = to.size();
    for (qsizetype i = 0; i < content.to.size(); ++i) {
        const QByteArray address = sanitizedHeaderValue(content.to[i]).toUtf8();
        if (i > 0) {
            to += ",";
            ++column;
            if (column + 1 + address.size() > 78) {
                to += "\r\n";
                column = 0;
            }
            to += " ";
            ++column;
        }
        to += address;
        column += address.size();
    }
    headers << to;
    headers << headerField("Subject", content.subject);
    if (content.date.isValid())
        headers << "Date: " + dateHeaderValue(content.date);
    headers << "Message-ID: " + messageIdHeaderValue(content.uniqueToken, content.from);
    headers << "MIME-Version: 1.0";
    headers << "Content-Type: text/plain; charset=UTF-8";
    headers << QByteArray("Content-Transfer-Encoding: ") + (plain ? "7bit" : "quoted-printable");
    return headers.join("\r\n") + "\r\n\r\n" + (plain ? body : quotedPrintable(body));
}

} // namespace MailMessage
