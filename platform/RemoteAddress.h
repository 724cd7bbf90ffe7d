#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The parts of a share or SSH address, decoded: percent-escapes undone, an IPv6 literal
// without its brackets. Parsing touches neither the network nor the disk.
//
// Forms:
//   \\server\share[\folder...]                          (no escapes, '/' also separates)
//   smb://[[domain;]user@]server[:port]/share[/folder...]
//   sftp://[user@]host[:port][/path]
// A password never belongs in an address (it would show wherever the address does), so
// "user:password@" is refused. '?' and '#' are part of a name, not a query or a fragment,
// and a '%' must begin an escape such as %20.

struct SmbAddress {
    QString domain;   // empty when the address names none
    QString username; // empty when the address names none
    QString server;   // host name or IPv4 address as written, or an IPv6 literal
    int port = 0;     // 0: the client's usual ports
    QString share;
    QStringList folders; // below the share; none for the share's own root

    bool operator==(const SmbAddress&) const = default;
};

struct SftpAddress {
    QString username; // empty: the local user's name, as ssh has it
    QString host;
    int port = 22;
    // As the server resolves it: absolute ("/srv/data"), or relative to the login folder
    // when the address wrote "/~/..." ("." for "/~" itself). An address without a path
    // names "/".
    QString path;

    bool operator==(const SftpAddress&) const = default;
};

// Empty, with the reason in whyNot (after "invalid address: "), when the text is not an
// SMB address of one of the forms above.
std::optional<SmbAddress> parseSmbAddress(const QString& address, QString* whyNot = nullptr);
std::optional<SftpAddress> parseSftpAddress(const QString& address, QString* whyNot = nullptr);

// The URL libsmbclient is given for the address, without user or password: escaped again,
// an IPv6 literal in the "ipv6-literal.net" form its parser understands. shareRootOnly
// leaves the folders out.
QString smbClientUrl(const SmbAddress& address, bool shareRootOnly = false);
