#include "views/ChartSysHistory.h"

#include "data/DataSet.h"
#include "views/ChartFrame.h"
#include "views/ChartLook.h"
#include "views/ChartViewport.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGraphicsItem>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

// The areas' division lines: a thin vertical line at every point, from the floor to the top
// of the free area. Where the points stand closer than a few pixels the lines would hide the
// areas' colours, so they are left out until the user zooms in.
class DivisionLines : public QGraphicsItem {
public:
    DivisionLines(QChart* chart, QAbstractSeries* series, const QList<HistorySeries::Point>& points)
        : QGraphicsItem(chart)
        , m_chart(chart)
        , m_series(series)
        , m_points(points)
    {
        setZValue(6);
    }
    void changed()
    {
        prepareGeometryChange();
        update();
    }
    QRectF boundingRect() const override { return m_chart->plotArea(); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override
    {
        const auto* axis = qobject_cast<QValueAxis*>(m_chart->axes(Qt::Horizontal).value(0));
        const QRectF plot = m_chart->plotArea();
        if (!axis || m_points.isEmpty() || axis->max() <= axis->min())
            return;
        const double pixelsPerPoint = plot.width() / (axis->max() - axis->min());
        if (!HistorySeries::divisionLinesFit(pixelsPerPoint))
            return;
        painter->save();
        painter->setClipRect(plot);
        painter->setPen(QPen(Qt::black, 0));
        const int from = std::max(0, static_cast<int>(std::floor(axis->min())));
        const int to = std::min(static_cast<int>(m_points.size()) - 1,
                                static_cast<int>(std::ceil(axis->max())));
        for (int i = from; i <= to; ++i) {
            const QPointF floor = m_chart->mapToPosition(QPointF(i, 0), m_series);
            const QPointF top = m_chart->mapToPosition(QPointF(i, m_points[i].totalGB()), m_series);
            painter->drawLine(floor, top);
        }
        painter->restore();
    }

private:
    QChart* m_chart;
    QAbstractSeries* m_series;
    const QList<HistorySeries::Point>& m_points;
};

// Labels along the date axis must differ; a second snapshot of the same date keeps its label
// through a suffix that draws nothing.
QString uniqueLabel(const QString& label, QStringList& taken)
{
    QString unique = label;
    while (taken.contains(unique))
        unique += QChar(0x200B);
    taken << unique;
    return unique;
}

} // namespace

dvChartSysHistory::dvChartSysHistory(ChartViewport* ChartSystemHistory, QComboBox* CBoxSystemName,
                                     DataSet& AQryFreeSpaceHistory, DataSet& ATblSystems)
    : QObject(nullptr)
    , m_view(ChartSystemHistory)
    , m_chart(ChartSystemHistory->chart())
    , m_selector(CBoxSystemName)
    , m_query(AQryFreeSpaceHistory)
    , m_systems(ATblSystems)
{
    ChartLook::prepare(m_chart);
    m_frame = new ChartFrame(m_chart);
    m_frame->setTitleLines({ChartTitle});
    m_frame->setTopMarginShare(0.10);

    m_valueAxis = new QValueAxis(m_chart);
    ChartLook::styleAxis(m_valueAxis, ChartLook::TitleBlue);
    m_valueAxis->setTitleText(u"Capacilty GB"_s);
    m_valueAxis->setMin(0);
    m_valueAxis->setRange(0, 1);
    m_valueAxis->setLabelFormat(u"%g"_s);
    m_dateAxis = new QCategoryAxis(m_chart);
    ChartLook::styleAxis(m_dateAxis, Qt::black);
    m_dateAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_dateAxis->setStartValue(-1);
    m_dateAxis->setLabelsAngle(-90);
    // Thinned so they never overlap, the dates are always written out in full.
    m_dateAxis->setTruncateLabels(false);
    m_dateAxis->setGridLineVisible(false);
    m_dateAxis->setLinePen(QPen(ChartLook::Floor, 2));
    m_dateAxis->setRange(0, 1);
    m_chart->addAxis(m_dateAxis, Qt::AlignBottom);
    m_chart->addAxis(m_valueAxis, Qt::AlignLeft);

    m_usedTop = new QLineSeries(m_chart);
    m_freeBottom = new QLineSeries(m_chart);
    m_freeTop = new QLineSeries(m_chart);
    UsedSeries = new QAreaSeries(m_usedTop);
    UsedSeries->setParent(m_chart);
    FreeSeries = new QAreaSeries(m_freeTop, m_freeBottom);
    FreeSeries->setParent(m_chart);
    UsedSeries->setName(u"Used Space"_s);
    FreeSeries->setName(u"Free Space"_s);
    UsedSeries->setBrush(HistorySeries::UsedColor);
    FreeSeries->setBrush(HistorySeries::FreeColor);
    for (QAreaSeries* area : {UsedSeries, FreeSeries}) {
        area->setPen(QPen(Qt::black, 0));
        m_chart->addSeries(area);
        area->attachAxis(m_dateAxis);
        area->attachAxis(m_valueAxis);
    }
    ChartLook::setLegendColours(m_chart, UsedSeries, {HistorySeries::UsedLegendColor});
    ChartLook::setLegendColours(m_chart, FreeSeries, {HistorySeries::FreeLegendColor});
    auto* lines = new DivisionLines(m_chart, UsedSeries, m_points);
    m_divisionLines = lines;

    m_view->setZoomSteps(1);
    m_view->setPanDirections(Qt::Horizontal | Qt::Vertical);
    m_view->toolTipAt = [this](const QPointF& pos) {
        const int i = pointAt(pos);
        return i < 0 ? QString() : HistorySeries::toolTip(m_points[i]);
    };
    auto relabel = [this, lines] {
        lines->changed();
        updateDateLabels(false);
    };
    connect(m_chart, &QChart::plotAreaChanged, this, relabel);
    connect(m_dateAxis, &QValueAxis::rangeChanged, this, relabel);
}

void dvChartSysHistory::setSubtitle(const QString& line)
{
    m_frame->setSubtitle(line);
}

QString dvChartSysHistory::subtitle() const
{
    return m_frame->subtitle();
}

void dvChartSysHistory::ShowFirstSystemHistory()
{
    m_systems.first();
    if (!m_systems.eof())
        ShowSystemHistory(m_systems.fieldByName(u"System"_s).asString());
}

void dvChartSysHistory::ShowSystemHistory(const QString& name, Selection selection)
{
    m_points.clear();
    showPoints();
    ChartTitle = name + u" History"_s;
    CurrentSystem = name;
    if (m_selector) {
        // Written by the program, so the selector's change handler does not run.
        const QSignalBlocker quiet(m_selector);
        if (selection == Selection::Follow) {
            const int item = m_selector->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (item >= 0 && item != m_selector->currentIndex())
                m_selector->setCurrentIndex(item);
        }
        if (m_selector->currentText() != name)
            m_selector->setEditText(name);
    }
    m_frame->setTitleLines({ChartTitle});
    m_frame->setSubtitle(subtitleFor ? subtitleFor(name) : QString());

    m_query.close();
    m_query.setParameter(u"QSystem"_s, CurrentSystem);
    m_query.open();
    try {
        Field& date = m_query.fieldByName(u"Date"_s);
        Field& free = m_query.fieldByName(u"FreeMB"_s);
        Field& used = m_query.fieldByName(u"UsedMB"_s);
        const QLocale locale;
        m_query.first();
        while (!m_query.eof()) {
            const double freeMB = free.asFloat();
            m_points << HistorySeries::point(date.asFloat(), used.asFloat(), freeMB, locale);
            m_query.next();
        }
    } catch (...) {
        // The snapshots read before the error stay on the chart.
        showPoints();
        throw;
    }
    showPoints();
    m_query.close();
}

void dvChartSysHistory::showPoints()
{
    // The axes first, while the areas are still empty: each change of either redraws every
    // point of both areas, which for years of snapshots costs more than all the rest.
    m_chart->zoomReset();
    if (!m_points.isEmpty()) {
        const double last = static_cast<double>(m_points.size() - 1);
        if (m_points.size() > 1)
            m_dateAxis->setRange(0, last);
        else
            m_dateAxis->setRange(-0.5, 0.5);
        const HistorySeries::Scale scale = HistorySeries::valueScale(m_points);
        m_valueAxis->setRange(0, scale.maximum);
        m_valueAxis->setTickCount(scale.ticks);
    } else {
        m_dateAxis->setRange(0, 1);
        m_valueAxis->setRange(0, 1);
    }
    updateDateLabels(true);

    QList<QPointF> used;
    QList<QPointF> total;
    used.reserve(m_points.size());
    total.reserve(m_points.size());
    for (qsizetype i = 0; i < m_points.size(); ++i) {
        used << QPointF(static_cast<double>(i), m_points[i].usedGB);
        total << QPointF(static_cast<double>(i), m_points[i].totalGB());
    }
    m_usedTop->replace(used);
    m_freeBottom->replace(used);
    m_freeTop->replace(total);
    // A single snapshot spans no width; its points at least show where it stands.
    for (QAreaSeries* area : {UsedSeries, FreeSeries})
        area->setPointsVisible(m_points.size() == 1);
    QCoreApplication::sendPostedEvents(m_chart, QEvent::LayoutRequest);
    m_view->viewport()->update();
}

void dvChartSysHistory::updateDateLabels(bool force)
{
    if (m_updatingLabels)
        return;
    const double span = m_dateAxis->max() - m_dateAxis->min();
    const double width = m_chart->plotArea().width();
    const double extent = QFontMetricsF(ChartFrame::chartFont()).lineSpacing() + 4;
    const int stride =
        HistorySeries::labelStride(span > 0 && width > 0 ? width / std::max(span, 1.0) : 1, extent);
    if (!force && stride == m_stride)
        return;
    m_updatingLabels = true;
    m_stride = stride;
    for (const QString& label : m_dateAxis->categoriesLabels())
        m_dateAxis->remove(label);
    QStringList taken;
    for (qsizetype i = 0; i < m_points.size(); i += stride)
        m_dateAxis->append(uniqueLabel(m_points[i].label, taken), static_cast<double>(i));
    m_updatingLabels = false;
}

int dvChartSysHistory::pointAt(const QPointF& chartPos) const
{
    if (m_points.isEmpty() || !m_chart->plotArea().contains(chartPos))
        return -1;
    const QPointF value = m_chart->mapToValue(chartPos, UsedSeries);
    const long i = std::lround(value.x());
    return i >= 0 && i < m_points.size() ? static_cast<int>(i) : -1;
}
