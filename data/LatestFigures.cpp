#include "data/LatestFigures.h"

#include "data/DbConnection.h"

#include <QSqlQuery>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace LatestFiguresReader {

std::optional<double> number(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
        if (std::isfinite(value.toDouble()))
            return value.toDouble();
        break;
    default:
        break;
    }
    return std::nullopt;
}

QList<LatestFigures> readAll(const DbConnection& db)
{
    QSqlQuery q = db.exec(
        u"SELECT System, Address, LastFreeMB, LastUsedMB, LastTotalMB, \"LastFree%\", "
        u"\"LastUsed%\", DateLastAnalysed, TimeLastAnalysed, ZeroDate1, Alert1MB, InitialDate "
        u"FROM Systems WHERE System IS NOT NULL AND System <> '' ORDER BY System"_s);
    QList<LatestFigures> rows;
    while (q.next()) {
        rows.append({q.value(0).toString(), q.value(1).toString(), q.value(2), q.value(3),
                     q.value(4), q.value(5), q.value(6), q.value(7), q.value(8), q.value(9),
                     q.value(10), q.value(11)});
    }
    return rows;
}

} // namespace LatestFiguresReader
