#include "ui/Systems.h"

#include "data/DataSet.h"
#include "data/DataSource.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/DataGrid.h"
#include "views/GridRules.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

TSystemsForm::TSystemsForm(DataSource* SrcSystems, QWidget* parent)
    : QDialog(parent)
    , m_source(SrcSystems)
{
    setObjectName(u"SystemsForm"_s);
    setWindowTitle(u"Systems"_s);
    setSizeGripEnabled(true);
    resize(525, 426);

    GridSystems = new DataGrid(SrcSystems, GridRules::systemsColumns(), this);
    GridSystems->setObjectName(u"GridSystems"_s);
    GridSystems->setReadOnly(false);
    GridSystems->gridModel()->setTitleRule(&GridRules::systemsTitleAlignment);

    DBNavigator::Buttons buttons;
    buttons.fill(true);
    NavSystems = new DBNavigator(SrcSystems, buttons, this);
    NavSystems->setObjectName(u"NavSystems"_s);
    NavSystems->setFixedHeight(22);

    auto* bottom = new QWidget(this);
    bottom->setObjectName(u"PanelBottom"_s);
    bottom->setFixedHeight(40);
    auto* bottomLayout = new QHBoxLayout(bottom);
    OKBtn = new QPushButton(u"Close"_s, bottom);
    OKBtn->setObjectName(u"OKBtn"_s);
    OKBtn->setFixedSize(75, 25);
    OKBtn->setDefault(true);
    bottomLayout->addStretch(1);
    bottomLayout->addWidget(OKBtn);
    bottomLayout->addStretch(1);
    // "Close" runs no action of its own: the window closes with the result OK.
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(GridSystems, 1);
    layout->addWidget(NavSystems);
    layout->addWidget(bottom);
}

void TSystemsForm::dropUntouchedNewRow()
{
    DataSet* ds = m_source ? m_source->dataSet() : nullptr;
    if (ds && ds->state() == DataSetState::Insert && !ds->modified())
        ds->cancel();
}

void TSystemsForm::done(int result)
{
    // Leaving the window leaves the grid: a new row nobody typed into goes. A row with
    // changes stays in edit mode, neither stored nor dropped.
    GridSystems->closePersistentEditor(GridSystems->currentIndex());
    dropUntouchedNewRow();
    QDialog::done(result);
}

void TSystemsForm::showEvent(QShowEvent* event)
{
    // Centred the first time; later showings keep wherever the user left it.
    if (!m_placed) {
        m_placed = true;
        // Wide enough for the three columns in the font in use, so no title starts cut off.
        int columns = GridSystems->verticalHeader()->width() + 2 * GridSystems->frameWidth() +
                      GridSystems->verticalScrollBar()->sizeHint().width();
        for (int c = 0; c < GridSystems->model()->columnCount(); ++c)
            columns += GridSystems->columnWidth(c);
        resize(std::max(width(), columns + (width() - GridSystems->width())), height());
        if (QScreen* s = screen())
            move(s->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
}
