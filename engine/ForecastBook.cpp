#include "engine/ForecastBook.h"

#include "data/DbConnection.h"
#include "data/HistoryWindow.h"
#include "data/SystemsQueries.h"

#include <atomic>
#include <optional>
#include <system_error>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace ForecastReader {

QStringList systemNames(const DbConnection& db)
{
    return SystemsQueries::names(db);
}

QList<HistoryPoint> recentHistory(const DbConnection& db, const QString& system)
{
    // A day more than the window, so the forecast has the rows just before it too.
    QList<HistoryPoint> points;
    for (const HistoryWindow::Snapshot& s :
         HistoryWindow::newest(db, system, Forecast::WindowDays + 1))
        points.append({s.date, s.time.value_or(0.0), s.freeMB, s.totalMB});
    return points;
}

DiskForecast forecastFor(const DbConnection& db, const QString& system)
{
    return Forecast::forecast(recentHistory(db, system));
}

} // namespace ForecastReader

namespace {

// Enough systems that a second connection and a thread pay for themselves.
constexpr qsizetype ShareFrom = 200;

QList<DiskForecast> forecastsOf(const DbConnection& db, const QStringList& names)
{
    QList<DiskForecast> forecasts;
    forecasts.reserve(names.size());
    for (const QString& system : names)
        forecasts.append(ForecastReader::forecastFor(db, system));
    return forecasts;
}

// The forecasts of some systems on a read-only connection of its own, for a thread of its
// own: nothing when that connection cannot be had, and the caller does the work itself.
std::optional<QList<DiskForecast>> forecastsAside(const DbConnection& like,
                                                  const QStringList& names)
{
    static std::atomic<int> connections = 0;
    try {
        DbConnection own(u"ForecastsAside%1"_s.arg(++connections));
        own.setFileName(like.fileName());
        own.setReadOnly(true);
        own.setMemoryMapBytes(like.memoryMapBytes());
        own.open();
        std::optional<QList<DiskForecast>> forecasts;
        {
            const DbConnection::ReadSnapshot snapshot(own);
            forecasts = forecastsOf(own, names);
        }
        own.close();
        return forecasts;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

void ForecastBook::recomputeAll(const DbConnection& db)
{
    const QStringList names = ForecastReader::systemNames(db);
    // Half the systems on a second processor. A connection in a transaction may hold rows
    // nobody else sees yet: it reads alone. The second connection starts its read a moment
    // later, so a run committing just then gives its half the newer history: each forecast
    // is still that of one committed state, at most one run newer than the others.
    const bool share = names.size() >= ShareFrom && !db.inTransaction() &&
                       std::thread::hardware_concurrency() > 1 && !db.fileName().isEmpty();
    const qsizetype mine = share ? names.size() / 2 : names.size();
    std::optional<QList<DiskForecast>> aside;
    std::thread helper;
    if (share) {
        try {
            helper = std::thread([&] { aside = forecastsAside(db, names.mid(mine)); });
        } catch (const std::system_error&) {
            // No thread to be had: the caller's own connection does it all below.
        }
    }
    QList<DiskForecast> forecasts;
    try {
        forecasts = forecastsOf(db, names.first(mine));
    } catch (...) {
        if (helper.joinable())
            helper.join();
        throw;
    }
    if (helper.joinable())
        helper.join();
    if (share)
        forecasts += aside ? *aside : forecastsOf(db, names.mid(mine));

    QList<Entry> entries;
    QHash<QString, qsizetype> index;
    entries.reserve(names.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        index.insert(names[i].toCaseFolded(), entries.size());
        entries.append({names[i], forecasts[i]});
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
