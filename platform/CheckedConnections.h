#pragma once

#include "platform/HostEndpoint.h"

#include <QString>

#include <vector>

// Connections a host check kept open for measurements once their server had answered, in
// blocking mode and with the server's first words still unread.

// Keeps the connection for a measurement of host:port. False when there are too many kept
// already; the caller closes it then.
bool keepCheckedConnection(const QString& host, int port, int socket);

// A kept connection to host:port, or -1 when there is none. Each is handed out once, and
// only while young and still open; the caller owns it.
int takeCheckedConnection(const QString& host, int port);

// Closes the kept connections to these endpoints that no measurement took.
void dropCheckedConnections(const std::vector<HostEndpoint>& endpoints);
