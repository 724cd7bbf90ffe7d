#include "ui/MainForm.h"

#include "data/DM2.h"
#include "toolkit/DataGrid.h"
#include "views/ChartSysHistory.h"

// Forecasts are read from the history here, at startup and after every snapshot, and never
// while painting: the grid only looks up the sentence of each row's system.
void TMainForm::refreshForecasts()
{
    m_forecasts.recomputeAll(m_dm.ADOVardometer);
    GridCurrentFreeSpace->gridModel()->columnTextsChanged();
    // The system on the history chart takes its new sentence too.
    if (HistoryChartView && !HistoryChartView->CurrentSystem.isNull())
        HistoryChartView->setSubtitle(m_forecasts.sentence(HistoryChartView->CurrentSystem));
}
