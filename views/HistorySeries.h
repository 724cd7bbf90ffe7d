#pragma once

#include <QColor>
#include <QList>
#include <QLocale>
#include <QString>

// The history chart's data, built without any chart: one point per snapshot in the order of
// the rows, at equal distances whatever the gaps between their dates; used space below, free
// space stacked on it, in gigabytes (megabytes / 1024, unrounded).
namespace HistorySeries {

inline const QColor UsedColor{255, 0, 0};
inline const QColor FreeColor{0, 255, 0};
inline const QColor UsedLegendColor{255, 0, 0};
inline const QColor FreeLegendColor{0, 128, 0};

struct Point {
    QString label; // the snapshot's date as the user's locale writes a short date
    double usedGB = 0;
    double freeGB = 0;
    double totalGB() const { return usedGB + freeGB; } // the top of the free area
};

// One snapshot: its stored Date (days since 30 December 1899) and megabyte figures.
Point point(double date, double usedMB, double freeMB, const QLocale& locale = QLocale());

// The date text of a stored Date; a time part, should one be there, is not shown.
QString dateLabel(double date, const QLocale& locale = QLocale());

// Every how many points a date is written along the bottom axis so that no two labels
// overlap: labels stand upright, each takes labelExtent pixels across the axis (its line
// height plus a gap), and the points are pixelsPerPoint apart. Always at least 1.
int labelStride(double pixelsPerPoint, double labelExtent);

// Whether the division lines of the areas can be drawn at every point without covering the
// areas' colours: they need a few pixels between them.
bool divisionLinesFit(double pixelsPerPoint);

// The value axis from 0 to a round figure (1, 2 or 5 times a power of ten) at or above the
// highest total, with ticks at round steps.
struct Scale {
    double maximum = 1;
    int ticks = 11;
};
Scale valueScale(const QList<Point>& points);

QString toolTip(const Point& point);

} // namespace HistorySeries
