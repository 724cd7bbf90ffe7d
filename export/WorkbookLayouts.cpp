#include "export/WorkbookLayouts.h"

using namespace Qt::Literals::StringLiterals;

namespace WorkbookLayouts {

WorkbookLayout freeSpaceSummary()
{
    return {u"Free Space Summary"_s,
            u"Summary"_s,
            {
                {u"System"_s, u"System"_s, 15},
                {u"Last Analyzed"_s, u"DateLastAnalysed"_s, 13},
                {u"Free %"_s, u"LastFree%"_s},
                {u"Used %"_s, u"LastUsed%"_s},
                {u"Free MB"_s, u"LastFreeMB"_s},
                {u"Used MB"_s, u"LastUsedMB"_s},
                {u"Total MB"_s, u"LastTotalMB"_s},
                {u"Start Date"_s, u"InitialDate"_s, 10},
                {u"Used To Date"_s, u"CumUsedMB"_s},
                {u"Avg Daily MB"_s, u"AvgDailyMB"_s},
                {u"Zero Date"_s, u"ZeroDate1"_s, 10},
            }};
}

WorkbookLayout historyDetails()
{
    // The snapshot's time of day is left out; "USED TD" is upper case, unlike the grid's.
    return {u"History Details"_s,
            u"History Details"_s,
            {
                {u"System"_s, u"System"_s, 15},
                {u"Date"_s, u"Date"_s, 13},
                {u"Free %"_s, u"Free%"_s},
                {u"Used %"_s, u"Used%"_s},
                {u"Free MB"_s, u"FreeMB"_s},
                {u"Used MB"_s, u"UsedMB"_s},
                {u"Total MB"_s, u"TotalMB"_s},
                {u"USED TD"_s, u"CumUsedMB"_s},
                {u"Avg Daily MB"_s, u"AvgDailyMB"_s},
            }};
}

WorkbookLayout systems()
{
    return {u"Systems"_s,
            u"Systems"_s,
            {
                {u"System"_s, u"System"_s, 15},
                {u"Address"_s, u"Address"_s, 12},
                {u"Alert MB"_s, u"Alert1MB"_s, 12},
            }};
}

} // namespace WorkbookLayouts
