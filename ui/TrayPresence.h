#pragma once

#include "engine/SystemStates.h"

#include <QIcon>
#include <QObject>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

// The program's place in the desktop's tray while its scheduled runs go on: a small gauge
// in the colour of the worst system (green, amber, red), a tooltip that says how many are
// in trouble, and a menu to open the window again or quit. It only shows and tells; what
// opening and quitting do is the window's.
class TrayPresence : public QObject {
    Q_OBJECT
public:
    explicit TrayPresence(QObject* parent = nullptr);
    ~TrayPresence() override;

    // Whether the desktop has a tray; asked each time it matters, since a panel can come
    // and go. The desktop's own answer unless replaced.
    void setTrayAvailable(std::function<bool()> available) { m_available = std::move(available); }
    bool trayAvailable() const { return m_available(); }

    // Shows the icon when wanted and the desktop has a tray, and takes it away otherwise.
    void setWanted(bool wanted);
    bool isShown() const;

    void setCounts(const SystemStates::Counts& counts);
    SystemState state() const { return m_state; }
    QString toolTip() const;

    // Says once per run of the program, in a balloon, that closing the window did not end it.
    void tellStillRunning();
    int stillRunningToldCount() const { return m_stillRunningTold; }

    // The gauge for a state, drawn in code at the sizes trays ask for.
    static QIcon picture(SystemState state);
    static QColor colour(SystemState state);

    QSystemTrayIcon* TrayIcon = nullptr;
    QMenu* TrayMenu = nullptr;
    QAction* TrayOpen = nullptr;
    QAction* TrayQuit = nullptr;

Q_SIGNALS:
    void openRequested();
    void quitRequested();

private:
    std::unique_ptr<QMenu> m_menu;
    std::function<bool()> m_available;
    SystemState m_state = SystemState::Ok;
    int m_stillRunningTold = 0;
};
