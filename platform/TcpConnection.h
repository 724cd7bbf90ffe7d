#pragma once

#include <QString>

#include <chrono>

// A TCP connection to host:port made before the deadline, to each address the name
// resolves to in turn. The socket is in blocking mode; the caller owns and closes it.
// -1, with the reason in failure (texts of ProbeFailure.h), when none answered in time.
int connectTcp(const QString& host, int port, std::chrono::steady_clock::time_point deadline,
               QString* failure);

void closeTcp(int socket);
