#pragma once

#include "data/FieldDef.h"

#include <QStringList>

// The tables of the database and the columns each dataset declares.
namespace Schema {

TableDef systems();          // all 26 columns, PageID last
TableDef freeSpaceHistory(); // plain columns, no display settings
TableDef alerts();
TableDef options();
TableDef systemPages();
TableDef pages();
TableDef log();         // declared by the data module, never opened, need not exist
TableDef credentials(); // logons for SMB servers, added by the first schema upgrade

// The six tables a database file must hold.
QList<TableDef> requiredTables();

// Dataset column lists where they differ from the table's.
FieldDefs systemsTableFields(); // the 25 columns without PageID
FieldDefs historyTableFields(); // as shown by the table dataset
FieldDefs historyQueryFields(); // as shown by the history-by-system query

QString quoted(const QString& identifier);
QString createTableSql(const TableDef& table);
QStringList createIndexSql();

} // namespace Schema
