#include "engine/ForecastBook.h"

#include "data/DbConnection.h"

#include <QSqlQuery>

using namespace Qt::Literals::StringLiterals;

namespace ForecastReader {

QStringList systemNames(const DbConnection& db)
{
    QSqlQuery q = db.exec(u"SELECT System FROM Systems WHERE System IS NOT NULL ORDER BY System"_s);
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    return names;
}

QList<HistoryPoint> recentHistory(const DbConnection& db, const QString& system)
{
    // The newest date first (one probe of the index), then the rows from a day before the
    // window on, in index order, so nothing is sorted and nothing older is read.
    QSqlQuery q = db.exec(u"SELECT Date, Time, FreeMB, TotalMB FROM FreeSpaceHistory "
                          u"WHERE System = ? AND Date >= "
                          u"(SELECT max(Date) FROM FreeSpaceHistory WHERE System = ?) - ? "
                          u"ORDER BY Date, Time"_s,
                          {system, system, Forecast::WindowDays + 1});
    QList<HistoryPoint> points;
    while (q.next()) {
        if (q.isNull(0) || q.isNull(2) || q.isNull(3))
            continue;
        HistoryPoint p;
        p.date = q.value(0).toDouble();
        p.time = q.isNull(1) ? 0.0 : q.value(1).toDouble();
        p.freeMB = q.value(2).toDouble();
        p.totalMB = q.value(3).toDouble();
        points.append(p);
    }
    return points;
}

DiskForecast forecastFor(const DbConnection& db, const QString& system)
{
    return Forecast::forecast(recentHistory(db, system));
}

} // namespace ForecastReader

void ForecastBook::recomputeAll(const DbConnection& db)
{
    QList<Entry> entries;
    QHash<QString, qsizetype> index;
    for (const QString& system : ForecastReader::systemNames(db)) {
        index.insert(system.toCaseFolded(), entries.size());
        entries.append({system, ForecastReader::forecastFor(db, system)});
    }
    // Replaced only once everything was read: a failure leaves the previous book whole.
    m_entries = std::move(entries);
    m_index = std::move(index);
}

void ForecastBook::recompute(const DbConnection& db, const QString& system)
{
    const DiskForecast forecast = ForecastReader::forecastFor(db, system);
    const auto found = m_index.constFind(system.toCaseFolded());
    if (found != m_index.constEnd()) {
        m_entries[*found].forecast = forecast;
        return;
    }
    m_index.insert(system.toCaseFolded(), m_entries.size());
    m_entries.append({system, forecast});
}

std::optional<DiskForecast> ForecastBook::find(const QString& system) const
{
    const auto found = m_index.constFind(system.toCaseFolded());
    if (found == m_index.constEnd())
        return std::nullopt;
    return m_entries[*found].forecast;
}

QString ForecastBook::sentence(const QString& system) const
{
    return Forecast::sentence(find(system).value_or(DiskForecast{}));
}
