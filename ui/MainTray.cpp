// The tray icon: how the systems stand while the window is closed and the scheduled runs go
// on, and the way back to the window or out of the program.
#include "ui/MainForm.h"

#include "data/DM2.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/IntervalTimer.h"
#include "ui/TrayPresence.h"

#include <QCloseEvent>
#include <QGuiApplication>

using namespace Qt::Literals::StringLiterals;

void TMainForm::createTray()
{
    m_tray = new TrayPresence(this);
    connect(m_tray, &TrayPresence::openRequested, this, &TMainForm::TrayOpenClick);
    // Quitting from the tray is File > Exit: the program ends the way it always does.
    connect(m_tray, &TrayPresence::quitRequested, this, &TMainForm::MnuMainFileExitClick);
    ErrorReport::guarded([this] { refreshTray(); });
}

bool TMainForm::periodicRunsOn() const
{
    return TimerCheck->running() || TimerLoadSpace->running();
}

void TMainForm::refreshTray()
{
    if (!m_tray)
        return;
    SystemStates::Counts counts;
    DataSet& systems = m_dm.ATblSystems;
    if (systems.isActive()) {
        const int initialDate = systems.fieldByName(u"InitialDate"_s).index();
        const int freePercent = systems.fieldByName(u"LastFree%"_s).index();
        const int usedPercent = systems.fieldByName(u"LastUsed%"_s).index();
        const int freeMB = systems.fieldByName(u"LastFreeMB"_s).index();
        const int alertMB = systems.fieldByName(u"Alert1MB"_s).index();
        for (int row = 0; row < systems.viewRowCount(); ++row)
            counts.add(SystemStates::of(
                systems.valueAt(row, initialDate), systems.valueAt(row, freePercent),
                systems.valueAt(row, usedPercent), systems.valueAt(row, freeMB),
                systems.valueAt(row, alertMB)));
    }
    m_tray->setCounts(counts);
    // Hidden in the tray, the icon is the only way back, whatever the timers do meanwhile.
    m_tray->setWanted(m_hiddenInTray || periodicRunsOn());
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (!m_quitting && periodicRunsOn() && m_tray && m_tray->trayAvailable()) {
        ErrorReport::guarded([this] { refreshTray(); });
        if (m_tray->isShown()) {
            event->ignore();
            if (!m_hiddenInTray) {
                // A window of no owner closed while this one is away (the error box of a
                // scheduled run, shown with no window active) would otherwise count as the
                // last window closed and end the program.
                m_quitOnLastWindowClosed = QGuiApplication::quitOnLastWindowClosed();
                QGuiApplication::setQuitOnLastWindowClosed(false);
                m_hiddenInTray = true;
            }
            hide();
            m_tray->tellStillRunning();
            return;
        }
    }
    QMainWindow::closeEvent(event);
}

void TMainForm::TrayOpenClick()
{
    ErrorReport::guarded([this] {
        if (m_hiddenInTray) {
            m_hiddenInTray = false;
            QGuiApplication::setQuitOnLastWindowClosed(m_quitOnLastWindowClosed);
        }
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
        raise();
        activateWindow();
        refreshTray();
    });
}
