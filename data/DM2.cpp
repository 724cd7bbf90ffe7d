#include "data/DM2.h"

#include "data/DatabaseOpener.h"
#include "data/Errors.h"
#include "data/Schema.h"

#include <QSqlQuery>

using namespace Qt::Literals::StringLiterals;

QString TDMVardometer::defaultFileName()
{
    return u"Vardometer.db"_s;
}

TDMVardometer::TDMVardometer(const QString& fileName, QObject* parent, LoadFor purpose)
    : QObject(parent)
    , ADOVardometer(u"ADOVardometer"_s)
    , ATblSystems(u"ATblSystems"_s, ADOVardometer)
    , ATblFreeSpaceHistory(u"ATblFreeSpaceHistory"_s, ADOVardometer)
    , ATblAlerts(u"ATblAlerts"_s, ADOVardometer)
    , ATblOptions(u"ATblOptions"_s, ADOVardometer)
    , ATblSystemPages(u"ATblSystemPages"_s, ADOVardometer)
    , ATblPages(u"ATblPages"_s, ADOVardometer)
    , ATblLog(u"ATblLog"_s, ADOVardometer)
    , ATblCredentials(u"ATblCredentials"_s, ADOVardometer)
    , AQryAlerts(u"AQryAlerts"_s, ADOVardometer)
    , AQryFreeSpaceHistory(u"AQryFreeSpaceHistory"_s, ADOVardometer)
    , AQryFreeSpaceHistoryBySystem(u"AQryFreeSpaceHistoryBySystem"_s, ADOVardometer)
    , AQrySystems(u"AQrySystems"_s, ADOVardometer)
    , SrcSystems(u"SrcSystems"_s, &ATblSystems)
    , SrcFreeSpaceHistory(u"SrcFreeSpaceHistory"_s, &AQryFreeSpaceHistoryBySystem)
    , SrcAlerts(u"SrcAlerts"_s, &ATblAlerts)
    , SrcOptions(u"SrcOptions"_s, &ATblOptions)
    , SrcCredentials(u"SrcCredentials"_s, &ATblCredentials)
{
    setObjectName(u"DMVardometer"_s);
    ADOVardometer.setFileName(fileName);
    declare();
    load(purpose);
}

TDMVardometer::~TDMVardometer()
{
    for (DataSet* ds : allDataSets())
        ds->close();
    ADOVardometer.close();
}

void TDMVardometer::declare()
{
    ATblSystems.setTableName(u"Systems"_s);
    ATblSystems.setDeclaredFields(Schema::systemsTableFields());

    ATblFreeSpaceHistory.setTableName(u"FreeSpaceHistory"_s);
    ATblFreeSpaceHistory.setDeclaredFields(Schema::historyTableFields());
    ATblFreeSpaceHistory.setMasterSource(&SrcSystems, u"System"_s, u"System"_s);

    ATblAlerts.setTableName(u"Alerts"_s);
    ATblAlerts.setDeclaredFields(Schema::alerts().columns);

    ATblOptions.setTableName(u"Options"_s);
    ATblOptions.setDeclaredFields(Schema::options().columns);

    ATblSystemPages.setTableName(u"SystemPages"_s);
    ATblSystemPages.setDeclaredFields(Schema::systemPages().columns);

    ATblPages.setTableName(u"Pages"_s);
    ATblPages.setOpenAtLoad(true);

    ATblLog.setTableName(u"Log"_s);
    ATblLog.setDeclaredFields(Schema::log().columns);

    // Open from the start, beside the classic datasets rather than among them: the Options
    // dialog edits it and nothing else opens or closes it.
    ATblCredentials.setTableName(u"Credentials"_s);
    ATblCredentials.setDeclaredFields(Schema::credentials().columns);
    ATblCredentials.setOpenAtLoad(true);

    AQryAlerts.setSql(u"Select * from Alerts;"_s);
    AQryAlerts.setDeclaredFields(Schema::alerts().columns);
    AQryAlerts.setOpenAtLoad(true);

    AQryFreeSpaceHistory.setSql(
        u"Select * from FreeSpaceHistory where System = :QSystem order by date, time;"_s);
    AQryFreeSpaceHistory.setParameter(u"QSystem"_s, QVariant());

    AQryFreeSpaceHistoryBySystem.setSql(
        u"Select * from FreeSpaceHistory order by system, date, time;"_s);
    AQryFreeSpaceHistoryBySystem.setDeclaredFields(Schema::historyQueryFields());
    AQryFreeSpaceHistoryBySystem.setOpenAtLoad(true);

    AQrySystems.setSql(u"SELECT * FROM Systems ORDER BY System;"_s);
    AQrySystems.setDeclaredFields(Schema::systems().columns);
}

void TDMVardometer::load(LoadFor purpose)
{
    DatabaseOpener::open(ADOVardometer, purpose == LoadFor::Reading ? DatabaseAccess::ReadOnly
                                                                    : DatabaseAccess::ReadWrite);
    if (purpose == LoadFor::Reading)
        return;
    try {
        // A run without a window reads the alert list beside what OpenForRuns opens, and
        // nothing else: the pages and credentials are the window's.
        for (DataSet* ds : allDataSets())
            if (ds->openAtLoad() && (purpose != LoadFor::Runs || ds == &AQryAlerts))
                ds->open();
    } catch (...) {
        for (DataSet* ds : allDataSets())
            ds->close();
        ADOVardometer.close();
        throw;
    }
}

QList<DataSet*> TDMVardometer::allDataSets()
{
    return {&ATblSystems,
            &ATblFreeSpaceHistory,
            &ATblAlerts,
            &ATblOptions,
            &ATblSystemPages,
            &ATblPages,
            &ATblLog,
            &ATblCredentials,
            &AQryAlerts,
            &AQryFreeSpaceHistory,
            &AQryFreeSpaceHistoryBySystem,
            &AQrySystems};
}

void TDMVardometer::SetAllDatasetsActive(bool active)
{
    for (DataSet* ds : {&ATblAlerts, &ATblFreeSpaceHistory, &ATblOptions, &ATblPages, &ATblSystems,
                        &ATblSystemPages, &AQryFreeSpaceHistoryBySystem})
        if (ds->isActive() != active)
            ds->setActive(active);
}

void TDMVardometer::OpenForRuns()
{
    // The systems are left to the run, which reads them once it is the file's writer:
    // reading them here as well would only be thrown away.
    for (DataSet* ds : {&ATblFreeSpaceHistory, &ATblOptions})
        ds->open();
}
