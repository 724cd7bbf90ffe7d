#include "data/DataSet.h"

#include "data/DataSource.h"
#include "data/DbConnection.h"
#include "data/Errors.h"
#include "data/RowReader.h"
#include "data/Schema.h"
#include "data/Variant.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString MasterParameter = u"MasterValue__"_s;

FieldKind kindFromSqlType(const QString& type)
{
    const QString t = type.toUpper();
    if (t.contains(u"INT"_s))
        return FieldKind::Integer;
    if (t.contains(u"REAL"_s) || t.contains(u"FLOA"_s) || t.contains(u"DOUB"_s))
        return FieldKind::Double;
    return FieldKind::Text;
}

} // namespace

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

void DataSet::setTableName(const QString& table)
{
    m_table = table;
    m_sql.clear();
    m_tail.clear();
}

void DataSet::setSql(const QString& sql)
{
    static const QRegularExpression form(
        u"^\\s*select\\s+\\*\\s+from\\s+(\\w+)\\s*(.*?)\\s*;?\\s*$"_s,
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = form.match(sql);
    if (!match.hasMatch())
        raise(u"unsupported query: "_s + sql);
    m_sql = sql;
    m_table = match.captured(1);
    m_tail = match.captured(2);
}

void DataSet::setMasterSource(DataSource* master, const QString& masterField,
                              const QString& detailField)
{
    if (m_master)
        disconnect(m_master, nullptr, this, nullptr);
    m_master = master;
    m_masterField = masterField;
    m_detailField = detailField;
    if (!master)
        return;
    connect(master, &DataSource::cursorMoved, this, &DataSet::masterChanged);
    connect(master, &DataSource::layoutChanged, this, &DataSet::masterChanged);
    connect(master, &DataSource::activeChanged, this, &DataSet::masterChanged);
    connect(master, &DataSource::rowChanged, this, [this](int row) {
        if (m_master->dataSet()->isActive() && row == m_master->dataSet()->recNo() &&
            m_master->dataSet()->state() == DataSetState::Browse)
            masterChanged();
    });
}

void DataSet::setFieldDefault(const QString& fieldName, const QVariant& value)
{
    for (FieldDef& def : m_declared)
        if (def.name.compare(fieldName, Qt::CaseInsensitive) == 0)
            def.defaultValue = value;
    if (Field* live = findField(fieldName))
        live->setDefaultValue(value);
}

void DataSet::setParameter(const QString& name, const QVariant& value)
{
    m_parameters.insert(name, value);
}

QVariant DataSet::parameter(const QString& name) const
{
    return m_parameters.value(name);
}

QString DataSet::tailSql() const
{
    if (!m_sql.isEmpty())
        return m_tail;
    if (m_master) {
        const QString detail = Schema::quoted(m_detailField);
        return u"WHERE %1 = :%2 ORDER BY %1"_s.arg(detail, MasterParameter);
    }
    return u"ORDER BY rowid"_s;
}

QVariantMap DataSet::boundParameters() const
{
    QVariantMap bound = m_parameters;
    if (m_master) {
        DataSet* master = m_master->dataSet();
        QVariant value;
        if (master && master->isActive())
            value = master->fieldByName(m_masterField).value();
        bound.insert(MasterParameter, value);
    }
    return bound;
}

void DataSet::buildFields()
{
    m_fields.clear();
    m_columns.clear();
    QSqlQuery info = m_connection.exec(u"PRAGMA table_info(%1)"_s.arg(Schema::quoted(m_table)));
    QStringList names;
    QStringList types;
    while (info.next()) {
        names << info.value(1).toString();
        types << info.value(2).toString();
    }
    info.finish();
    if (names.isEmpty())
        raise(u"Table '%1' not found"_s.arg(m_table));

    auto indexOf = [&](const QString& name) {
        for (int i = 0; i < names.size(); ++i)
            if (names[i].compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    };

    FieldDefs defs;
    if (!m_declared.isEmpty()) {
        for (const FieldDef& def : std::as_const(m_declared)) {
            const int i = indexOf(def.name);
            if (i < 0)
                raise(u"Field '%1' not found"_s.arg(def.label()));
            defs << def;
            m_columns << names[i];
        }
    } else {
        // Every column of the table; known columns keep their kind, others follow the file.
        FieldDefs known;
        for (const TableDef& t : Schema::requiredTables())
            if (t.name.compare(m_table, Qt::CaseInsensitive) == 0)
                known = t.columns;
        for (int i = 0; i < names.size(); ++i) {
            FieldDef def = FieldDef::of(names[i], kindFromSqlType(types[i]));
            for (const FieldDef& k : std::as_const(known))
                if (k.name.compare(names[i], Qt::CaseInsensitive) == 0)
                    def = FieldDef::of(k.name, k.kind, k.size);
            defs << def;
            m_columns << names[i];
        }
    }
    for (int i = 0; i < defs.size(); ++i)
        m_fields.push_back(std::make_unique<Field>(*this, defs[i], i));
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
        throw;
    }
    m_rowsStale = false;
    m_buffer.clear();
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

void DataSet::masterChanged()
{
    if (!isActive())
        return;
    // Rows depend only on the master's value: a move to a row with the same value, or a
    // post that left it alone, changes nothing here.
    if (!m_rowsStale &&
        Variant::compare(boundParameters().value(MasterParameter), m_boundMasterValue) == 0)
        return;
    checkBrowseMode();
    m_rowsStale = true; // read lazily: a run walking the master need not pay for it
    notifyLayout();
    notifyCursor();
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

bool DataSet::modified() const
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return false;
    return std::find(m_changed.begin(), m_changed.end(), true) != m_changed.end();
}

void DataSet::checkBrowseMode()
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    if (modified())
        post();
    else
        cancel();
}

void DataSet::edit()
{
    requireActive();
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return;
    ensureRows();
    if (m_rows->count() == 0) {
        append();
        return;
    }
    m_buffer.clear();
    for (int i = 0; i < fieldCount(); ++i)
        m_buffer << storedValue(m_pos, i);
    m_changed.assign(m_fields.size(), false);
    setState(DataSetState::Edit);
}

void DataSet::append()
{
    requireActive();
    checkBrowseMode();
    // Rows left unread since the master moved stay unread: appending needs none of them.
    m_buffer.clear();
    for (const auto& f : m_fields)
        m_buffer << f->normalized(f->defaultValue());
    if (m_master) {
        if (Field* link = findField(m_detailField))
            m_buffer[link->index()] = boundParameters().value(MasterParameter);
    }
    // Defaults and the master link do not count as the user's changes: a new row nobody
    // typed into is dropped when the cursor moves on.
    m_changed.assign(m_fields.size(), false);
    m_posBeforeInsert = m_pos;
    m_bof = m_eof = false;
    setState(DataSetState::Insert);
    notifyLayout();
    notifyCursor();
}

void DataSet::post()
{
    requireActive();
    if (m_state == DataSetState::Insert) {
        QStringList columns;
        QStringList marks;
        QVariantList values;
        for (int i = 0; i < fieldCount(); ++i) {
            columns << Schema::quoted(m_columns[i]);
            marks << u"?"_s;
            values << m_buffer[i];
        }
        DbConnection::WriteResult insert;
        try {
            insert = m_connection.write(
                u"INSERT INTO %1 (%2) VALUES (%3)"_s.arg(
                    Schema::quoted(m_table), columns.join(u", "_s), marks.join(u", "_s)),
                values);
        } catch (const DatabaseError& e) {
            raise(e.message());
        }
        const qint64 key = insert.lastInsertId;
        if (m_rowsStale) {
            m_keyToFind = key; // the new row is current once the rows are read
        } else {
            m_rows->appendKey(key);
            m_pos = m_rows->count() - 1;
        }
        m_buffer.clear();
        m_changed.clear();
        setState(DataSetState::Browse);
        notifyLayout();
        notifyCursor();
        return;
    }
    if (m_state != DataSetState::Edit)
        return;
    QStringList assignments;
    QVariantList values;
    for (int i = 0; i < fieldCount(); ++i) {
        if (!m_changed[static_cast<size_t>(i)])
            continue;
        assignments << Schema::quoted(m_columns[i]) + u" = ?"_s;
        values << m_buffer[i];
    }
    if (!assignments.isEmpty()) {
        values << m_rows->keyAt(m_pos);
        DbConnection::WriteResult update;
        try {
            update = m_connection.write(u"UPDATE %1 SET %2 WHERE rowid = ?"_s.arg(
                                            Schema::quoted(m_table), assignments.join(u", "_s)),
                                        values);
        } catch (const DatabaseError& e) {
            raise(e.message());
        }
        if (update.rowsAffected != 1)
            raise(u"Row cannot be located for updating. Some values may have been changed "
                  u"since it was last read"_s);
        for (int i = 0; i < fieldCount(); ++i)
            if (m_changed[static_cast<size_t>(i)])
                m_rows->updateCached(m_pos, i, m_buffer[i]);
    }
    m_buffer.clear();
    m_changed.clear();
    setState(DataSetState::Browse);
    notifyRow(m_pos);
}

void DataSet::cancel()
{
    if (m_state == DataSetState::Insert) {
        m_buffer.clear();
        m_changed.clear();
        const int n = m_rows->count();
        m_pos = n == 0 ? -1 : std::clamp(m_posBeforeInsert, 0, n - 1);
        m_bof = m_eof = n == 0;
        setState(DataSetState::Browse);
        notifyLayout();
        notifyCursor();
    } else if (m_state == DataSetState::Edit) {
        m_buffer.clear();
        m_changed.clear();
        setState(DataSetState::Browse);
        notifyRow(m_pos);
    }
}

void DataSet::deleteRecord()
{
    requireActive();
    if (m_state == DataSetState::Insert) {
        cancel();
        return;
    }
    ensureRows();
    if (m_rows->count() == 0)
        raise(u"Cannot perform this operation on an empty dataset"_s);
    try {
        m_connection.write(u"DELETE FROM %1 WHERE rowid = ?"_s.arg(Schema::quoted(m_table)),
                           {m_rows->keyAt(m_pos)});
    } catch (const DatabaseError& e) {
        raise(e.message());
    }
    m_buffer.clear();
    m_changed.clear();
    setState(DataSetState::Browse);
    m_rows->removeAt(m_pos);
    const int n = m_rows->count();
    m_pos = std::min(m_pos, n - 1);
    m_bof = m_eof = n == 0;
    notifyLayout();
    notifyCursor();
}

Field* DataSet::findField(const QString& name)
{
    for (const auto& f : m_fields)
        if (f->fieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

Field& DataSet::fieldByName(const QString& name)
{
    if (Field* f = findField(name))
        return *f;
    raise(u"Field '%1' not found"_s.arg(name));
}

QVariant DataSet::storedValue(int row, int fieldIndex)
{
    const QVariant& raw = m_rows->row(row)[fieldIndex];
    try {
        return m_fields[static_cast<size_t>(fieldIndex)]->normalized(raw);
    } catch (const VardometerError&) {
        return raw; // a value the column's kind cannot hold is shown as stored
    }
}

QVariant DataSet::currentValue(int fieldIndex)
{
    requireActive();
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return m_buffer[fieldIndex];
    ensureRows();
    if (m_pos < 0)
        return QVariant();
    return storedValue(m_pos, fieldIndex);
}

void DataSet::setCurrentValue(int fieldIndex, const QVariant& value)
{
    requireActive();
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        raise(u"Dataset not in edit or insert mode"_s);
    m_buffer[fieldIndex] = value;
    m_changed[static_cast<size_t>(fieldIndex)] = true;
    notifyRow(recNo());
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
        return m_buffer[fieldIndex];
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
