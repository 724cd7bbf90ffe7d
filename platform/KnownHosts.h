#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Checking an SSH server's host key against a known_hosts file, the way OpenSSH reads it.
// Pure functions over the file's text, so every rule has a table test.

enum class HostKeyStatus {
    Known,   // a line for the host holds this key
    Unknown, // no line for the host holds a key of this type
    Changed, // the host's line for this type of key holds another key
    Revoked, // a @revoked line for the host holds this key
};

// The name a known_hosts line uses for a host: the host itself for port 22, "[host]:port"
// for any other, in lower case. At another port only "[host]:port" lines count, as OpenSSH
// has it: a plain line for the host says nothing about a second server on another port.
QString knownHostsName(const QString& host, int port);

// Whether a line's host field names the host: a hashed entry "|1|salt|hash" (HMAC-SHA1 of
// the name keyed with the salt, both in base64), or comma-separated patterns in which '*'
// and '?' are wildcards and a matching "!pattern" rules the line out.
bool hostFieldMatches(QStringView field, const QString& knownHostsName);

// The key is the server's public key blob (as the SSH protocol sends it; its type is the
// string it begins with). @cert-authority lines and unreadable lines are passed over.
HostKeyStatus checkHostKey(const QByteArray& knownHosts, const QString& host, int port,
                           const QByteArray& keyBlob);

// The key types the file records for the host, first seen first, so the server can be
// asked for a key the file can vouch for.
QStringList knownHostKeyTypes(const QByteArray& knownHosts, const QString& host, int port);

// The type a public key blob names ("ssh-ed25519"); empty when the blob is malformed.
QString keyBlobType(const QByteArray& keyBlob);
