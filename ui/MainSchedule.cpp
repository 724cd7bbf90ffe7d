// The main window's scheduled runs: arming the two timers at startup and what each tick does.
#include "ui/MainForm.h"

#include "data/DM2.h"
#include "data/Variant.h"
#include "engine/Clock.h"
#include "engine/Directories.h"
#include "engine/Schedule.h"
#include "toolkit/DataGrid.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/IntervalTimer.h"
#include "ui/HelpWindow.h"
#include "ui/Options.h"
#include "ui/Systems.h"

#include <QCoreApplication>
#include <QLabel>

using namespace Qt::Literals::StringLiterals;

namespace {

// An empty switch counts as off.
bool isOn(const Field& field)
{
    return !field.isNull() && field.asBoolean();
}

} // namespace

void TMainForm::createTimers()
{
    TimerCheck = new IntervalTimer(this);
    TimerCheck->setObjectName(u"TimerCheck"_s);
    TimerCheck->onTimer = [this] { TimerCheckTimer(); };
    TimerLoadSpace = new IntervalTimer(this);
    TimerLoadSpace->setObjectName(u"TimerLoadSpace"_s);
    TimerLoadSpace->onTimer = [this] { TimerLoadSpaceTimer(); };
}

OptionsHooks TMainForm::optionsHooks()
{
    OptionsHooks hooks;
    hooks.engine = [this] { return m_directories.get(); };
    hooks.TimerCheck = TimerCheck;
    hooks.TimerLoadSpace = TimerLoadSpace;
    hooks.setCompanyName = [this](const QString& name) { setCompanyName(name); };
    hooks.clock = &m_clock;
    hooks.showHelp = [] { Help::showTopic(1, u"options"_s); };
    return hooks;
}

void TMainForm::ArmTimerCheck()
{
    // From the row under the Options cursor, as startup left it.
    TimerCheck->setEnabled(false);
    DataSet& options = m_dm.ATblOptions;
    if (isOn(options.fieldByName(u"TimerForCheckEnabled"_s))) {
        TimerCheck->setInterval(
            Schedule::checkIntervalMs(options.fieldByName(u"TimeIntervalForCheck"_s).asInteger()));
        TimerCheck->setEnabled(true);
    }
}

void TMainForm::ArmTimerLoadSpace()
{
    TimerLoadSpace->setEnabled(false);
    DataSet& options = m_dm.ATblOptions;
    if (isOn(options.fieldByName(u"TimerToLoadEnabled"_s))) {
        TimerLoadSpace->setInterval(Schedule::firstDelayMs(
            options.fieldByName(u"TimeToLoadFreeSpace"_s).asFloat(), m_clock.now().time()));
        TimerLoadSpace->setEnabled(true);
    }
}

bool TMainForm::storeTypedEdits()
{
    if (SystemsForm && !SystemsForm->GridSystems->commitOpenEditor())
        return false;
    // A new system whose name or address is still to come would stop the run at its row;
    // the run waits for the next tick rather than take it half typed.
    DataSet& systems = m_dm.ATblSystems;
    if (systems.isActive() && systems.state() == DataSetState::Insert && systems.modified() &&
        (systems.fieldByName(u"System"_s).isNull() || systems.fieldByName(u"Address"_s).isNull())) {
        m_statusPanels[0]->setText(u"A scheduled run waits for the new system"_s);
        return false;
    }
    return true;
}

dvDirectories* TMainForm::engineForTick()
{
    // Said once: a timer armed from the Options dialog would otherwise stack a box a tick.
    if (!m_directories && !m_tickWithoutEngineReported) {
        m_tickWithoutEngineReported = true;
        return engineForCommand();
    }
    return m_directories.get();
}

void TMainForm::TimerCheckTimer()
{
    // A failing tick is reported and the timer keeps its settings; the next tick tries again.
    ErrorReport::guarded([this] {
        dvDirectories* engine = engineForTick();
        if (!engine)
            return;
        // Moving to the first row stores an Options row the dialog holds with changes.
        DataSet& options = m_dm.ATblOptions;
        options.first();
        const int interval =
            Schedule::checkIntervalMs(options.fieldByName(u"TimeIntervalForCheck"_s).asInteger());
        if (!isOn(options.fieldByName(u"TimerForCheckEnabled"_s)) || !storeTypedEdits())
            return;
        // A scheduled check says nothing when every system is within tolerance.
        engine->CheckSpace();
        // A changed interval counts from the end of this run; an unchanged one keeps the
        // rhythm of the ticks.
        TimerCheck->setInterval(interval);
    });
}

void TMainForm::TimerLoadSpaceTimer()
{
    ErrorReport::guarded([this] {
        dvDirectories* engine = engineForTick();
        if (!engine || !storeTypedEdits())
            return;
        engine->LoadSnapshot();
        // From the first scheduled snapshot on, once a day.
        TimerLoadSpace->setInterval(Schedule::MsPerDay);
    });
}

void TMainForm::holdTimers()
{
    m_checkTimerHeld = TimerCheck->enabled();
    m_dailyTimerHeld = TimerLoadSpace->enabled();
    TimerCheck->setEnabled(false);
    TimerLoadSpace->setEnabled(false);
}

void TMainForm::releaseTimers()
{
    // Enabling a stopped timer starts its interval afresh.
    if (m_checkTimerHeld)
        TimerCheck->setEnabled(true);
    if (m_dailyTimerHeld)
        TimerLoadSpace->setEnabled(true);
}

void TMainForm::measuring(int answered, int total)
{
    // The window keeps painting while the addresses answer, but no click reaches it and no
    // tick starts a run inside this one: a tick that comes due now arrives once afterwards.
    if (!m_measuring) {
        m_measuring = true;
        TimerCheck->hold();
        TimerLoadSpace->hold();
    }
    m_statusPanels[0]->setText(u"Measured %1 of %2"_s.arg(answered).arg(total));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TMainForm::measuringDone()
{
    if (!m_measuring)
        return;
    m_measuring = false;
    m_statusPanels[0]->setText(StatusNotice);
    TimerCheck->release();
    TimerLoadSpace->release();
}
