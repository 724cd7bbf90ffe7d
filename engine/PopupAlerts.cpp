#include "engine/AlertStamp.h"
#include "engine/Clock.h"
#include "engine/Directories.h"
#include "engine/EngineHost.h"

#include <QScopeGuard>

void dvDirectories::ShowPopupAlerts()
{
    if (!PopupAlerts)
        return;

    // The delivery that creates or shows the window frees the state however it leaves, so
    // one failure does not silence every later popup.
    bool freesState = PopupState == 0;
    const auto backToIdle = qScopeGuard([this, &freesState] {
        if (freesState)
            PopupState = 0;
    });

    if (PopupState == 0) {
        m_host.createPopupWindow();
        PopupState = 1;
    }
    // Each line takes the time anew: a long list may straddle a second.
    for (int i = 1; i <= AlertCount; ++i)
        m_host.appendPopupLine(stampedAlertLine(m_clock.now(), alertLine(i)));

    // A run started by a timer while the window is open only adds its lines below the ones
    // shown and returns; the delivery that showed the window is still waiting for the user.
    if (PopupState < 2) {
        PopupState = 2;
        freesState = true;
        m_host.showPopupWindow();
    }
}
