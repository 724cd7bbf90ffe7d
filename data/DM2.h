#pragma once

#include "data/DataSet.h"
#include "data/DataSource.h"
#include "data/DbConnection.h"

#include <QObject>

// The data module: the one connection, every dataset of the program and the data sources
// the windows bind to. Constructing it loads it: the connection opens and the datasets
// marked open-at-load open; any failure there is thrown and leaves nothing open.
class TDMVardometer : public QObject {
    Q_OBJECT
public:
    static QString defaultFileName();

    // What the module is loaded for: the window, which opens every dataset marked for it;
    // a run without a window, which leaves the query over the whole history closed (on ten
    // years of snapshots it costs more to open than the whole run); or reading alone (an
    // export), which opens the file read-only and leaves every dataset to its reader.
    enum class LoadFor { Window, Runs, Reading };

    explicit TDMVardometer(const QString& fileName = defaultFileName(), QObject* parent = nullptr,
                           LoadFor purpose = LoadFor::Window);
    ~TDMVardometer() override;

    // Opens or closes, in this fixed order, the datasets the program keeps open while it
    // runs; one already in the wanted state is left alone.
    void SetAllDatasetsActive(bool active);
    // The datasets a Check Space run or a snapshot works on, for a run without a window;
    // the run opens the systems itself.
    void OpenForRuns();
    QList<DataSet*> allDataSets();

    DbConnection ADOVardometer;

    DataSet ATblSystems;
    DataSet ATblFreeSpaceHistory;
    DataSet ATblAlerts;
    DataSet ATblOptions;
    DataSet ATblSystemPages;
    DataSet ATblPages;
    DataSet ATblLog;         // declared for completeness; nothing opens it
    DataSet ATblCredentials; // logons for SMB servers, edited in the Options dialog
    DataSet AQryAlerts;
    DataSet AQryFreeSpaceHistory;
    DataSet AQryFreeSpaceHistoryBySystem;
    DataSet AQrySystems;

    DataSource SrcSystems;
    DataSource SrcFreeSpaceHistory;
    DataSource SrcAlerts;
    DataSource SrcOptions;
    DataSource SrcCredentials;

private:
    void declare();
    void load(LoadFor purpose);
};
