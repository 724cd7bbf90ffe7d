#pragma once

#include "engine/Forecast.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

class DbConnection;

// Reading what the forecast needs straight from the database: only the newest years of a
// system's history, through the index on FreeSpaceHistory (System, Date, Time), so the cost
// does not grow with the years a history holds.
namespace ForecastReader {

// The systems of the Systems table, by name.
QStringList systemNames(const DbConnection& db);

// The system's snapshots of the forecast's window before its newest one, oldest first;
// rows no disk could have given (text or Null figures, dates outside the calendar, impossible
// sizes) are left out. Names compare without case, as everywhere.
QList<HistoryPoint> recentHistory(const DbConnection& db, const QString& system);

DiskForecast forecastFor(const DbConnection& db, const QString& system);

} // namespace ForecastReader

// The forecasts of every system, computed when asked (at start and after a snapshot) and
// looked up by name as often as a grid paints.
class ForecastBook {
public:
    struct Entry {
        QString system;
        DiskForecast forecast;
    };

    // Every system of the Systems table, replacing what the book held.
    void recomputeAll(const DbConnection& db);
    // One system, added when it is new to the book.
    void recompute(const DbConnection& db, const QString& system);

    // Case-insensitive, as system names are; nothing for a system the book does not hold.
    std::optional<DiskForecast> find(const QString& system) const;
    // The sentence for the system; a system the book does not hold yet (just added, or
    // renamed) has no history under its name, so it reads "not enough history".
    QString sentence(const QString& system) const;

    const QList<Entry>& entries() const { return m_entries; }

private:
    QList<Entry> m_entries;
    QHash<QString, qsizetype> m_index; // case-folded name -> entry
};
