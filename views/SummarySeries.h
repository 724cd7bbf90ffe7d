#pragma once

#include <QColor>
#include <QList>
#include <QString>

// The summary chart's data, built without any chart: one bar per system, used space then
// free space, in gigabytes (megabytes / 1024, unrounded).
namespace SummarySeries {

inline const QColor UsedColor{255, 0, 0};       // every used part
inline const QColor FreeColor{0, 255, 0};       // every free part (lime)
inline const QColor UsedLegendColor{255, 0, 0}; // the legend's markers
inline const QColor FreeLegendColor{0, 128, 0};

enum class UsageMode { Percentage, Gigabytes };

struct Bar {
    QString label; // the system's name
    double usedGB = 0;
    double freeGB = 0;
    QColor usedColor = UsedColor;
    QColor freeColor = FreeColor;
    double totalGB() const { return usedGB + freeGB; }
};

// One system's bar from its stored megabyte figures.
Bar bar(const QString& system, double usedMB, double freeMB);

// The bars of systems given in ascending name order, from the bottom of the chart up: the
// name that sorts last is the bottom bar, so the chart reads in ascending order from the top.
QList<Bar> bars(const QList<Bar>& ascending);

// The lengths a bar's two parts are drawn with. In percentage mode they are shares of their
// sum; a bar whose sum is 0 has two parts of 0 and is never divided by.
struct Parts {
    double used = 0;
    double free = 0;
};
Parts parts(const Bar& bar, UsageMode mode);

QString axisTitle(UsageMode mode); // "%" or "Capacity GB"

// What hovering a bar says: the system, then used, free and total gigabytes.
QString toolTip(const Bar& bar);

} // namespace SummarySeries
