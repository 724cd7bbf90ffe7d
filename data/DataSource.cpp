#include "data/DataSource.h"

DataSource::DataSource(const QString& name, DataSet* dataSet, QObject* parent)
    : QObject(parent)
    , m_dataSet(dataSet)
{
    setObjectName(name);
    connect(dataSet, &DataSet::activeChanged, this, &DataSource::activeChanged);
    connect(dataSet, &DataSet::stateChanged, this, &DataSource::stateChanged);
    connect(dataSet, &DataSet::layoutChanged, this, &DataSource::layoutChanged);
    connect(dataSet, &DataSet::rowChanged, this, &DataSource::rowChanged);
    connect(dataSet, &DataSet::cursorMoved, this, &DataSource::cursorMoved);
}
