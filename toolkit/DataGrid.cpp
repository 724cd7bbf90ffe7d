#include "toolkit/DataGrid.h"

#include "data/DataSet.h"
#include "data/DataSource.h"
#include "toolkit/DataGridDelegate.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/GroupHeaderView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>

DataGrid::DataGrid(DataSource* source, QList<GridColumn> columns, QWidget* parent)
    : QTableView(parent)
    , m_model(new DataGridModel(source, std::move(columns), this))
{
    setHorizontalHeader(new GroupHeaderView(this));
    setModel(m_model);
    setItemDelegate(new DataGridDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setShowGrid(false); // the delegate draws the lines, so runs can leave theirs out
    setWordWrap(true);
    setTabKeyNavigation(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The row indicator: narrow, one pointer at the current row. Fixed row heights keep a
    // view over millions of rows from measuring any of them.
    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setFixedWidth(14);
    rows->setDefaultAlignment(Qt::AlignCenter);
    rows->setSectionsClickable(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);

    if (source) {
        connect(source, &DataSource::cursorMoved, this, [this] { followCursor(); });
        connect(source, &DataSource::layoutChanged, this, [this] { followCursor(); });
    }
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        updateFirstVisibleRow();
        // New figures may want more room than the old ones.
        if (m_stretch && isVisible())
            fitColumnsToWidth();
    });
    applyColumnWidths();
    followCursor();
}

void DataGrid::setLines(bool columnLines, bool rowLines)
{
    m_columnLines = columnLines;
    m_rowLines = rowLines;
    viewport()->update();
}

void DataGrid::setTwoTitleLines(bool on)
{
    static_cast<GroupHeaderView*>(horizontalHeader())->setTwoLines(on);
}

void DataGrid::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        applyColumnWidths();
}

void DataGrid::applyColumnWidths()
{
    verticalHeader()->setMinimumSectionSize(fontMetrics().height() + 2);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    const int zero = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const auto& columns = m_model->columns();
    for (int c = 0; c < columns.size(); ++c)
        setColumnWidth(c, columns[c].widthChars * zero + 4);
}

void DataGrid::followCursor()
{
    DataSet* ds = m_model->dataSet();
    const int row = ds && ds->isActive() && !ds->controlsDisabled() ? ds->recNo() : -1;
    if (row < 0 || row >= m_model->rowCount()) {
        if (onRowChanged)
            onRowChanged();
        return;
    }
    const int column = std::max(0, currentIndex().column());
    if (currentIndex().row() != row) {
        m_following = true;
        setCurrentIndex(m_model->index(row, column));
        m_following = false;
    }
    updateFirstVisibleRow();
}

void DataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (!m_following && current.isValid() && current.row() != previous.row()) {
        DataSet* ds = m_model->dataSet();
        if (ds && ds->isActive() && current.row() != ds->recNo()) {
            try {
                ds->moveTo(current.row());
            } catch (const std::exception& e) {
                // The dataset stayed where it was (a pending row could not be stored): so
                // does the grid.
                followCursor();
                ErrorReport::report(e);
                return;
            }
        }
    }
    updateFirstVisibleRow();
    if (current.row() != previous.row() && onRowChanged)
        onRowChanged();
}

void DataGrid::updateFirstVisibleRow()
{
    const int top = rowAt(0);
    m_model->setFirstVisibleRow(std::max(0, top));
}

void DataGrid::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    if (dy != 0) {
        updateFirstVisibleRow();
        // Shading and grouping are tied to the screen position: every visible row changes.
        viewport()->update();
        if (onRowChanged)
            onRowChanged();
    }
}

void DataGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    if (m_stretch)
        fitColumnsToWidth();
    updateFirstVisibleRow();
}

void DataGrid::fitColumnsToWidth()
{
    // The columns fill the grid's width and keep their proportions, including any width
    // the user gave a column by hand. Narrower than they were laid out for, they share the
    // width by their laid-out proportions, but none goes below what its title and the rows
    // in view need: a squeezed column would cut its figures short ("182,..." for 182,797),
    // so the grid scrolls a little instead.
    const int width = viewport()->width();
    const int count = m_model->columnCount();
    if (width <= 0 || count == 0)
        return;
    const int zero = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const auto& columns = m_model->columns();
    int designedTotal = 0;
    for (const GridColumn& column : columns)
        designedTotal += column.widthChars * zero + 4;
    if (width < designedTotal) {
        const double factor = static_cast<double>(width) / designedTotal;
        for (int c = 0; c < count; ++c) {
            const int designed = columns[c].widthChars * zero + 4;
            const int needed =
                std::max(horizontalHeader()->sectionSizeHint(c), sizeHintForColumn(c));
            setColumnWidth(c, std::max({8, static_cast<int>(designed * factor),
                                        std::min(2 * designed, needed)}));
        }
        return;
    }
    int total = 0;
    for (int c = 0; c < count; ++c)
        total += columnWidth(c);
    if (total <= 0 || total == width)
        return;
    const double factor = static_cast<double>(width) / total;
    int used = 0;
    for (int c = 0; c < count; ++c) {
        const int w =
            c + 1 == count ? width - used : std::max(8, static_cast<int>(columnWidth(c) * factor));
        setColumnWidth(c, w);
        used += w;
    }
}

void DataGrid::cancelUntouchedInsert()
{
    DataSet* ds = m_model->dataSet();
    if (ds && ds->state() == DataSetState::Insert && !ds->modified())
        ds->cancel();
}

void DataGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    // Leaving the grid (not for its own in-place editor) drops a new row nobody typed into.
    QWidget* next = QApplication::focusWidget();
    if (!m_model->readOnly() && (!next || !isAncestorOf(next)) && next != this)
        cancelUntouchedInsert();
}

void DataGrid::setReadOnly(bool readOnly)
{
    m_model->setReadOnly(readOnly);
    setEditTriggers(readOnly
                        ? QAbstractItemView::NoEditTriggers
                        : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed);
}

void DataGrid::keyPressEvent(QKeyEvent* event)
{
    // Escape outside an in-place editor discards the current row's changes.
    if (event->key() == Qt::Key_Escape && !m_model->readOnly() &&
        state() != QAbstractItemView::EditingState) {
        if (DataSet* ds = m_model->dataSet(); ds && ds->isActive()) {
            ds->cancel();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

bool DataGrid::commitOpenEditor()
{
    if (state() != QAbstractItemView::EditingState)
        return true;
    auto* editor = findChild<QWidget*>(QStringLiteral("InplaceEditor"));
    if (!editor || !editor->isVisible())
        return true;
    commitData(editor);
    if (m_model->lastWriteRefused())
        return false;
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}
