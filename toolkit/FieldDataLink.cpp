#include "toolkit/FieldDataLink.h"

#include "data/DataSet.h"
#include "data/DataSource.h"
#include "data/Errors.h"

using namespace Qt::Literals::StringLiterals;

FieldDataLink::FieldDataLink(DataSource* source, QString fieldName, QObject* parent)
    : QObject(parent)
    , m_source(source)
    , m_fieldName(std::move(fieldName))
{
    if (!source)
        return;
    const auto presented = [this] { Q_EMIT dataChanged(true); };
    connect(source, &DataSource::activeChanged, this, presented);
    connect(source, &DataSource::layoutChanged, this, presented);
    connect(source, &DataSource::cursorMoved, this, presented);
    connect(source, &DataSource::stateChanged, this, presented);
    connect(source, &DataSource::rowChanged, this, [this](int row) {
        DataSet* ds = dataSet();
        if (ds && ds->isActive() && row == ds->recNo())
            Q_EMIT dataChanged(false);
    });
}

DataSet* FieldDataLink::dataSet() const
{
    return m_source ? m_source->dataSet() : nullptr;
}

Field* FieldDataLink::field() const
{
    DataSet* ds = dataSet();
    if (!ds || !ds->isActive())
        return nullptr;
    return ds->findField(m_fieldName);
}

QVariant FieldDataLink::value() const
{
    Field* f = field();
    return f ? f->value() : QVariant();
}

void FieldDataLink::write(const QVariant& value)
{
    Field* f = field();
    if (!f)
        throw DatabaseError(u"Cannot edit %1: the dataset is closed"_s.arg(m_fieldName));
    f->dataSet().edit();
    f->setValue(value);
}

void FieldDataLink::writeText(const QString& text)
{
    Field* f = field();
    if (!f)
        throw DatabaseError(u"Cannot edit %1: the dataset is closed"_s.arg(m_fieldName));
    f->dataSet().edit();
    f->setAsString(text);
}
