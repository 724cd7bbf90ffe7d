#pragma once

#include <QList>
#include <QString>

#include <optional>

class DbConnection;

// A system's newest snapshots, read through the index on FreeSpaceHistory (System, Date,
// Time) with one prepared statement however many systems are read, so the cost grows with
// neither the years a history holds nor the number of systems asked about.
namespace HistoryWindow {

struct Snapshot {
    double date = 0;
    std::optional<double> time; // Null in the file
    double freeMB = 0;
    double totalMB = 0;
};

// The snapshots dated from `days` before the newest usable one on, in the order of date and
// time. Usable: numbers where numbers belong, a date the calendar holds, sizes a disk can
// have. A row whose date, time or figures are no numbers is left out wherever it is; the
// others are given as stored, for the caller to judge. Names compare without case.
QList<Snapshot> newest(const DbConnection& db, const QString& system, double days);

} // namespace HistoryWindow
