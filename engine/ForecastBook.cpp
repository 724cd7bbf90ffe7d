#include "engine/ForecastBook.h"

#include "data/DbConnection.h"

#include "data/DateTimeValue.h"

#include <QSqlQuery>

#include <cmath>

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

namespace {

// A stored number, or nothing for Null, text (even text that looks like a number: the column
// is numeric, so such a row was not written by a measurement) and values that are no number.
std::optional<double> storedNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double: {
        const double number = value.toDouble();
        if (std::isfinite(number))
            return number;
        break;
    }
    default:
        break;
    }
    return std::nullopt;
}

// The rows a forecast can use, as SQL: numbers where numbers belong, a date the calendar
// holds, and sizes a disk can have. The rest are skipped wherever they are, so that one of
// them can neither bend the trend nor, as the newest row, move the window away from it.
const QString UsableRow =
    u"typeof(Date) IN ('integer', 'real') AND Date >= %1 AND Date < %2 "
    u"AND typeof(FreeMB) IN ('integer', 'real') AND typeof(TotalMB) IN ('integer', 'real') "
    u"AND FreeMB >= 0 AND TotalMB > 0 AND FreeMB <= TotalMB "
    u"AND (Time IS NULL OR (typeof(Time) IN ('integer', 'real') AND Time >= 0 AND Time < 1))"_s
        .arg(DateTimeValue::FirstShownDay, 0, 'f', 0)
        .arg(DateTimeValue::LastShownDay + 1, 0, 'f', 0);

} // namespace

std::optional<HistoryPoint> pointFrom(const QVariant& date, const QVariant& time,
                                      const QVariant& freeMB, const QVariant& totalMB)
{
    const std::optional<double> d = storedNumber(date);
    const std::optional<double> f = storedNumber(freeMB);
    const std::optional<double> t = storedNumber(totalMB);
    const std::optional<double> tm =
        time.isNull() ? std::optional<double>(0.0) : storedNumber(time);
    if (!d || !f || !t || !tm)
        return std::nullopt;
    return HistoryPoint{*d, *tm, *f, *t};
}

QList<HistoryPoint> recentHistory(const DbConnection& db, const QString& system)
{
    // The newest usable date first (a walk of the index from its end that stops at the first
    // usable row), then the rows from a day before the window on, in index order, so nothing
    // is sorted and nothing older is read.
    QSqlQuery q = db.exec(u"SELECT Date, Time, FreeMB, TotalMB FROM FreeSpaceHistory "
                          u"WHERE System = ? AND Date >= "
                          u"(SELECT Date FROM FreeSpaceHistory WHERE System = ? AND %1 "
                          u"ORDER BY Date DESC LIMIT 1) - ? "
                          u"ORDER BY Date, Time"_s.arg(UsableRow),
                          {system, system, Forecast::WindowDays + 1});
    QList<HistoryPoint> points;
    while (q.next()) {
        // Checked here too, with the same rules as the forecast's own.
        if (const std::optional<HistoryPoint> p =
                pointFrom(q.value(0), q.value(1), q.value(2), q.value(3)))
            points.append(*p);
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
