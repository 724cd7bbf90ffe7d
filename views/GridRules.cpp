#include "views/GridRules.h"

#include "data/DateTimeValue.h"

using namespace Qt::Literals::StringLiterals;

namespace GridRules {

namespace {

double numberOrZero(const QVariant& v)
{
    bool ok = false;
    const double d = v.isNull() ? 0.0 : v.toDouble(&ok);
    return ok ? d : 0.0;
}

bool isOneOf(const QString& name, std::initializer_list<const char16_t*> names)
{
    for (const char16_t* n : names)
        if (name.compare(QString::fromUtf16(n), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void alignRightIfListed(const QString& name, std::initializer_list<const char16_t*> names,
                        Qt::Alignment& alignment)
{
    if (isOneOf(name, names))
        alignment = (alignment & ~Qt::AlignHorizontal_Mask) | Qt::AlignRight;
}

} // namespace

QList<GridColumn> summaryColumns()
{
    return {
        {u"System"_s, 15, u"System"_s, {}},
        {u"DateLastAnalysed"_s, 12, u"Date"_s, u"Last Analyzed"_s},
        {u"TimeLastAnalysed"_s, 10, u"Time"_s, u"Last Analyzed"_s},
        {u"LastFree%"_s, 7, u"Free"_s, u"%"_s},
        {u"LastUsed%"_s, 7, u"Used"_s, u"%"_s},
        {u"LastFreeMB"_s, 8, u"Free"_s, u"MB"_s},
        {u"LastUsedMB"_s, 7, u"Used"_s, u"MB"_s},
        {u"LastTotalMB"_s, 9, u"Total"_s, u"MB"_s},
        {u"InitialDate"_s, 12, u"Start Date  "_s, u"Summary"_s},
        {u"CumUsedMB"_s, 10, u"Used TD"_s, u"Summary"_s},
        {u"AvgDailyMB"_s, 14, u"Avg Daily MB"_s, u"Summary"_s},
        {u"ZeroDate1"_s, 14, u"Date Disk Full"_s, u"Prediction"_s},
        // Not a field: the window supplies each row's forecast sentence.
        {ForecastColumn, 18, u"Forecast"_s, {}},
    };
}

QList<GridColumn> historyColumns()
{
    return {
        {u"System"_s, 20, u"System"_s, {}},
        {u"Date"_s, 12, u"Date"_s, {}},
        {u"Time"_s, 12, u"Time"_s, {}},
        {u"Free%"_s, 9, u"Free %"_s, {}},
        {u"Used%"_s, 8, u"Used %"_s, {}},
        {u"FreeMB"_s, 10, u"Free MB"_s, {}},
        {u"UsedMB"_s, 10, u"Used MB"_s, {}},
        {u"TotalMB"_s, 10, u"Total MB"_s, {}},
        {u"AvgDailyMB"_s, 10, u"Avg Daily MB"_s, {}},
        {u"CumUsedMB"_s, 10, u"Used TD"_s, {}},
    };
}

QList<GridColumn> systemsColumns()
{
    return {
        {u"System"_s, 16, u"System"_s, {}},
        {u"Address"_s, 50, u"Address"_s, {}},
        {u"Alert1MB"_s, 10, u"Alert MB"_s, {}},
    };
}

void summaryCellColors(const QString& fieldName, const QVariant& lastUsedPercent,
                       const QVariant& zeroDate1, const QDate& today, CellColors& colors)
{
    colors.font = Qt::black;
    colors.brush = QColor(255, 255, 255);
    const double used = numberOrZero(lastUsedPercent);
    if (used >= 80)
        colors.font = QColor(255, 0, 0);
    if (used >= 90) {
        colors.font = QColor(255, 255, 0);
        colors.brush = QColor(255, 0, 0);
    }
    if (isOneOf(fieldName, {u"LastFree%", u"LastFreeMB"}))
        colors.bold = true;
    if (isOneOf(fieldName, {u"ZeroDate1"})) {
        const double date = numberOrZero(zeroDate1);
        if (date > 0 && date <= DateTimeValue::fromDate(today) + 10) {
            colors.font = Qt::white;
            colors.brush = Qt::black;
        }
    }
}

void historyCellColors(const QString& fieldName, int visiblePosition, const QVariant& usedPercent,
                       CellColors& colors)
{
    colors.brush = visiblePosition % 2 == 0 ? QColor(255, 255, 255) : LightYellow;
    colors.font = Qt::black;
    if (isOneOf(fieldName, {u"Used%"})) {
        const double used = numberOrZero(usedPercent);
        if (used >= 80)
            colors.font = QColor(255, 0, 0);
        if (used >= 90) {
            colors.font = QColor(255, 255, 0);
            colors.brush = QColor(255, 0, 0);
        }
    }
}

void summaryTitleAlignment(const QString& name, Qt::Alignment& alignment)
{
    alignRightIfListed(name,
                       {u"LastUsed%", u"LastFree%", u"LastUsedMB", u"LastFreeMB", u"LastTotalMB",
                        u"AvgDailyMB", u"CumUsedMB", u"ZeroDate1", u"InitialDate"},
                       alignment);
}

void historyTitleAlignment(const QString& name, Qt::Alignment& alignment)
{
    alignRightIfListed(
        name, {u"Used%", u"Free%", u"UsedMB", u"FreeMB", u"TotalMB", u"CumUsedMB", u"AvgDailyMB"},
        alignment);
}

void systemsTitleAlignment(const QString& name, Qt::Alignment& alignment)
{
    alignRightIfListed(name, {u"Alert1MB"}, alignment);
}

} // namespace GridRules
