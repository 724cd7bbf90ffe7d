// The two chart pages: their widgets, the controllers startup creates for them, and the
// handlers of their own controls.
#include "ui/MainForm.h"

#include "data/DM2.h"
#include "toolkit/ErrorReport.h"
#include "views/ChartFreeSpaceSummary.h"
#include "views/ChartNav.h"
#include "views/ChartSysHistory.h"
#include "views/ChartViewport.h"

#include <QBarSet>
#include <QButtonGroup>
#include <QChart>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

void TMainForm::buildChartPages()
{
    // The summary chart fills its page, beside the scroll bar it needs with many systems;
    // the "Usage" options sit over its top-left corner.
    auto* chartPage = PagesFreeSpace->widget(PageChart);
    ChartSummary = new ChartViewport(new QChart(), chartPage);
    ChartSummary->setObjectName(u"ChartSummary"_s);
    ChartSummary->setFrameStyle(QFrame::Panel | QFrame::Raised);
    ChartSummary->setLineWidth(2);
    ChartSummaryScroll = new QScrollBar(Qt::Vertical, chartPage);
    ChartSummaryScroll->setObjectName(u"ChartSummaryScroll"_s);
    auto* chartLayout = new QHBoxLayout(chartPage);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->setSpacing(0);
    chartLayout->addWidget(ChartSummary, 1);
    chartLayout->addWidget(ChartSummaryScroll);

    GrpUsage = new QGroupBox(u"Usage"_s, ChartSummary);
    GrpUsage->setObjectName(u"GrpUsage"_s);
    GrpUsage->setGeometry(7, 1, 114, 32);
    auto* usageLayout = new QHBoxLayout(GrpUsage);
    usageLayout->setContentsMargins(6, 0, 4, 1);
    GrpUsagePercent = new QRadioButton(u"% "_s, GrpUsage);
    GrpUsagePercent->setObjectName(u"GrpUsagePercent"_s);
    GrpUsageGB = new QRadioButton(u"GB"_s, GrpUsage);
    GrpUsageGB->setObjectName(u"GrpUsageGB"_s);
    usageLayout->addWidget(GrpUsagePercent);
    usageLayout->addWidget(GrpUsageGB);
    m_usageOptions = new QButtonGroup(GrpUsage);
    m_usageOptions->addButton(GrpUsagePercent, 0);
    m_usageOptions->addButton(GrpUsageGB, 1);
    connect(m_usageOptions, &QButtonGroup::buttonClicked, this, &TMainForm::GrpUsageClick);
    // As wide as laid out; as tall as this style needs to show the options whole.
    GrpUsage->setGeometry(7, 1, 114, std::max(32, GrpUsage->sizeHint().height()));

    // The history chart fills its page; the system selector and the arrows lie over it.
    auto* systemPage = PagesFreeSpace->widget(PageSystemHistory);
    ChartSystemHistory = new ChartViewport(new QChart(), systemPage);
    ChartSystemHistory->setObjectName(u"ChartSystemHistory"_s);
    ChartSystemHistory->setFrameStyle(QFrame::NoFrame);
    auto* systemLayout = new QHBoxLayout(systemPage);
    systemLayout->setContentsMargins(0, 0, 0, 0);
    systemLayout->addWidget(ChartSystemHistory);

    GBoxSystemName = new QGroupBox(u"System Name "_s, ChartSystemHistory);
    GBoxSystemName->setObjectName(u"GBoxSystemName"_s);
    GBoxSystemName->setGeometry(0, 0, 177, 49);
    CBoxSystemName = new QComboBox(GBoxSystemName);
    CBoxSystemName->setObjectName(u"CBoxSystemName"_s);
    CBoxSystemName->setEditable(true);
    // The list holds the system names only; Return must not add what was typed.
    CBoxSystemName->setInsertPolicy(QComboBox::NoInsert);
    CBoxSystemName->setGeometry(8, 21, 161, 22);
    // Typing and picking from the list run the handler; text the program writes does not.
    connect(CBoxSystemName->lineEdit(), &QLineEdit::textEdited, this,
            &TMainForm::CBoxSystemNameChange);
    connect(CBoxSystemName, &QComboBox::textActivated, this, &TMainForm::CBoxSystemNameChange);

    BtnChartNav = new QWidget(ChartSystemHistory);
    BtnChartNav->setObjectName(u"BtnChartNav"_s);
    BtnChartNav->setGeometry(184, 5, 33, 44);
    auto* navLayout = new QVBoxLayout(BtnChartNav);
    navLayout->setContentsMargins(0, 0, 0, 0);
    navLayout->setSpacing(0);
    for (const auto& [name, arrow] : {std::pair{u"BtnChartNavUp"_s, Qt::UpArrow},
                                      std::pair{u"BtnChartNavDown"_s, Qt::DownArrow}}) {
        auto* button = new QToolButton(BtnChartNav);
        button->setObjectName(name);
        button->setArrowType(arrow);
        button->setFixedSize(33, 22);
        navLayout->addWidget(button);
        connect(button, &QToolButton::clicked, this,
                arrow == Qt::UpArrow ? &TMainForm::BtnChartNavUpClick
                                     : &TMainForm::BtnChartNavDownClick);
    }
}

void TMainForm::createChartViews()
{
    SummaryChartView = std::make_unique<dvChartFreeSpaceSummary>(ChartSummary, ChartSummaryScroll,
                                                                 m_dm.AQrySystems);
    connect(SummaryChartView.get(), &dvChartFreeSpaceSummary::clickSeries, this,
            &TMainForm::ChartSummaryClickSeries);
    SummaryChartView->RefreshSummaryChart();
    // Chosen as a user's click would choose it, so the click handler applies the mode.
    GrpUsagePercent->click();

    m_dm.ATblSystems.first();
    HistoryChartView = std::make_unique<dvChartSysHistory>(
        ChartSystemHistory, CBoxSystemName, m_dm.AQryFreeSpaceHistory, m_dm.ATblSystems);
    // Under the title, how sure the forecast is of the day the disk fills.
    HistoryChartView->subtitleFor = [this](const QString& system) {
        return m_forecasts.sentence(system);
    };
    if (!m_dm.ATblSystems.eof())
        HistoryChartView->ShowSystemHistory(m_dm.ATblSystems.fieldByName(u"System"_s).asString());
}

void TMainForm::refreshSummaryChart()
{
    if (SummaryChartView)
        SummaryChartView->RefreshSummaryChart();
    // Both runs end here with the new figures, and so does a reread of the file.
    refreshTray();
}

void TMainForm::showSystemHistory(const QString& system)
{
    if (HistoryChartView)
        HistoryChartView->ShowSystemHistory(system);
}

void TMainForm::ShowFirstSystemHistory()
{
    if (HistoryChartView)
        HistoryChartView->ShowFirstSystemHistory();
}

void TMainForm::GrpUsageClick()
{
    ErrorReport::guarded([this] {
        if (!SummaryChartView)
            return;
        if (GrpUsagePercent->isChecked())
            SummaryChartView->ApplyUsageMode(SummarySeries::UsageMode::Percentage);
        else if (GrpUsageGB->isChecked())
            SummaryChartView->ApplyUsageMode(SummarySeries::UsageMode::Gigabytes);
    });
}

void TMainForm::ChartSummaryClickSeries(QBarSet* series, int index)
{
    ErrorReport::guarded([this, series, index] {
        if (!series || !HistoryChartView || index < 0 || index >= SummaryChartView->bars().size())
            return;
        // Both series carry the system's name for the same bar.
        HistoryChartView->ShowSystemHistory(SummaryChartView->bars().at(index).label);
        PagesFreeSpace->setCurrentIndex(PageSystemHistory);
    });
}

void TMainForm::CBoxSystemNameChange()
{
    ErrorReport::guarded([this] {
        if (HistoryChartView)
            HistoryChartView->ShowSystemHistory(CBoxSystemName->currentText(),
                                                dvChartSysHistory::Selection::Keep);
    });
}

void TMainForm::BtnChartNavUpClick()
{
    ErrorReport::guarded([this] { stepSystemList(-1); });
}

void TMainForm::BtnChartNavDownClick()
{
    ErrorReport::guarded([this] { stepSystemList(1); });
}

void TMainForm::stepSystemList(int direction)
{
    const int target =
        ChartNav::target(CBoxSystemName->currentIndex(), CBoxSystemName->count(),
                         direction < 0 ? ChartNav::Direction::Up : ChartNav::Direction::Down);
    if (target < 0 || !HistoryChartView)
        return;
    {
        // Selected by the program: the change handler stays out of it.
        const QSignalBlocker quiet(CBoxSystemName);
        CBoxSystemName->setCurrentIndex(target);
    }
    HistoryChartView->ShowSystemHistory(CBoxSystemName->currentText());
}
