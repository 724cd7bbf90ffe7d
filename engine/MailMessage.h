#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// The fiddly parts of writing an alert message, kept free of any connection so each can be
// checked on its own.
namespace MailMessage {

// Where EMailHost points: "host" means port 25; "host:port" and "[v6-address]:port" name a
// port, so a submission port such as 587 works. A bare IPv6 address keeps port 25.
struct ServerAddress {
    QString host;
    int port = 25;
    bool operator==(const ServerAddress&) const = default;
};
ServerAddress parseServerAddress(const QString& emailHost);

// The list joined with commas; an entry holding a space, a control character, a comma or a
// double quote is enclosed in double quotes, its own quotes doubled.
QString commaText(const QStringList& entries);
// The entries of a comma text: quoted parts as one entry, blanks around entries dropped.
QStringList splitCommaText(const QString& text);

// The bare address of one entry: "Name <a@b>" gives "a@b", "a@b" stays as it is. An entry
// holding a control character is returned whole (trimmed), for the client to refuse.
QString mailboxAddress(const QString& entry);

// The envelope recipients for the Alerts table's addresses, in their order: the comma text
// read back entry by entry, each taken as an address; entries that hold no address are left
// out, since no server would take them. An entry that cannot be one address (a line break,
// an angle bracket outside the one pair around the address) is malformed: it is kept apart,
// so the others still get the message and the user hears which one was skipped.
struct Recipients {
    QStringList addresses;
    QStringList malformed;
};
Recipients recipients(const QStringList& emailAddresses);
QStringList recipientAddresses(const QStringList& emailAddresses);

// "From" as written in Options: a display name that is not plain ASCII goes as RFC 2047
// words before the address in angle brackets ("=?UTF-8?B?...?= <alerts@example.com>"); an
// ASCII value goes as it is, on one line.
QByteArray fromHeaderValue(const QString& from);

// The recipients a delivery could not reach, for the user: "a@x (550 No such user), b".
struct UndeliveredRecipient {
    QString address;
    QString reason;
};
QString undeliveredText(const QList<UndeliveredRecipient>& recipients);

// A header value on one line: every run of CR and LF becomes one space, other control
// characters are dropped, so no value can start a header of its own.
QString sanitizedHeaderValue(const QString& value);

// "Name: value" ready for the header block, without the line end. ASCII values pass as they
// are; others become RFC 2047 encoded words (UTF-8, base64), folded so no line passes 76
// characters. A long ASCII value is encoded too rather than overrunning the line limit.
QByteArray headerField(const QByteArray& name, const QString& value);

// "Thu, 10 Dec 2026 04:53:55 +0000": English names whatever the user's locale; empty for an
// invalid time, which then gets no Date header.
QByteArray dateHeaderValue(const QDateTime& when);

// "<token@domain>", the domain taken from the sender address when it has one.
QByteArray messageIdHeaderValue(const QString& uniqueToken, const QString& senderAddress);

// Quoted-printable for a body that is not plain short ASCII lines. Line breaks stay CR LF.
QByteArray quotedPrintable(const QByteArray& text);

struct Content {
    QString from;
    QStringList to;
    QString subject;
    QStringList lines;
    QDateTime date;
    QString uniqueToken;
};

// The whole message as it goes after DATA: header block, empty line, body, each line ending
// in CR LF. Dot-stuffing is the transport's business, not the message's.
QByteArray compose(const Content& content);

} // namespace MailMessage
