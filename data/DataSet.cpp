#include "data/DataSet.h"

#include "data/DataSetInternal.h"
#include "data/DataSource.h"
#include "data/DbConnection.h"
#include "data/Errors.h"
#include "data/RowReader.h"
#include "data/Variant.h"

using namespace Qt::Literals::StringLiterals;
using DataSetInternal::MasterParameter;

DataSet::DataSet(const QString& name, DbConnection& connection, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
{
    setObjectName(name);
}

DataSet::~DataSet() = default;

void DataSet::raise(const QString& text) const
{
    throw DatabaseError(objectName() + u": "_s + text);
}

void DataSet::open()
{
    if (isActive())
        return;
    if (m_table.isEmpty())
        raise(u"No table or query is set"_s);
    if (!m_connection.isConnected())
        raise(u"the database is not connected"_s);
    try {
        buildFields();
        m_rows = std::make_unique<RowReader>(m_connection, m_table, m_columns);
        m_rows->setTail(tailSql());
        const QVariantMap bound = boundParameters();
        m_boundMasterValue = bound.value(MasterParameter);
        m_rows->setParameters(bound);
        m_rows->loadKeys();
    } catch (...) {
        m_rows.reset();
        m_fields.clear();
        m_fieldsByText.clear();
        throw;
    }
    m_rowsStale = false;
    m_buffer.clear();
    m_editRow = {};
    setState(DataSetState::Browse);
    placeAtFirst();
    Q_EMIT activeChanged(true);
    notifyLayout();
    notifyCursor();
}

void DataSet::close()
{
    if (!isActive())
        return;
    // A pending edit is dropped, never saved, when the dataset closes.
    m_buffer.clear();
    m_editRow = {};
    m_changed.clear();
    m_rows.reset();
    m_pos = -1;
    m_bof = m_eof = true;
    setState(DataSetState::Inactive);
    Q_EMIT activeChanged(false);
    notifyLayout();
    notifyCursor();
}

void DataSet::setActive(bool active)
{
    if (active)
        open();
    else
        close();
}

void DataSet::setState(DataSetState state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

void DataSet::requireActive() const
{
    if (!isActive())
        raise(u"Cannot perform this operation on a closed dataset"_s);
}

void DataSet::ensureRows()
{
    if (!m_rowsStale || !m_rows)
        return;
    m_rowsStale = false;
    const QVariantMap bound = boundParameters();
    m_boundMasterValue = bound.value(MasterParameter);
    m_rows->setParameters(bound);
    m_rows->loadKeys();
    placeAtFirst();
    if (m_keyToFind) {
        for (int i = 0; i < m_rows->count(); ++i)
            if (m_rows->keyAt(i) == *m_keyToFind)
                m_pos = i;
        m_bof = m_pos == 0;
        m_keyToFind.reset();
    }
}

void DataSet::placeAtFirst()
{
    const int n = m_rows ? m_rows->count() : 0;
    m_pos = n > 0 ? 0 : -1;
    m_bof = true;
    m_eof = n == 0;
}

void DataSet::first()
{
    requireActive();
    checkBrowseMode();
    ensureRows();
    placeAtFirst();
    notifyCursor();
}

void DataSet::last()
{
    requireActive();
    checkBrowseMode();
    ensureRows();
    const int n = m_rows->count();
    m_pos = n - 1;
    m_eof = true;
    m_bof = n == 0;
    notifyCursor();
}

void DataSet::next()
{
    requireActive();
    checkBrowseMode();
    ensureRows();
    // A step that cannot be taken still leaves the other end: after next() on the only
    // row, prior() must report bof alone, not bof and eof together as an empty dataset.
    if (m_eof)
        return;
    m_bof = false;
    if (m_pos + 1 < m_rows->count()) {
        ++m_pos;
        notifyCursor();
    } else {
        m_eof = true;
    }
}

void DataSet::prior()
{
    requireActive();
    checkBrowseMode();
    ensureRows();
    if (m_bof)
        return;
    m_eof = false;
    if (m_pos > 0) {
        --m_pos;
        notifyCursor();
    } else {
        m_bof = true;
    }
}

void DataSet::moveTo(int row)
{
    requireActive();
    checkBrowseMode();
    ensureRows();
    if (row < 0 || row >= m_rows->count())
        raise(u"row %1 is out of range"_s.arg(row));
    if (row == m_pos)
        return;
    m_pos = row;
    m_bof = m_eof = false;
    notifyCursor();
}

bool DataSet::eof()
{
    if (!isActive())
        return true;
    ensureRows();
    return m_eof;
}

bool DataSet::bof()
{
    if (!isActive())
        return true;
    ensureRows();
    return m_bof;
}

int DataSet::recordCount()
{
    if (!isActive())
        return 0;
    ensureRows();
    return m_rows->count();
}

int DataSet::recNo()
{
    if (!isActive())
        return -1;
    ensureRows();
    return m_state == DataSetState::Insert ? m_rows->count() : m_pos;
}

QVariant DataSet::storedValue(int row, int fieldIndex)
{
    const QVariant raw = m_rows->value(row, fieldIndex);
    try {
        return m_fields[static_cast<size_t>(fieldIndex)]->normalized(raw);
    } catch (const VardometerError&) {
        return raw; // a value the column's kind cannot hold is shown as stored
    }
}

std::optional<qint64> DataSet::currentKey()
{
    if (!isActive() || m_state == DataSetState::Insert)
        return std::nullopt;
    ensureRows();
    if (m_pos < 0 || m_pos >= m_rows->count())
        return std::nullopt;
    return m_rows->keyAt(m_pos);
}

bool DataSet::moveToKey(qint64 key)
{
    if (!isActive())
        return false;
    ensureRows();
    for (int i = 0; i < m_rows->count(); ++i)
        if (m_rows->keyAt(i) == key) {
            moveTo(i);
            return true;
        }
    return false;
}

QVariant DataSet::bufferedRaw(int fieldIndex) const
{
    // In edit mode a field nobody has written still holds the value as read from the file.
    if (m_state != DataSetState::Edit || m_changed[static_cast<size_t>(fieldIndex)])
        return m_buffer[fieldIndex];
    return m_editRow.value(fieldIndex);
}

QVariant DataSet::bufferValue(int fieldIndex) const
{
    if (m_state != DataSetState::Edit || m_changed[static_cast<size_t>(fieldIndex)])
        return m_buffer[fieldIndex];
    const QVariant raw = m_editRow.value(fieldIndex);
    try {
        return m_fields[static_cast<size_t>(fieldIndex)]->normalized(raw);
    } catch (const VardometerError&) {
        return raw;
    }
}

QVariant DataSet::currentValue(int fieldIndex)
{
    requireActive();
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return bufferValue(fieldIndex);
    ensureRows();
    if (m_pos < 0)
        return QVariant();
    return storedValue(m_pos, fieldIndex);
}

int DataSet::viewRowCount()
{
    if (!isActive())
        return 0;
    ensureRows();
    return m_rows->count() + (m_state == DataSetState::Insert ? 1 : 0);
}

QVariant DataSet::valueAt(int row, int fieldIndex)
{
    if (!isActive())
        return QVariant();
    ensureRows();
    if ((m_state == DataSetState::Edit && row == m_pos) ||
        (m_state == DataSetState::Insert && row == m_rows->count()))
        return bufferValue(fieldIndex);
    if (row < 0 || row >= m_rows->count())
        return QVariant();
    return storedValue(row, fieldIndex);
}

void DataSet::disableControls()
{
    ++m_disableCount;
}

void DataSet::enableControls()
{
    if (m_disableCount == 0 || --m_disableCount > 0)
        return;
    Q_EMIT layoutChanged();
    Q_EMIT cursorMoved(m_rowsStale ? -1 : recNo());
}

void DataSet::notifyLayout()
{
    if (m_disableCount == 0)
        Q_EMIT layoutChanged();
}

void DataSet::notifyRow(int row)
{
    if (m_disableCount == 0)
        Q_EMIT rowChanged(row);
}

void DataSet::notifyCursor()
{
    // A detail whose master moved says so without reading its rows: they are read when
    // someone looks, not on every step of a run that walks the master.
    if (m_disableCount == 0)
        Q_EMIT cursorMoved(m_rowsStale ? -1 : recNo());
}
