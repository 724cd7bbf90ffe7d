#include "views/SummarySeries.h"

#include <QLocale>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace SummarySeries {

Bar bar(const QString& system, double usedMB, double freeMB)
{
    Bar b;
    b.label = system;
    b.usedGB = usedMB / 1024.0;
    b.freeGB = freeMB / 1024.0;
    return b;
}

QList<Bar> bars(const QList<Bar>& ascending)
{
    QList<Bar> bottomUp(ascending);
    std::reverse(bottomUp.begin(), bottomUp.end());
    return bottomUp;
}

Parts parts(const Bar& bar, UsageMode mode)
{
    if (mode == UsageMode::Gigabytes)
        return {bar.usedGB, bar.freeGB};
    const double sum = bar.usedGB + bar.freeGB;
    if (sum == 0)
        return {};
    return {bar.usedGB / sum * 100.0, bar.freeGB / sum * 100.0};
}

QString axisTitle(UsageMode mode)
{
    return mode == UsageMode::Percentage ? u"%"_s : u"Capacity GB"_s;
}

QString toolTip(const Bar& bar)
{
    const QLocale locale;
    auto gb = [&locale](double v) { return locale.toString(v, 'f', 2) + u" GB"_s; };
    return u"%1\nUsed: %2\nFree: %3\nTotal: %4"_s.arg(bar.label, gb(bar.usedGB), gb(bar.freeGB),
                                                      gb(bar.totalGB()));
}

} // namespace SummarySeries
