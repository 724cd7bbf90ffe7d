#pragma once

#include "views/HistorySeries.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class ChartFrame;
class ChartViewport;
class DataSet;
class QAreaSeries;
class QCategoryAxis;
class QChart;
class QComboBox;
class QGraphicsItem;
class QLineSeries;
class QValueAxis;

// The system history chart's controller: one system's snapshots as two stacked areas, used
// space (red) below and free space (lime) on top, at equal distances in the order of the
// rows. Every call re-reads the history query; nothing is cached between calls.
class dvChartSysHistory : public QObject {
    Q_OBJECT
public:
    // ChartSystemHistory: the chart view on the page; CBoxSystemName: the system selector,
    // whose text every shown name is written into.
    dvChartSysHistory(ChartViewport* ChartSystemHistory, QComboBox* CBoxSystemName,
                      DataSet& AQryFreeSpaceHistory, DataSet& ATblSystems);

    // Whether showing a name also selects the selector's list item of that name: not while
    // the user is typing it, which would move the text cursor.
    enum class Selection { Follow, Keep };
    void ShowSystemHistory(const QString& name, Selection selection = Selection::Follow);
    void ShowFirstSystemHistory();

    QString ChartTitle;
    QString CurrentSystem;
    QAreaSeries* UsedSeries = nullptr;
    QAreaSeries* FreeSeries = nullptr;

    // One more line under the title, empty unless set; printed with the chart.
    void setSubtitle(const QString& line);
    QString subtitle() const;
    // Where the line under the title comes from for each system shown (the forecast's
    // sentence); no line when unset.
    std::function<QString(const QString& system)> subtitleFor;

    const QList<HistorySeries::Point>& points() const { return m_points; }
    QChart* chart() const { return m_chart; }
    ChartFrame* frame() const { return m_frame; }
    QValueAxis* valueAxis() const { return m_valueAxis; }
    QCategoryAxis* dateAxis() const { return m_dateAxis; }
    // Every how many points a date is written at the current size and zoom.
    int labelStride() const { return m_stride; }

    // The snapshot under a point of the chart, -1 when there is none.
    int pointAt(const QPointF& chartPos) const;

private:
    void showPoints();
    void updateDateLabels(bool force);

    ChartViewport* m_view;
    QChart* m_chart;
    QPointer<QComboBox> m_selector;
    DataSet& m_query;
    DataSet& m_systems;
    ChartFrame* m_frame = nullptr;
    QLineSeries* m_usedTop = nullptr;
    QLineSeries* m_freeBottom = nullptr;
    QLineSeries* m_freeTop = nullptr;
    QCategoryAxis* m_dateAxis = nullptr;
    QValueAxis* m_valueAxis = nullptr;
    QGraphicsItem* m_divisionLines = nullptr;
    QList<HistorySeries::Point> m_points;
    int m_stride = 0;
    bool m_updatingLabels = false;
};
