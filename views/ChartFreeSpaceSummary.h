#pragma once

#include "views/SummarySeries.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <optional>

class ChartFrame;
class ChartViewport;
class DataSet;
class QBarCategoryAxis;
class QBarSet;
class QChart;
class QHorizontalStackedBarSeries;
class QScrollBar;
class QValueAxis;

// The summary chart's controller: one horizontal bar per system, used space (red) and free
// space (lime) stacked, in gigabytes or as shares of 100 %. It re-reads the systems query at
// every refresh; the chart shows only what the series building gives.
//
// With more systems than fit at a readable thickness, the chart shows a window of them that
// the scroll bar, the wheel and vertical panning move.
class dvChartFreeSpaceSummary : public QObject {
    Q_OBJECT
public:
    // ChartSummary: the chart view on the page; scroller: the scroll bar beside it.
    dvChartFreeSpaceSummary(ChartViewport* ChartSummary, QScrollBar* scroller,
                            DataSet& AQrySystems);

    void RefreshSummaryChart();
    void ApplyUsageMode(SummarySeries::UsageMode mode);

    SummarySeries::UsageMode usageMode() const { return m_mode; }
    // From the bottom of the chart up, as the series hold them.
    const QList<SummarySeries::Bar>& bars() const { return m_bars; }
    QBarSet* UsedSeries = nullptr;
    QBarSet* FreeSeries = nullptr;
    QChart* chart() const { return m_chart; }
    ChartFrame* frame() const { return m_frame; }
    QValueAxis* valueAxis() const { return m_valueAxis; }
    QBarCategoryAxis* categoryAxis() const { return m_categoryAxis; }
    // The bars shown at once, from the bottom; all of them when they fit.
    int firstShown() const { return m_first; }
    int shownCount() const;

    // Which bar, and which of its parts, lies at a point of the chart.
    struct Hit {
        int index = -1;
        bool usedPart = true;
    };
    std::optional<Hit> barAt(const QPointF& chartPos) const;

    // Least distance between two bars' centres, so bars stay thick and names apart.
    static constexpr double MinimumBarPitch = 18.0;

Q_SIGNALS:
    // A click on either part of a bar: its series and the bar's index from the bottom.
    void clickSeries(QBarSet* series, int index);

private:
    void flush();
    void paintNow();
    void applyValues();
    void updateWindow();
    void showFrom(int first);
    void scrollBy(int bars);

    ChartViewport* m_view;
    QChart* m_chart;
    QPointer<QScrollBar> m_scroller;
    DataSet& m_query;
    ChartFrame* m_frame = nullptr;
    QHorizontalStackedBarSeries* m_series = nullptr;
    QBarCategoryAxis* m_categoryAxis = nullptr;
    QValueAxis* m_valueAxis = nullptr;
    SummarySeries::UsageMode m_mode = SummarySeries::UsageMode::Gigabytes;
    QList<SummarySeries::Bar> m_bars;
    qsizetype m_flushed = 0; // bars already handed to the chart
    int m_first = 0;
    double m_panRest = 0;
};
