#pragma once

#include "data/DataSet.h"

#include <QObject>
#include <QPointer>

// What data-aware controls bind to: it passes on its dataset's notifications, so a control
// never needs to know which dataset it shows until it asks.
class DataSource : public QObject {
    Q_OBJECT
public:
    DataSource(const QString& name, DataSet* dataSet, QObject* parent = nullptr);

    DataSet* dataSet() const { return m_dataSet; }

Q_SIGNALS:
    void activeChanged(bool active);
    void stateChanged(DataSetState state);
    void layoutChanged();
    void rowChanged(int row);
    void cursorMoved(int row);

private:
    QPointer<DataSet> m_dataSet;
};
