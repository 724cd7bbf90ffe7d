#include "cli/CompactCommand.h"

#include "cli/OutputText.h"
#include "data/DM2.h"
#include "data/DatabaseCompactor.h"
#include "data/DbConnection.h"
#include "data/Errors.h"

using namespace Qt::Literals::StringLiterals;

namespace {

QString megabytes(qint64 bytes)
{
    return u"%1 MB"_s.arg(static_cast<double>(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

} // namespace

int runCompactCommand(const QStringList& arguments, FILE* out, FILE* err)
{
    if (arguments.size() > 1 || (!arguments.isEmpty() && arguments.front().startsWith(u'-'))) {
        std::fprintf(err, "usage: vardometer-cli compact [DATABASE]\n");
        return 2;
    }
    const QString file = arguments.isEmpty() ? TDMVardometer::defaultFileName() : arguments.front();
    try {
        const DatabaseCompactor::Sizes sizes =
            DatabaseCompactor::compact(file, DbConnection::DefaultBusyTimeoutMs);
        std::fprintf(out, "%s\n",
                     qPrintable(withVisibleControlCharacters(u"%1: %2 before, %3 after"_s.arg(
                         file, megabytes(sizes.before), megabytes(sizes.after)))));
        return 0;
    } catch (const VardometerError& e) {
        std::fprintf(err, "Error packing database: %s\n",
                     qPrintable(withVisibleControlCharacters(e.message())));
        return 2;
    }
}
