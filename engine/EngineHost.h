#pragma once

#include <QString>

// Everything a run drives that lives outside the engine: the main window implements it,
// vardometer-cli implements it by printing, and tests record the calls. The engine never
// reaches a widget itself.
class EngineHost {
public:
    virtual ~EngineHost() = default;

    // Hourglass while a run or the engine's construction works; every way out sets it back.
    virtual void setBusy(bool busy) = 0;

    // The snapshot's working state: the summary page in front, its progress bar, and both
    // grids kept out of the user's hands.
    virtual void showSummaryPage() = 0;
    virtual void startProgress(int maximum) = 0; // position 0, visible
    virtual void stepProgress() = 0;             // one further, never past the maximum
    virtual void hideProgress() = 0;
    virtual void holdGrids() = 0;
    virtual void releaseGrids() = 0;
    virtual void repaintHistoryGrid() = 0;

    // The navigation tree and the system list, rebuilt as a whole.
    virtual void setCompanyName(const QString& name) = 0;
    virtual void clearSystemList() = 0; // selects "System History" and empties it
    virtual void addSystem(const QString& name) = 0;

    // The two charts.
    virtual void refreshSummaryChart() = 0;
    virtual void showSystemHistory(const QString& system) = 0;

    // The history changed: the forecasts drawn from it are computed again.
    virtual void refreshForecasts() = 0;

    // A plain message captioned with the application title, such as "Mail Error: ...";
    // returns when the user has dismissed it.
    virtual void showMessage(const QString& text) = 0;
    // An error box with the error icon and a caption of its own ("Error"); returns when the
    // user has dismissed it.
    virtual void showError(const QString& caption, const QString& text) = 0;

    // While a run measures its addresses, before it writes anything: called about every
    // 20 ms with how many have answered. The window repaints and shows the count, while the
    // user's input and the timers' ticks wait for the run, as they do during any run.
    virtual void measuring(int answered, int total) = 0;
    virtual void measuringDone() = 0;

    // The scheduled runs held off while the database is away (compaction): the timers that
    // run are stopped, and on release the same ones start again, each counting afresh.
    virtual void holdTimers() = 0;
    virtual void releaseTimers() = 0;

    // The popup alert window: a new, empty window; one more stamped line at its end; and
    // showing it modally, returning when the user has closed it.
    virtual void createPopupWindow() = 0;
    virtual void appendPopupLine(const QString& stampedLine) = 0;
    virtual void showPopupWindow() = 0;
};

// A host that shows nothing: for runs without a window.
class SilentEngineHost : public EngineHost {
public:
    void setBusy(bool) override {}
    void showSummaryPage() override {}
    void startProgress(int) override {}
    void stepProgress() override {}
    void hideProgress() override {}
    void holdGrids() override {}
    void releaseGrids() override {}
    void repaintHistoryGrid() override {}
    void setCompanyName(const QString&) override {}
    void clearSystemList() override {}
    void addSystem(const QString&) override {}
    void refreshSummaryChart() override {}
    void showSystemHistory(const QString&) override {}
    void refreshForecasts() override {}
    void showMessage(const QString&) override {}
    void showError(const QString&, const QString&) override {}
    void holdTimers() override {}
    void releaseTimers() override {}
    void measuring(int, int) override {}
    void measuringDone() override {}
    void createPopupWindow() override {}
    void appendPopupLine(const QString&) override {}
    void showPopupWindow() override {}
};
