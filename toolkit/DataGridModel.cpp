#include "toolkit/DataGridModel.h"

#include "data/DataSet.h"
#include "data/DataSource.h"
#include "data/DisplayFormat.h"
#include "data/Errors.h"
#include "toolkit/ErrorReport.h"

#include <QFont>

using namespace Qt::Literals::StringLiterals;

DataGridModel::DataGridModel(DataSource* source, QList<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent)
    , m_source(source)
    , m_columns(std::move(columns))
{
    if (source) {
        connect(source, &DataSource::layoutChanged, this, &DataGridModel::reset);
        connect(source, &DataSource::activeChanged, this, &DataGridModel::reset);
        connect(source, &DataSource::rowChanged, this, &DataGridModel::rowChanged);
        // The row indicator shows the cursor and the dataset's state.
        connect(source, &DataSource::cursorMoved, this, [this] {
            if (m_rowCount > 0)
                Q_EMIT headerDataChanged(Qt::Vertical, 0, m_rowCount - 1);
        });
        connect(source, &DataSource::stateChanged, this, [this] {
            if (m_rowCount > 0)
                Q_EMIT headerDataChanged(Qt::Vertical, 0, m_rowCount - 1);
        });
    }
    DataSet* ds = dataSet();
    m_rowCount = ds ? ds->viewRowCount() : 0;
}

DataSet* DataGridModel::dataSet() const
{
    return m_source ? m_source->dataSet() : nullptr;
}

void DataGridModel::reset()
{
    beginResetModel();
    DataSet* ds = dataSet();
    m_rowCount = ds ? ds->viewRowCount() : 0;
    endResetModel();
}

void DataGridModel::rowChanged(int row)
{
    if (row < 0 || row >= m_rowCount) {
        // The row is new to the view (a buffer row appeared): recount.
        reset();
        return;
    }
    // Grouping reads the neighbours, so they may change with this row.
    const int top = std::max(0, row - 1);
    const int bottom = std::min(m_rowCount - 1, row + 1);
    Q_EMIT dataChanged(index(top, 0), index(bottom, columnCount() - 1));
    Q_EMIT headerDataChanged(Qt::Vertical, row, row);
}

int DataGridModel::fieldIndexOf(int column) const
{
    DataSet* ds = dataSet();
    if (!ds || !ds->isActive() || column < 0 || column >= m_columns.size())
        return -1;
    Field* f = ds->findField(m_columns[column].fieldName);
    return f ? f->index() : -1;
}

QVariant DataGridModel::value(int row, const QString& fieldName) const
{
    DataSet* ds = dataSet();
    if (!ds || !ds->isActive() || row < 0 || row >= m_rowCount)
        return {};
    Field* f = ds->findField(fieldName);
    return f ? ds->valueAt(row, f->index()) : QVariant();
}

int DataGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int DataGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

bool DataGridModel::sameGroupValue(int row, int otherRow) const
{
    if (otherRow < 0 || otherRow >= m_rowCount)
        return false;
    const QVariant a = value(row, m_groupField);
    const QVariant b = value(otherRow, m_groupField);
    return a.isNull() == b.isNull() && a == b;
}

void DataGridModel::setColumnText(const QString& fieldName, ColumnText text)
{
    m_columnTexts.insert(fieldName.toCaseFolded(), std::move(text));
}

void DataGridModel::columnTextsChanged()
{
    if (m_rowCount == 0)
        return;
    for (int column = 0; column < columnCount(); ++column)
        if (columnText(column))
            Q_EMIT dataChanged(index(0, column), index(m_rowCount - 1, column));
}

const DataGridModel::ColumnText* DataGridModel::columnText(int column) const
{
    if (column < 0 || column >= m_columns.size())
        return nullptr;
    const auto found = m_columnTexts.constFind(m_columns[column].fieldName.toCaseFolded());
    return found == m_columnTexts.constEnd() ? nullptr : &*found;
}

QVariant DataGridModel::computedData(int row, int column, const ColumnText& text, int role) const
{
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case GridRole::Raw:
        return text(*this, row);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignTop);
    case Qt::BackgroundRole:
        return colorsFor(row, column).brush;
    case Qt::ForegroundRole:
        return colorsFor(row, column).font;
    case Qt::FontRole: {
        if (!colorsFor(row, column).bold)
            return {};
        QFont font;
        font.setBold(true);
        return font;
    }
    case GridRole::MergeWithNext:
        return false;
    case GridRole::MaxLength:
        return 0;
    default:
        return {};
    }
}

CellColors DataGridModel::colorsFor(int row, int column) const
{
    CellColors colors;
    if (m_cellColors)
        m_cellColors(*this, row, m_columns[column].fieldName, colors);
    return colors;
}

QVariant DataGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rowCount)
        return {};
    const int row = index.row();
    const int fieldIndex = fieldIndexOf(index.column());
    if (fieldIndex < 0) {
        const ColumnText* text = columnText(index.column());
        DataSet* ds = dataSet();
        return text && ds && ds->isActive() ? computedData(row, index.column(), *text, role)
                                            : QVariant();
    }
    DataSet* ds = dataSet();
    Field& field = ds->field(fieldIndex);
    const bool grouped = !m_groupField.isEmpty() &&
                         field.fieldName().compare(m_groupField, Qt::CaseInsensitive) == 0;
    switch (role) {
    case Qt::DisplayRole: {
        if (grouped && row > m_firstVisibleRow && sameGroupValue(row, row - 1))
            return QString();
        if (m_columns[index.column()].masked) {
            const QVariant v = ds->valueAt(row, fieldIndex);
            return QString(v.isNull() ? 0 : v.toString().size(), u'*');
        }
        return formatDisplayText(ds->valueAt(row, fieldIndex), field.kind(), field.displayFormat());
    }
    case Qt::EditRole: {
        const QVariant v = ds->valueAt(row, fieldIndex);
        return v.isNull() ? QString() : v.toString();
    }
    case GridRole::Raw:
        return ds->valueAt(row, fieldIndex);
    case Qt::TextAlignmentRole:
        switch (field.kind()) {
        case FieldKind::Integer:
        case FieldKind::Double:
        case FieldKind::Currency:
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignTop);
        default:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignTop);
        }
    case Qt::BackgroundRole:
        return colorsFor(row, index.column()).brush;
    case Qt::ForegroundRole:
        return colorsFor(row, index.column()).font;
    case Qt::FontRole: {
        if (!colorsFor(row, index.column()).bold)
            return {};
        QFont font;
        font.setBold(true);
        return font;
    }
    case GridRole::MergeWithNext:
        return grouped && sameGroupValue(row, row + 1);
    case GridRole::Masked:
        return m_columns[index.column()].masked;
    case GridRole::MaxLength:
        return field.kind() == FieldKind::Text ? field.size() : 0;
    default:
        return {};
    }
}

QVariant DataGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        if (role != Qt::DisplayRole)
            return {};
        DataSet* ds = dataSet();
        if (!ds || !ds->isActive() || ds->recNo() != section)
            return QString();
        switch (ds->state()) {
        case DataSetState::Insert:
            return u"*"_s;
        case DataSetState::Edit:
            return u"I"_s;
        default:
            return QString(QChar(0x25B6)); // the current row's pointer
        }
    }
    if (section < 0 || section >= m_columns.size())
        return {};
    const GridColumn& column = m_columns[section];
    switch (role) {
    case Qt::DisplayRole:
        return column.title;
    case Qt::TextAlignmentRole: {
        Qt::Alignment alignment = Qt::AlignLeft;
        if (m_titleRule)
            m_titleRule(column.fieldName, alignment);
        return QVariant::fromValue(alignment | Qt::AlignVCenter);
    }
    case GridRole::GroupHeading:
        return column.groupHeading;
    case GridRole::GroupHeadingAlignment: {
        Qt::Alignment alignment = Qt::AlignHCenter;
        if (m_titleRule && !column.groupHeading.isEmpty())
            m_titleRule(column.groupHeading, alignment);
        return QVariant::fromValue(alignment | Qt::AlignVCenter);
    }
    default:
        return {};
    }
}

Qt::ItemFlags DataGridModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!m_readOnly && index.isValid() && !columnText(index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool DataGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (m_readOnly || role != Qt::EditRole || !index.isValid())
        return false;
    DataSet* ds = dataSet();
    const int fieldIndex = fieldIndexOf(index.column());
    if (!ds || fieldIndex < 0)
        return false;
    m_lastWriteRefused = false;
    try {
        if (index.row() != ds->recNo())
            ds->moveTo(index.row());
        ds->edit();
        // A refused value raises and leaves the row in edit mode for the user to correct.
        ds->field(fieldIndex).setAsString(value.toString());
    } catch (const std::exception& e) {
        m_lastWriteRefused = true;
        ErrorReport::report(e);
        return false;
    }
    return true;
}
