#include "toolkit/IntervalTimer.h"

IntervalTimer::IntervalTimer(QObject* parent)
    : QObject(parent)
{
    m_timer.setSingleShot(false);
    // Precise, so the countdown a caller reads back is the one it set.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &IntervalTimer::tick);
}

void IntervalTimer::restart()
{
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}

void IntervalTimer::setInterval(int ms)
{
    ms = std::max(ms, 0);
    if (ms == m_interval)
        return;
    m_interval = ms;
    restart();
}

void IntervalTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    restart();
}

void IntervalTimer::hold()
{
    ++m_holds;
}

void IntervalTimer::release()
{
    if (m_holds == 0 || --m_holds > 0 || !m_tickWhileHeld)
        return;
    m_tickWhileHeld = false;
    // Delivered from the event loop, as every tick is, not from inside the work that held it.
    QTimer::singleShot(0, this, [this] {
        if (m_enabled && m_interval > 0)
            tick();
    });
}

void IntervalTimer::tick()
{
    if (m_holds > 0) {
        m_tickWhileHeld = true;
        return;
    }
    Q_EMIT timeout();
    if (onTimer)
        onTimer();
}
