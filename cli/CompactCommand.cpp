#include "cli/CompactCommand.h"

#include "cli/OutputText.h"
#include "cli/Usage.h"
#include "data/DM2.h"
#include "data/DatabaseCompactor.h"
#include "data/DbConnection.h"
#include "data/Errors.h"

using namespace Qt::Literals::StringLiterals;

int runCompactCommand(const QStringList& arguments, FILE* out, FILE* err)
{
    if (arguments.size() > 1 || (!arguments.isEmpty() && arguments.front().startsWith(u'-'))) {
        return Usage::wrongCommandLine(err, u"compact"_s);
    }
    const QString file = arguments.isEmpty() ? TDMVardometer::defaultFileName() : arguments.front();
    try {
        const DatabaseCompactor::Sizes sizes =
            DatabaseCompactor::compact(file, DbConnection::DefaultBusyTimeoutMs);
        printLine(out, DatabaseCompactor::sizeLine(file, sizes));
        return 0;
    } catch (const VardometerError& e) {
        printLine(err, u"Error packing database: "_s + e.message());
        return 2;
    }
}
