#pragma once

#include "platform/HostEndpoint.h"

#include <atomic>
#include <chrono>
#include <functional>

// Checks that servers answer, all at once and cheaply, so that a sweep gives threads and
// worker processes only to measurements of servers that are there. For each endpoint it
// looks the name up, connects to its ports in turn, sends its hello and waits for the
// server's first answer: any bytes, or the server closing. That is all it asks for; what
// the server says is for the measurement to read.
//
// verdict(i, failure) is called once for each endpoint i, on the calling thread, as soon as
// it is known: an empty failure when the server answered, else one of the texts of
// ProbeFailure.h ("host not found", "connection refused", ...). At the deadline every
// endpoint without a verdict is "timed out", and checkHosts returns. Once cancelled is true
// it returns within about 50 ms without further verdicts.
//
// What it costs, however many endpoints: one thread (the caller's) watching every
// connection; name lookups on at most MaxNameLookupThreads threads of the process at once,
// a name looked up once per call. A server's addresses and ports are tried in turn, each
// 250 ms after the one before unless that one failed sooner, the earlier ones still
// waiting: the first to connect is the one asked. A lookup that outlives its call is left to
// return on its own thread.
inline constexpr int MaxNameLookupThreads = 64;

void checkHosts(const std::vector<HostEndpoint>& endpoints,
                std::chrono::steady_clock::time_point deadline,
                const std::function<void(size_t endpoint, const QString& failure)>& verdict,
                const std::atomic<bool>& cancelled);
