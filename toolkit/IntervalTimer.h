#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// A timer with the classic window-timer rules, which QTimer does not keep: setting the
// interval it already has, or enabling it when it is enabled, changes nothing and the running
// countdown goes on; a different interval, or enabling a stopped timer, starts the countdown
// afresh. It runs only while enabled with an interval other than 0, fires once per interval
// counted from the last start, and never piles ticks up: a tick that came due while the
// thread was busy arrives once, as soon as the thread takes events again (modal windows'
// event loops included).
//
// Ticks can be held, for work that must let the window repaint without letting a run start
// underneath it: a tick that comes due while held is delivered once when the hold ends.
class IntervalTimer : public QObject {
    Q_OBJECT
public:
    explicit IntervalTimer(QObject* parent = nullptr);

    int interval() const { return m_interval; }
    bool enabled() const { return m_enabled; }
    bool running() const { return m_timer.isActive(); }
    // Milliseconds until the next tick; -1 when it is not running.
    int remainingTime() const { return m_timer.remainingTime(); }

    // Milliseconds; negative values count as 0.
    void setInterval(int ms);
    void setEnabled(bool enabled);

    // Nests by counting.
    void hold();
    void release();
    bool held() const { return m_holds > 0; }

    // The handler of every tick.
    std::function<void()> onTimer;

Q_SIGNALS:
    void timeout();

private:
    void restart();
    void tick();

    QTimer m_timer;
    int m_interval = 0;
    bool m_enabled = false;
    int m_holds = 0;
    bool m_tickWhileHeld = false;
};
