#pragma once

#include "data/DateTimeValue.h"
#include "data/DbConnection.h"

#include <QDate>
#include <QString>

#include <functional>

// Daily snapshot rows at 02:00 for a system, written straight into the file in one
// transaction: days d = 0 .. days - 1 from `first`, taken(d) of totalMB in use.
inline void addDailyHistory(const QString& file, const QString& system, const QDate& first,
                            int days, const std::function<double(int)>& taken,
                            double totalMB = 100'000)
{
    using namespace Qt::Literals::StringLiterals;
    DbConnection db(u"HistoryRows"_s);
    db.setFileName(file);
    db.open();
    db.beginTransaction();
    for (int d = 0; d < days; ++d) {
        const double free = totalMB - taken(d);
        db.write(u"INSERT INTO FreeSpaceHistory (System, Date, Time, FreeMB, UsedMB, TotalMB, "
                 u"\"Free%\", \"Used%\") VALUES (?, ?, ?, ?, ?, ?, ?, ?)"_s,
                 {system, DateTimeValue::fromDate(first) + d, 2.0 / 24, free, taken(d), totalMB,
                  100 * free / totalMB, 100 * taken(d) / totalMB});
    }
    db.commit();
    db.close();
}
