// DataSet: editing, storing and deleting rows.
#include "data/DataSet.h"

#include "data/DataSetInternal.h"
#include "data/DataSource.h"
#include "data/DbConnection.h"
#include "data/Errors.h"
#include "data/RowReader.h"
#include "data/Schema.h"
#include "data/Variant.h"

#include <QSqlQuery>

using namespace Qt::Literals::StringLiterals;
using DataSetInternal::MasterParameter;

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
    // The stored row as read, held rather than copied: a field's value is made of it only
    // when someone reads that field, and most edits change a few fields of many.
    m_editRow = m_rows->snapshot(m_pos);
    m_buffer = QList<QVariant>(fieldCount());
    m_changed.assign(m_fields.size(), false);
    setState(DataSetState::Edit);
}

void DataSet::append()
{
    requireActive();
    checkBrowseMode();
    // Rows left unread since the master moved stay unread: appending needs none of them.
    m_buffer.clear();
    m_editRow = {};
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

void DataSet::checkUnique(std::optional<qint64> ownKey)
{
    for (int i = 0; i < fieldCount(); ++i) {
        const FieldDef& def = m_fields[static_cast<size_t>(i)]->def();
        if (def.uniqueWhat.isEmpty() || Variant::isNull(bufferedRaw(i)))
            continue;
        if (ownKey && !m_changed[static_cast<size_t>(i)])
            continue;
        // Asked of the file, not of the rows read: another program may have added one. The
        // names are compared here rather than by SQLite, whose case rule knows A to Z only.
        QSqlQuery others =
            m_connection.exec(u"SELECT %1 FROM %2 WHERE rowid <> ? AND %1 IS NOT NULL"_s.arg(
                                  m_quotedColumns[i], Schema::quoted(m_table)),
                              {ownKey.value_or(-1)});
        const QString wanted = Variant::toString(bufferedRaw(i));
        bool taken = false;
        while (!taken && others.next())
            taken = others.value(0).toString().compare(wanted, Qt::CaseInsensitive) == 0;
        others.finish();
        if (taken)
            raiseNotUnique(def, bufferedRaw(i));
    }
}

void DataSet::raiseNotUnique(const FieldDef& def, const QVariant& value) const
{
    throw DatabaseError(
        u"The %1 '%2' is already in use: each %1 must be unique, and capitals "
        u"and small letters count as the same"_s.arg(def.uniqueWhat, Variant::toString(value)));
}

void DataSet::raiseWriteError(const DatabaseError& error) const
{
    // The file's own unique index says the same as the check above, in its own words.
    if (error.message().contains(u"UNIQUE constraint failed"_s)) {
        for (int i = 0; i < fieldCount(); ++i) {
            const FieldDef& def = m_fields[static_cast<size_t>(i)]->def();
            if (!def.uniqueWhat.isEmpty())
                raiseNotUnique(def, bufferedRaw(i));
        }
    }
    raise(error.message());
}

void DataSet::post()
{
    requireActive();
    if (m_state == DataSetState::Insert) {
        checkUnique(std::nullopt);
        if (m_insertSql.isEmpty()) {
            const QStringList marks(fieldCount(), u"?"_s);
            m_insertSql = u"INSERT INTO %1 (%2) VALUES (%3)"_s.arg(
                Schema::quoted(m_table), m_quotedColumns.join(u", "_s), marks.join(u", "_s));
        }
        QVariantList values;
        values.reserve(fieldCount());
        for (int i = 0; i < fieldCount(); ++i)
            values << m_buffer[i];
        DbConnection::WriteResult insert;
        try {
            insert = m_connection.write(m_insertSql, values);
        } catch (const DatabaseError& e) {
            raiseWriteError(e);
        }
        const qint64 key = insert.lastInsertId;
        if (m_rowsStale) {
            m_keyToFind = key; // the new row is current once the rows are read
        } else {
            m_rows->appendKey(key);
            m_pos = m_rows->count() - 1;
        }
        m_buffer.clear();
        m_editRow = {};
        m_changed.clear();
        setState(DataSetState::Browse);
        notifyLayout();
        notifyCursor();
        return;
    }
    if (m_state != DataSetState::Edit)
        return;
    QByteArray changedFields(fieldCount(), '0');
    QVariantList values;
    values.reserve(fieldCount() + 1);
    for (int i = 0; i < fieldCount(); ++i) {
        if (!m_changed[static_cast<size_t>(i)])
            continue;
        changedFields[i] = '1';
        values << m_buffer[i];
    }
    if (!values.isEmpty()) {
        checkUnique(m_rows->keyAt(m_pos));
        values << m_rows->keyAt(m_pos);
        QString& sql = m_updateSql[changedFields];
        if (sql.isEmpty()) {
            QStringList assignments;
            for (int i = 0; i < fieldCount(); ++i)
                if (changedFields[i] == '1')
                    assignments << m_quotedColumns[i] + u" = ?"_s;
            sql = u"UPDATE %1 SET %2 WHERE rowid = ?"_s.arg(Schema::quoted(m_table),
                                                            assignments.join(u", "_s));
        }
        DbConnection::WriteResult update;
        try {
            update = m_connection.write(sql, values);
        } catch (const DatabaseError& e) {
            raiseWriteError(e);
        }
        if (update.rowsAffected != 1)
            raise(u"Row cannot be located for updating. Some values may have been changed "
                  u"since it was last read"_s);
        // Let go of the row as read first: a page nobody else holds is changed in place.
        m_editRow = {};
        for (int i = 0; i < fieldCount(); ++i)
            if (m_changed[static_cast<size_t>(i)])
                m_rows->updateCached(m_pos, i, m_buffer[i]);
    }
    m_buffer.clear();
    m_editRow = {};
    m_changed.clear();
    setState(DataSetState::Browse);
    notifyRow(m_pos);
}

void DataSet::cancel()
{
    if (m_state == DataSetState::Insert) {
        m_buffer.clear();
        m_editRow = {};
        m_changed.clear();
        const int n = m_rows->count();
        m_pos = n == 0 ? -1 : std::clamp(m_posBeforeInsert, 0, n - 1);
        m_bof = m_eof = n == 0;
        setState(DataSetState::Browse);
        notifyLayout();
        notifyCursor();
    } else if (m_state == DataSetState::Edit) {
        m_buffer.clear();
        m_editRow = {};
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
    m_editRow = {};
    m_changed.clear();
    setState(DataSetState::Browse);
    m_rows->removeAt(m_pos);
    const int n = m_rows->count();
    m_pos = std::min(m_pos, n - 1);
    m_bof = m_eof = n == 0;
    notifyLayout();
    notifyCursor();
}

void DataSet::setCurrentValue(int fieldIndex, const QVariant& value)
{
    requireActive();
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        raise(u"Dataset not in edit or insert mode"_s);
    m_buffer[fieldIndex] = value;
    m_changed[static_cast<size_t>(fieldIndex)] = true;
    if (m_disableCount == 0) // nobody hears of it while the controls are quiet
        notifyRow(recNo());
}

void DataSet::refresh()
{
    if (!isActive())
        return;
    cancel();
    const std::optional<qint64> key = m_pos >= 0 && m_pos < m_rows->count() && !m_rowsStale
                                          ? std::optional(m_rows->keyAt(m_pos))
                                          : std::nullopt;
    const QVariantMap bound = boundParameters();
    m_boundMasterValue = bound.value(MasterParameter);
    m_rowsStale = false;
    m_rows->setParameters(bound);
    m_rows->loadKeys();
    placeAtFirst();
    if (key) {
        for (int i = 0; i < m_rows->count(); ++i)
            if (m_rows->keyAt(i) == *key) {
                m_pos = i;
                m_bof = m_eof = false;
            }
    }
    notifyLayout();
    notifyCursor();
}
