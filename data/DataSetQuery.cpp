// DataSet: the query text and parameters, and the link to a master dataset.
#include "data/DataSet.h"

#include "data/DataSetInternal.h"
#include "data/DataSource.h"
#include "data/DbConnection.h"
#include "data/Errors.h"
#include "data/RowReader.h"
#include "data/Schema.h"
#include "data/TableQuery.h"
#include "data/Variant.h"

using namespace Qt::Literals::StringLiterals;
using DataSetInternal::MasterParameter;

void DataSet::setTableName(const QString& table)
{
    m_table = table;
    m_sql.clear();
    m_tail.clear();
}

void DataSet::setSql(const QString& sql)
{
    const std::optional<TableQuery> query = parseTableQuery(sql);
    if (!query)
        raise(u"unsupported query: "_s + sql);
    m_sql = sql;
    m_table = query->table;
    m_tail = query->tail;
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
    // A master opened or closed has another value, or none: the rows are read again when
    // someone looks, without reading the master's row now to compare.
    connect(master, &DataSource::activeChanged, this, &DataSet::markRowsStale);
    connect(master, &DataSource::rowChanged, this, [this](int row) {
        if (m_master->dataSet()->isActive() && row == m_master->dataSet()->recNo() &&
            m_master->dataSet()->state() == DataSetState::Browse)
            masterChanged();
    });
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

void DataSet::masterChanged()
{
    if (!isActive())
        return;
    // Rows depend only on the master's value: a move to a row with the same value, or a
    // post that left it alone, changes nothing here.
    if (!m_rowsStale &&
        Variant::compare(boundParameters().value(MasterParameter), m_boundMasterValue) == 0)
        return;
    markRowsStale();
}

void DataSet::markRowsStale()
{
    if (!isActive())
        return;
    checkBrowseMode();
    m_rowsStale = true; // read lazily: a run walking the master need not pay for it
    notifyLayout();
    notifyCursor();
}
