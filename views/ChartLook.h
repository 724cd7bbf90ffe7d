#pragma once

#include <QBrush>
#include <QColor>
#include <QList>

class QAbstractAxis;
class QAbstractSeries;
class QChart;

// What the two charts look like beyond their data. The chart toolkit draws flat charts, so
// the three-dimensional look is given by its nearest honest equivalents: the plot's background
// stands for the light yellow left wall, the white chart behind it for the unfilled back wall,
// and a shading across each bar's thickness for a cylinder.
namespace ChartLook {

inline const QColor LeftWall{255, 255, 128};
inline const QColor Floor{255, 255, 0};
inline const QColor TitleBlue{0, 0, 255};

void prepare(QChart* chart);
void styleAxis(QAbstractAxis* axis, const QColor& labelColour);

// The series' colour in the middle of the bar, darker towards both edges, lighter just off
// the middle: a cylinder seen from the side. across is the direction of the bar's thickness.
QBrush cylinderBrush(const QColor& colour, Qt::Orientation across);

// The legend shows these colours for the series' entries, in order, whatever the series
// are painted with.
void setLegendColours(QChart* chart, QAbstractSeries* series, const QList<QColor>& colours);

} // namespace ChartLook
