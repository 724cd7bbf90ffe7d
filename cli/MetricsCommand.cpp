#include "cli/MetricsCommand.h"

#include "cli/MetricsText.h"
#include "cli/OutputText.h"
#include "cli/ReportConnection.h"
#include "cli/Usage.h"

#include "data/DM2.h"
#include "data/DatabaseOpener.h"
#include "data/DbConnection.h"
#include "data/Errors.h"
#include "data/LatestFigures.h"
#include "engine/ForecastBook.h"

#include <QSaveFile>

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Request {
    QString output; // empty: the output stream
    QString file;
};

std::optional<Request> parse(const QStringList& arguments)
{
    Request r;
    bool haveOutput = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == u"--output") {
            if (haveOutput || i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
                return std::nullopt;
            r.output = arguments[++i];
            haveOutput = true;
        } else if (a.startsWith(u'-') || !r.file.isEmpty()) {
            return std::nullopt;
        } else {
            r.file = a;
        }
    }
    if (r.file.isEmpty())
        r.file = TDMVardometer::defaultFileName();
    return r;
}

// Written beside the file under a name of its own and renamed over it once complete and on
// disk; on any failure the file keeps what it held.
void replaceFile(const QString& name, const QByteArray& text)
{
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw VardometerError(u"Cannot write %1: %2"_s.arg(name, file.errorString()));
}

} // namespace

int runMetricsCommand(const QStringList& arguments, FILE* out, FILE* err)
{
    const std::optional<Request> request = parse(arguments);
    if (!request)
        return Usage::wrongCommandLine(err, u"metrics"_s);
    try {
        DbConnection db(u"MetricsCommand"_s);
        db.setFileName(request->file);
        db.setMemoryMapBytes(ReportMemoryMapBytes);
        DatabaseOpener::open(db, DatabaseAccess::ReadOnly);
        QList<LatestFigures> systems;
        ForecastBook forecasts;
        {
            const DbConnection::ReadSnapshot snapshot(db);
            systems = LatestFiguresReader::readAll(db);
            forecasts.recomputeAll(db);
        }
        db.close();
        const QByteArray text = metricsText(systems, forecasts);
        if (request->output.isEmpty()) {
            writeOutput(out, text);
            flushOutput(out);
        } else {
            replaceFile(request->output, text);
        }
        return 0;
    } catch (const VardometerError& e) {
        printLine(err, e.message());
    }
    return 2;
}
