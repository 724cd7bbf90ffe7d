#include "data/HistoryWindow.h"

#include "data/DateTimeValue.h"
#include "data/DbConnection.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace HistoryWindow {

namespace {

// The rows that may fix where the window ends: one of the others can neither bend the trend
// nor, as the newest row, move the window away from it.
QString usableRow()
{
    return u"typeof(Date) IN ('integer', 'real') AND Date >= %1 AND Date < %2 "
           u"AND typeof(FreeMB) IN ('integer', 'real') AND typeof(TotalMB) IN ('integer', 'real') "
           u"AND FreeMB >= 0 AND TotalMB > 0 AND FreeMB <= TotalMB "
           u"AND (Time IS NULL OR (typeof(Time) IN ('integer', 'real') AND Time >= 0 AND Time < 1))"_s
               .arg(DateTimeValue::FirstShownDay, 0, 'f', 0)
               .arg(DateTimeValue::LastShownDay + 1, 0, 'f', 0);
}

// The newest usable date first (a walk of the index from its end that stops at the first
// usable row), then the rows from the window's start on, in index order, so nothing is
// sorted and nothing older is read. Made when first asked for: a program that never reads a
// window does not pay for formatting it at its start.
const QString& windowQuery()
{
    static const QString query = u"SELECT Date, Time, FreeMB, TotalMB FROM FreeSpaceHistory "
                                 u"WHERE System = ?1 AND Date >= "
                                 u"(SELECT Date FROM FreeSpaceHistory WHERE System = ?1 AND %1 "
                                 u"ORDER BY Date DESC LIMIT 1) - ?2 "
                                 u"ORDER BY Date, Time"_s.arg(usableRow());
    return query;
}

// The snapshot of a row; nothing when its date, time or figures are no finite numbers (a
// Null time is midnight's). Checked here rather than in the query, where it costs more.
std::optional<Snapshot> snapshotOf(const DbConnection::Row& row)
{
    if (!row.isNumber(0) || !row.isNumber(2) || !row.isNumber(3) ||
        !(row.isNull(1) || row.isNumber(1)))
        return std::nullopt;
    Snapshot s{row.number(0), std::nullopt, row.number(2), row.number(3)};
    if (!row.isNull(1))
        s.time = row.number(1);
    const bool finite = std::isfinite(s.date) && std::isfinite(s.freeMB) &&
                        std::isfinite(s.totalMB) && std::isfinite(s.time.value_or(0));
    return finite ? std::optional<Snapshot>(s) : std::nullopt;
}

} // namespace

QList<Snapshot> newest(const DbConnection& db, const QString& system, double days)
{
    QList<Snapshot> snapshots;
    db.readRows(windowQuery(), {system, days}, [&](const DbConnection::Row& row) {
        if (const std::optional<Snapshot> s = snapshotOf(row))
            snapshots.append(*s);
    });
    return snapshots;
}

} // namespace HistoryWindow
