// The navigation tree: its fixed nodes, the system nodes the engine rebuilds, and the
// navigation a click on a node runs.
#include "ui/MainForm.h"

#include "toolkit/ErrorReport.h"
#include "ui/Pictures.h"

#include <QComboBox>
#include <QMouseEvent>
#include <QSplitter>
#include <QTabWidget>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;

void TMainForm::buildTree()
{
    TVMenu = new QTreeWidget(Splitter1);
    TVMenu->setObjectName(u"TVMenu"_s);
    TVMenu->setHeaderHidden(true);
    TVMenu->setIndentation(19);
    TVMenu->setRootIsDecorated(true);
    TVMenu->setSortingEnabled(false);
    TVMenu->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TVMenu->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* root = new QTreeWidgetItem(TVMenu, {u"Company Name"_s});
    root->setIcon(0, Pictures::icon(Pictures::Company));
    const std::array<std::pair<const char16_t*, Pictures::Picture>, 4> nodes{{
        {u"Chart", Pictures::Chart},
        {u"Summary", Pictures::Table},
        {u"History", Pictures::Table},
        {u"System History", Pictures::Systems},
    }};
    for (const auto& [text, picture] : nodes) {
        auto* node = new QTreeWidgetItem(root, {QString::fromUtf16(text)});
        node->setIcon(0, Pictures::icon(picture));
    }
    root->setExpanded(true);
    connect(TVMenu, &QTreeWidget::itemClicked, this, &TMainForm::TVMenuClick);
    connect(TVMenu, &QTreeWidget::itemDoubleClicked, this, &TMainForm::TVMenuDblClick);
    connect(TVMenu, &QTreeWidget::currentItemChanged, this, &TMainForm::TVMenuCurrentChanged);
    // A click on empty space must neither clear the selection nor go unnoticed.
    TVMenu->viewport()->installEventFilter(this);
}

void TMainForm::setCompanyName(const QString& name)
{
    TVMenu->topLevelItem(0)->setText(0, name);
}

QTreeWidgetItem* TMainForm::systemHistoryNode() const
{
    return TVMenu->topLevelItem(0)->child(3);
}

void TMainForm::clearSystemList()
{
    QTreeWidgetItem* node = systemHistoryNode();
    TVMenu->setCurrentItem(node);
    qDeleteAll(node->takeChildren());
    // Only the list goes; whatever the user typed in the edit field stays.
    const QString typed = CBoxSystemName->currentText();
    CBoxSystemName->clear();
    CBoxSystemName->setEditText(typed);
}

void TMainForm::addSystem(const QString& name)
{
    auto* node = new QTreeWidgetItem(systemHistoryNode(), {name});
    node->setIcon(0, Pictures::icon(Pictures::Chart));
    const QString typed = CBoxSystemName->currentText();
    CBoxSystemName->addItem(name);
    CBoxSystemName->setEditText(typed);
}

void TMainForm::TVMenuCurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    // The selected node's branch opens and the branch selected before closes, unless the
    // new node lies inside it.
    if (previous && previous != current) {
        bool inside = false;
        for (QTreeWidgetItem* p = current; p; p = p->parent())
            inside = inside || p == previous;
        if (!inside && previous->parent())
            previous->setExpanded(false);
    }
    if (current)
        current->setExpanded(true);
}

void TMainForm::TVMenuClick()
{
    ErrorReport::guarded([this] { TVMenuDblClick(); });
}

void TMainForm::TVMenuDblClick()
{
    ErrorReport::guarded([this] { navigateToSelectedNode(); });
}

void TMainForm::navigateToSelectedNode()
{
    QTreeWidgetItem* selected = TVMenu->currentItem();
    if (!selected || !selected->isSelected())
        return;
    // Exact, case-sensitive comparisons in this order: a system named like a page shows
    // that page.
    const QString s = selected->text(0);
    if (s == TVMenu->topLevelItem(0)->text(0) || s == u"Analysis"_s || s == u"Chart"_s) {
        PagesFreeSpace->setCurrentIndex(PageChart);
    } else if (s == u"Summary"_s) {
        PagesFreeSpace->setCurrentIndex(PageSummary);
    } else if (s == u"History"_s) {
        PagesFreeSpace->setCurrentIndex(PageHistory);
    } else if (s == u"System History"_s) {
        ShowFirstSystemHistory();
        PagesFreeSpace->setCurrentIndex(PageSystemHistory);
    } else {
        showSystemHistory(s);
        PagesFreeSpace->setCurrentIndex(PageSystemHistory);
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == TVMenu->viewport() && (event->type() == QEvent::MouseButtonPress ||
                                          event->type() == QEvent::MouseButtonDblClick ||
                                          event->type() == QEvent::MouseButtonRelease)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!TVMenu->itemAt(mouse->position().toPoint())) {
            // Empty space: the selection stays and its navigation runs again.
            if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton)
                TVMenuClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
