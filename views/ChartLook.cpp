#include "views/ChartLook.h"

#include "views/ChartFrame.h"

#include <QAbstractAxis>
#include <QAbstractSeries>
#include <QChart>
#include <QLegend>
#include <QLegendMarker>
#include <QLinearGradient>
#include <QPen>

namespace ChartLook {

void prepare(QChart* chart)
{
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    chart->setBackgroundBrush(Qt::white);
    chart->setBackgroundPen(Qt::NoPen);
    chart->setPlotAreaBackgroundBrush(LeftWall);
    chart->setPlotAreaBackgroundPen(QPen(Qt::gray, 0));
    chart->setPlotAreaBackgroundVisible(true);
    QLegend* legend = chart->legend();
    legend->setAlignment(Qt::AlignBottom);
    legend->setFont(ChartFrame::chartFont());
    legend->setLabelColor(Qt::black);
    legend->setBackgroundVisible(false);
}

void styleAxis(QAbstractAxis* axis, const QColor& labelColour)
{
    axis->setLabelsFont(ChartFrame::chartFont());
    axis->setLabelsColor(labelColour);
    axis->setTitleFont(ChartFrame::chartFont());
    axis->setTitleBrush(TitleBlue);
    axis->setGridLineColor(QColor(200, 200, 200));
    axis->setLinePenColor(Qt::black);
}

QBrush cylinderBrush(const QColor& colour, Qt::Orientation across)
{
    QLinearGradient shade(0, 0, across == Qt::Horizontal ? 1 : 0, across == Qt::Vertical ? 1 : 0);
    shade.setCoordinateMode(QGradient::ObjectMode);
    shade.setColorAt(0.0, colour.darker(170));
    shade.setColorAt(0.3, colour.lighter(140));
    shade.setColorAt(0.45, colour);
    shade.setColorAt(0.6, colour);
    shade.setColorAt(1.0, colour.darker(190));
    return QBrush(shade);
}

void setLegendColours(QChart* chart, QAbstractSeries* series, const QList<QColor>& colours)
{
    const QList<QLegendMarker*> markers = chart->legend()->markers(series);
    for (qsizetype i = 0; i < markers.size() && i < colours.size(); ++i) {
        markers[i]->setBrush(colours[i]);
        markers[i]->setPen(QPen(colours[i].darker(150), 0));
        markers[i]->setLabelBrush(Qt::black);
        markers[i]->setFont(ChartFrame::chartFont());
    }
}

} // namespace ChartLook
