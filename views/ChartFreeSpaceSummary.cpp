#include "views/ChartFreeSpaceSummary.h"

#include "data/DataSet.h"
#include "views/ChartFrame.h"
#include "views/ChartLook.h"
#include "views/ChartViewport.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHorizontalStackedBarSeries>
#include <QLegendMarker>
#include <QScrollBar>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;
using SummarySeries::UsageMode;

namespace {

// Bars appear one system after another, but the chart is painted at most once a display
// frame: painting it for every one of a thousand systems would take seconds.
constexpr qint64 FrameMs = 16;

// Category names must differ for the axis; two systems of the same name keep their own bars
// through a suffix that draws nothing.
QString uniqueCategory(const QString& name, const QStringList& taken)
{
    QString category = name;
    while (taken.contains(category))
        category += QChar(0x200B);
    return category;
}

} // namespace

dvChartFreeSpaceSummary::dvChartFreeSpaceSummary(ChartViewport* ChartSummary, QScrollBar* scroller,
                                                 DataSet& AQrySystems)
    : QObject(nullptr)
    , m_view(ChartSummary)
    , m_chart(ChartSummary->chart())
    , m_scroller(scroller)
    , m_query(AQrySystems)
{
    ChartLook::prepare(m_chart);
    m_frame = new ChartFrame(m_chart);
    m_frame->setTitleLines({u"Drive Summary"_s});

    m_categoryAxis = new QBarCategoryAxis(m_chart);
    ChartLook::styleAxis(m_categoryAxis, Qt::black);
    m_valueAxis = new QValueAxis(m_chart);
    ChartLook::styleAxis(m_valueAxis, Qt::black);
    m_valueAxis->setTitleText(SummarySeries::axisTitle(m_mode));
    m_valueAxis->setRange(0, 1);
    m_valueAxis->setLabelFormat(u"%g"_s);
    m_chart->addAxis(m_valueAxis, Qt::AlignBottom);
    m_chart->addAxis(m_categoryAxis, Qt::AlignLeft);

    m_series = new QHorizontalStackedBarSeries(m_chart);
    m_series->setLabelsVisible(false);
    m_series->setBarWidth(0.6);
    UsedSeries = new QBarSet(u"Used Space"_s, m_series);
    FreeSeries = new QBarSet(u"Free Space"_s, m_series);
    for (QBarSet* set : {UsedSeries, FreeSeries}) {
        const QColor colour =
            set == UsedSeries ? SummarySeries::UsedColor : SummarySeries::FreeColor;
        set->setBrush(ChartLook::cylinderBrush(colour, Qt::Vertical));
        set->setPen(QPen(colour.darker(180), 0));
        set->setLabelColor(Qt::black);
        m_series->append(set);
    }
    m_chart->addSeries(m_series);
    m_series->attachAxis(m_valueAxis);
    m_series->attachAxis(m_categoryAxis);
    ChartLook::setLegendColours(m_chart, m_series,
                                {SummarySeries::UsedLegendColor, SummarySeries::FreeLegendColor});

    m_view->setZoomSteps(8);
    m_view->setPanDirections(Qt::Vertical);
    m_view->onClick = [this](const QPointF& pos) {
        if (const auto hit = barAt(pos))
            Q_EMIT clickSeries(hit->usedPart ? UsedSeries : FreeSeries, hit->index);
    };
    m_view->toolTipAt = [this](const QPointF& pos) {
        const auto hit = barAt(pos);
        return hit ? SummarySeries::toolTip(m_bars[hit->index]) : QString();
    };
    m_view->onPan = [this](const QPointF& pixels) {
        if (m_chart->isZoomed()) {
            m_chart->scroll(0, pixels.y());
            return;
        }
        // Dragging the bars down shows the ones above.
        m_panRest += pixels.y() / MinimumBarPitch;
        const int whole = static_cast<int>(std::trunc(m_panRest));
        m_panRest -= whole;
        scrollBy(-whole);
    };
    m_view->onWheel = [this](int steps) { scrollBy(-3 * steps); };
    connect(m_chart, &QChart::plotAreaChanged, this, [this] {
        if (!m_chart->isZoomed())
            updateWindow();
    });
    if (m_scroller) {
        m_scroller->setVisible(false);
        connect(m_scroller, &QScrollBar::valueChanged, this, [this](int value) {
            const int shown = shownCount();
            showFrom(static_cast<int>(m_flushed) - shown - value);
        });
    }
}

int dvChartFreeSpaceSummary::shownCount() const
{
    const int fit =
        std::max(1, static_cast<int>(std::floor(m_chart->plotArea().height() / MinimumBarPitch)));
    return std::min(fit, static_cast<int>(m_flushed));
}

void dvChartFreeSpaceSummary::RefreshSummaryChart()
{
    m_chart->zoomReset();
    UsedSeries->remove(0, UsedSeries->count());
    FreeSeries->remove(0, FreeSeries->count());
    m_categoryAxis->clear();
    m_bars.clear();
    m_flushed = 0;
    updateWindow();

    m_query.close();
    m_query.open();
    m_query.last();
    Field& system = m_query.fieldByName(u"System"_s);
    Field& used = m_query.fieldByName(u"LastUsedMB"_s);
    Field& free = m_query.fieldByName(u"LastFreeMB"_s);
    QElapsedTimer sinceFrame;
    sinceFrame.start();
    try {
        // From the last name to the first: each bar takes the next place up the axis.
        while (!m_query.bof()) {
            m_bars << SummarySeries::bar(system.asString(), used.asFloat(), free.asFloat());
            if (sinceFrame.elapsed() >= FrameMs) {
                flush();
                paintNow();
                sinceFrame.restart();
            }
            m_query.prior();
        }
    } catch (...) {
        // The bars read before the error stay on the chart.
        flush();
        throw;
    }
    flush();
    paintNow();
    m_query.close();
}

void dvChartFreeSpaceSummary::flush()
{
    if (m_flushed == m_bars.size())
        return;
    QList<qreal> usedValues;
    QList<qreal> freeValues;
    QStringList categories = m_categoryAxis->categories();
    QStringList added;
    for (qsizetype i = m_flushed; i < m_bars.size(); ++i) {
        const SummarySeries::Parts parts = SummarySeries::parts(m_bars[i], m_mode);
        usedValues << parts.used;
        freeValues << parts.free;
        const QString category = uniqueCategory(m_bars[i].label, categories);
        categories << category;
        added << category;
    }
    m_flushed = m_bars.size();
    m_categoryAxis->append(added);
    UsedSeries->append(usedValues);
    FreeSeries->append(freeValues);
    applyValues();
}

void dvChartFreeSpaceSummary::paintNow()
{
    // The chart lays itself out on a posted request; show the bars added so far at once.
    QCoreApplication::sendPostedEvents(m_chart, QEvent::LayoutRequest);
    if (m_view->isVisible())
        m_view->viewport()->repaint();
}

void dvChartFreeSpaceSummary::ApplyUsageMode(UsageMode mode)
{
    m_mode = mode;
    m_valueAxis->setTitleText(SummarySeries::axisTitle(mode));
    QList<qreal> usedValues;
    QList<qreal> freeValues;
    for (qsizetype i = 0; i < m_flushed; ++i) {
        const SummarySeries::Parts parts = SummarySeries::parts(m_bars[i], m_mode);
        usedValues << parts.used;
        freeValues << parts.free;
    }
    UsedSeries->remove(0, UsedSeries->count());
    FreeSeries->remove(0, FreeSeries->count());
    UsedSeries->append(usedValues);
    FreeSeries->append(freeValues);
    applyValues();
}

void dvChartFreeSpaceSummary::applyValues()
{
    if (m_mode == UsageMode::Percentage) {
        m_valueAxis->setRange(0, 100);
    } else {
        double highest = 0;
        for (qsizetype i = 0; i < m_flushed; ++i)
            highest = std::max(highest, m_bars[i].totalGB());
        m_valueAxis->setRange(0, highest > 0 ? highest : 1);
        m_valueAxis->applyNiceNumbers();
    }
    m_valueAxis->setTickCount(m_mode == UsageMode::Percentage ? 11 : m_valueAxis->tickCount());
    updateWindow();
}

void dvChartFreeSpaceSummary::updateWindow()
{
    const int count = static_cast<int>(m_flushed);
    const int shown = shownCount();
    const bool scrolls = count > shown;
    if (m_scroller) {
        const QSignalBlocker quiet(m_scroller);
        m_scroller->setRange(0, std::max(0, count - shown));
        m_scroller->setPageStep(std::max(1, shown));
        m_scroller->setSingleStep(1);
        m_scroller->setVisible(scrolls);
    }
    // The top of the list stays in view: the names that sort first.
    showFrom(scrolls && m_scroller ? count - shown - m_scroller->value() : 0);
}

void dvChartFreeSpaceSummary::showFrom(int first)
{
    const int count = static_cast<int>(m_flushed);
    const QStringList categories = m_categoryAxis->categories();
    if (count == 0 || categories.size() != count)
        return;
    const int shown = shownCount();
    m_first = std::clamp(first, 0, std::max(0, count - shown));
    m_categoryAxis->setRange(categories[m_first], categories[m_first + shown - 1]);
    if (m_scroller) {
        const QSignalBlocker quiet(m_scroller);
        m_scroller->setValue(count - shown - m_first);
    }
}

void dvChartFreeSpaceSummary::scrollBy(int bars)
{
    if (bars == 0 || static_cast<int>(m_flushed) <= shownCount())
        return;
    // Up the list means towards higher indices, which stand further up the chart.
    showFrom(m_first - bars);
}

std::optional<dvChartFreeSpaceSummary::Hit>
dvChartFreeSpaceSummary::barAt(const QPointF& chartPos) const
{
    if (!m_chart->plotArea().contains(chartPos) || m_flushed == 0)
        return std::nullopt;
    const QPointF value = m_chart->mapToValue(chartPos, m_series);
    const int index = static_cast<int>(std::lround(value.y()));
    if (index < 0 || index >= m_flushed || std::abs(value.y() - index) > m_series->barWidth() / 2)
        return std::nullopt;
    const SummarySeries::Parts parts = SummarySeries::parts(m_bars[index], m_mode);
    if (value.x() < 0 || value.x() > parts.used + parts.free || parts.used + parts.free <= 0)
        return std::nullopt;
    return Hit{index, value.x() <= parts.used};
}
