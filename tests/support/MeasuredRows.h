#pragma once

#include "data/DateTimeValue.h"
#include "data/DbConnection.h"
#include "support/TestDatabase.h"

#include <QVariantList>

#include <functional>

#include <QDateTime>
#include <QString>

// A Systems row as a check leaves it, written straight into the file: measured at `when`
// with the figures given, or (totalMB 0) with an address that gave none.
inline const QString MeasuredRowSql = QStringLiteral(
    "UPDATE Systems SET InitialDate = ?, DateLastAnalysed = ?, TimeLastAnalysed = ?, "
    "LastFreeMB = ?, LastUsedMB = ?, LastTotalMB = ?, \"LastFree%\" = ?, \"LastUsed%\" = ?, "
    "ZeroDate1 = ? WHERE System = ?");

inline QVariantList measuredRowValues(const QString& system, double freeMB, double totalMB,
                                      const QDateTime& when, const QVariant& zeroDate = {})
{
    const bool found = totalMB > 0;
    return {DateTimeValue::fromDate(when.date().addDays(-30)),
            DateTimeValue::fromDate(when.date()),
            DateTimeValue::fromTime(when.time()),
            freeMB,
            totalMB - freeMB,
            totalMB,
            found ? 100 * freeMB / totalMB : 0.0,
            found ? 100 * (totalMB - freeMB) / totalMB : 0.0,
            zeroDate,
            system};
}

inline void setMeasured(const TestDatabase& db, const QString& system, double freeMB,
                        double totalMB, const QDateTime& when, const QVariant& zeroDate = {})
{
    db.exec(MeasuredRowSql, measuredRowValues(system, freeMB, totalMB, when, zeroDate));
}

// Writes on a connection of their own, in one transaction: a thousand systems in a moment.
inline void inOneTransaction(const QString& file, const std::function<void(DbConnection&)>& writes)
{
    DbConnection c(QStringLiteral("InOneTransaction"));
    c.setFileName(file);
    c.open();
    c.beginTransaction();
    writes(c);
    c.commit();
    c.close();
}
