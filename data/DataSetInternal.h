#pragma once

#include <QString>

// Shared by the files that make up DataSet; not part of its interface.
namespace DataSetInternal {

// The parameter that carries the master row's value into a detail dataset's query.
inline const QString MasterParameter = QStringLiteral("MasterValue__");

} // namespace DataSetInternal
