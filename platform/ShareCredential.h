#pragma once

#include <QString>

// One row of the Credentials table: how to log on to the SMB shares of one server. The
// server is a host name or address as addresses write it, without a port.
struct ShareCredential {
    QString server;
    QString domain; // may be empty
    QString username;
    QString password;
};
