#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// A server that a measurement must reach first, and how to tell that it is there.
struct HostEndpoint {
    QString host;           // a name, an IPv4 address, or an IPv6 literal without brackets
    std::vector<int> ports; // tried in turn while one refuses
    // Sent once connected; the server's answer to it (any bytes, or it closing the
    // connection) shows it is there. Empty when the server speaks first.
    QByteArray hello;
    // The connection is kept for the measurement (takeCheckedConnection) instead of being
    // closed, so the server sees one connection, not two.
    bool keepConnection = false;

    // Endpoints with the same key are checked once.
    QString key() const;
};
