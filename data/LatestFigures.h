#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

class DbConnection;

// What the Systems table keeps of each system's latest measurement, as stored: the outputs
// that report every system at once (metrics, monitoring checks) read it in one statement
// instead of opening the datasets a run needs.
struct LatestFigures {
    QString system;
    QString address;
    QVariant lastFreeMB;
    QVariant lastUsedMB;
    QVariant lastTotalMB;
    QVariant lastFreePercent;
    QVariant lastUsedPercent;
    QVariant dateLastAnalysed;
    QVariant timeLastAnalysed;
    QVariant zeroDate1; // the classic predicted full date
    QVariant alert1MB;
    QVariant initialDate;
};

namespace LatestFiguresReader {

// A stored figure as a number; Null, text and values that are no finite number are not
// known. The columns are numeric, so text that looks like a number was not written by a run.
std::optional<double> number(const QVariant& value);

// Every named system, ordered by name without regard to case; a row without a name is no
// system anything can report on.
QList<LatestFigures> readAll(const DbConnection& db);

} // namespace LatestFiguresReader
