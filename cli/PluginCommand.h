#pragma once

#include <QStringList>

#include <cstdio>

// vardometer-cli plugin [--system NAME]... [--warning MB|%] [--critical MB|%] [--measure]
// [--max-age HOURS] [--timeout SECONDS] [DATABASE]: a check for monitoring systems that run
// plugins. One status line on the output stream and the exit status of its state: 0 OK,
// 1 WARNING, 2 CRITICAL, 3 UNKNOWN; a wrong command line and a database that cannot be read
// are UNKNOWN too. Whatever happens, it answers within the time-out.
int runPluginCommand(const QStringList& arguments, FILE* out, FILE* err);
