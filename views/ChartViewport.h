#pragma once

#include <QChartView>
#include <QPointer>
#include <QTimer>

#include <functional>

class QRubberBand;

// A chart on screen with the mouse handling both charts share: dragging a rectangle with the
// left button down and to the right zooms into it (in a number of animated steps), dragging
// it up or to the left undoes the zoom; dragging with the right button pans in the allowed
// directions; a left click without a drag and the pointer resting over the plot are handed to
// the chart's controller, which knows what lies there.
class ChartViewport : public QChartView {
    Q_OBJECT
public:
    explicit ChartViewport(QChart* chart, QWidget* parent = nullptr);

    void setZoomSteps(int steps) { m_zoomSteps = std::max(1, steps); }
    void setPanDirections(Qt::Orientations directions) { m_panDirections = directions; }

    // The controller's answers, in the chart's own coordinates.
    std::function<void(const QPointF& chartPos)> onClick;
    std::function<QString(const QPointF& chartPos)> toolTipAt;
    // Panning and the wheel; without a handler, panning scrolls the chart's axes.
    std::function<void(const QPointF& pixels)> onPan;
    std::function<void(int steps)> onWheel;

    // Zooms into a rectangle of the plot, in chart coordinates, as a drag would.
    void zoomInto(const QRectF& chartRect);
    bool zoomRunning() const { return m_zoomTimer.isActive(); }

Q_SIGNALS:
    void zoomChanged();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPointF toChart(const QPoint& viewportPos) const;
    void zoomStep();

    int m_zoomSteps = 1;
    Qt::Orientations m_panDirections = Qt::Horizontal | Qt::Vertical;
    QPoint m_pressPos;
    QPoint m_lastPanPos;
    Qt::MouseButton m_pressedButton = Qt::NoButton;
    bool m_dragging = false;
    QPointer<QRubberBand> m_band;

    // The zoom in progress: the target and the steps left, in the original plot's terms.
    QTimer m_zoomTimer;
    QRectF m_zoomFrom; // the part of the plot shown before the zoom, as a share of it
    QRectF m_zoomTo;
    int m_zoomStep = 0;
    QRectF m_shown; // the share of the starting plot shown now
};
