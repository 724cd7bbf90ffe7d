#pragma once

#include "platform/RemoteAddress.h"
#include "platform/ShareCredential.h"

#include <QList>

// Who an SMB probe logs on as.
struct SmbLogon {
    bool guest = true; // no user of our own: the server's guest account
    QString domain;
    QString username;
    QString password;

    bool operator==(const SmbLogon&) const = default;
};

// The Credentials row for an address is found by its server alone: host name or address,
// without case and without a port, so "\\FS1\data" and "smb://fs1:4445/data" share a row.
//
// - An address without a user name logs on with the first row of its server, domain,
//   user and password alike.
// - An address with a user name keeps that user (and its domain, else the row's) and takes
//   a row's password only when the row names the same user (without case) and no other
//   domain; a password is never handed to a user it was not stored for. Without such a row
//   the user logs on with an empty password.
// - A server without a row, or a row without a user name, means guest.
SmbLogon smbLogonFor(const SmbAddress& address, const QList<ShareCredential>& credentials);
