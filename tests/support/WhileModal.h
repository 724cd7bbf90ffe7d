#pragma once

#include <QApplication>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

// Runs inside once a modal window is up, from within that window's own event loop, so a
// test can look at and work a dialog that its command shows with exec(). Arm it, then run
// the command; inside gets the modal window and must close it.
class WhileModal {
public:
    explicit WhileModal(std::function<void(QWidget* modal)> inside)
        : m_inside(std::move(inside))
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || m_ran)
                return;
            m_ran = true;
            m_timer.stop();
            QPointer<QWidget> shown(modal);
            m_inside(modal);
            // A check that failed inside returned before closing it: close it, so the test
            // reports the failure instead of waiting for ever.
            if (shown && shown->isVisible())
                shown->close();
        });
        m_timer.start(5);
    }
    bool ran() const { return m_ran; }

private:
    std::function<void(QWidget*)> m_inside;
    QTimer m_timer;
    bool m_ran = false;
};
