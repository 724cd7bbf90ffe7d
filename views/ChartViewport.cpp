#include "views/ChartViewport.h"

#include <QMouseEvent>
#include <QRubberBand>
#include <QToolTip>
#include <QWheelEvent>

namespace {

constexpr int DragThreshold = 4;

} // namespace

ChartViewport::ChartViewport(QChart* chart, QWidget* parent)
    : QChartView(chart, parent)
{
    setRubberBand(QChartView::NoRubberBand);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    setRenderHint(QPainter::Antialiasing, false);
    m_zoomTimer.setInterval(25);
    connect(&m_zoomTimer, &QTimer::timeout, this, &ChartViewport::zoomStep);
}

QPointF ChartViewport::toChart(const QPoint& viewportPos) const
{
    return chart()->mapFromScene(mapToScene(viewportPos));
}

void ChartViewport::mousePressEvent(QMouseEvent* event)
{
    m_pressPos = event->position().toPoint();
    m_lastPanPos = m_pressPos;
    m_pressedButton = event->button();
    m_dragging = false;
    event->accept();
}

void ChartViewport::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_pressedButton == Qt::NoButton) {
        const QString tip = toolTipAt ? toolTipAt(toChart(pos)) : QString();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(event->globalPosition().toPoint(), tip, this);
        return;
    }
    if (!m_dragging && (pos - m_pressPos).manhattanLength() >= DragThreshold)
        m_dragging = true;
    if (!m_dragging)
        return;
    if (m_pressedButton == Qt::LeftButton) {
        if (!m_band)
            m_band = new QRubberBand(QRubberBand::Rectangle, viewport());
        m_band->setGeometry(QRect(m_pressPos, pos).normalized());
        m_band->show();
    } else if (m_pressedButton == Qt::RightButton) {
        QPointF delta = pos - m_lastPanPos;
        m_lastPanPos = pos;
        if (!m_panDirections.testFlag(Qt::Horizontal))
            delta.setX(0);
        if (!m_panDirections.testFlag(Qt::Vertical))
            delta.setY(0);
        if (onPan)
            onPan(delta);
        else
            chart()->scroll(-delta.x(), delta.y());
    }
}

void ChartViewport::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const Qt::MouseButton button = m_pressedButton;
    const bool dragged = m_dragging;
    m_pressedButton = Qt::NoButton;
    m_dragging = false;
    if (m_band)
        m_band->hide();
    event->accept();
    if (button != Qt::LeftButton)
        return;
    if (!dragged) {
        if (onClick)
            onClick(toChart(pos));
        return;
    }
    // Down and to the right zooms in; any other way undoes the zoom.
    if (pos.x() > m_pressPos.x() && pos.y() > m_pressPos.y())
        zoomInto(QRectF(toChart(m_pressPos), toChart(pos)).normalized());
    else {
        m_zoomTimer.stop();
        chart()->zoomReset();
        Q_EMIT zoomChanged();
    }
}

void ChartViewport::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y() / 120;
    if (onWheel && steps != 0) {
        onWheel(steps);
        event->accept();
        return;
    }
    QChartView::wheelEvent(event);
}

void ChartViewport::leaveEvent(QEvent* event)
{
    QToolTip::hideText();
    QChartView::leaveEvent(event);
}

void ChartViewport::zoomInto(const QRectF& chartRect)
{
    const QRectF plot = chart()->plotArea();
    const QRectF target = chartRect.intersected(plot);
    if (target.width() < 1 || target.height() < 1)
        return;
    m_zoomTimer.stop();
    // Worked out as shares of the plot shown now, so each step is one zoomIn of the chart.
    m_zoomFrom = QRectF(0, 0, 1, 1);
    m_zoomTo = QRectF((target.left() - plot.left()) / plot.width(),
                      (target.top() - plot.top()) / plot.height(), target.width() / plot.width(),
                      target.height() / plot.height());
    m_shown = m_zoomFrom;
    m_zoomStep = 0;
    if (m_zoomSteps <= 1) {
        m_zoomStep = m_zoomSteps - 1;
        zoomStep();
        return;
    }
    m_zoomTimer.start();
    zoomStep();
}

void ChartViewport::zoomStep()
{
    ++m_zoomStep;
    const double t = static_cast<double>(m_zoomStep) / m_zoomSteps;
    auto lerp = [t](double a, double b) { return a + (b - a) * t; };
    const QRectF next(
        lerp(m_zoomFrom.left(), m_zoomTo.left()), lerp(m_zoomFrom.top(), m_zoomTo.top()),
        lerp(m_zoomFrom.width(), m_zoomTo.width()), lerp(m_zoomFrom.height(), m_zoomTo.height()));
    // The next rectangle in terms of what is shown now.
    const QRectF plot = chart()->plotArea();
    const QRectF relative((next.left() - m_shown.left()) / m_shown.width(),
                          (next.top() - m_shown.top()) / m_shown.height(),
                          next.width() / m_shown.width(), next.height() / m_shown.height());
    chart()->zoomIn(QRectF(plot.left() + relative.left() * plot.width(),
                           plot.top() + relative.top() * plot.height(),
                           relative.width() * plot.width(), relative.height() * plot.height()));
    m_shown = next;
    if (m_zoomStep >= m_zoomSteps) {
        m_zoomTimer.stop();
        Q_EMIT zoomChanged();
    }
}
