#pragma once

#include "toolkit/ErrorReport.h"

#include <QStringList>

#include <utility>

// What the general error report would have shown, collected in a list for as long as a
// test runs: its init() starts recording, its cleanup() stops and takes what was left over,
// which a test that expected no report finds empty.
inline void recordReportsInto(QStringList& reports)
{
    ErrorReport::setHandler([&reports](const QString&, const QString& text) { reports << text; });
}

inline QStringList stopRecordingReports(QStringList& reports)
{
    ErrorReport::setHandler({});
    return std::exchange(reports, {});
}
