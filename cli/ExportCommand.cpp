#include "cli/ExportCommand.h"

#include "cli/OutputText.h"
#include "cli/Usage.h"

#include "data/DM2.h"
#include "data/Errors.h"
#include "export/SheetExport.h"
#include "export/WorkbookFile.h"
#include "export/WorkbookLayouts.h"

#include <QDir>

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

struct ExportRequest {
    QString layout;
    std::optional<QString> system;
    QString output;
    QString database;
};

std::optional<ExportRequest> parse(const QStringList& arguments)
{
    ExportRequest request;
    bool haveDatabase = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if ((a == u"--system" || a == u"--output") && i + 1 < arguments.size()) {
            const QString value = arguments[++i];
            if (a == u"--system")
                request.system = value;
            else
                request.output = value;
        } else if (a.startsWith(u'-')) {
            return std::nullopt;
        } else if (request.layout.isEmpty()) {
            request.layout = a;
        } else if (!haveDatabase) {
            request.database = a;
            haveDatabase = true;
        } else {
            return std::nullopt;
        }
    }
    const bool known = request.layout == u"summary" || request.layout == u"history" ||
                       request.layout == u"systems";
    if (!known || request.output.isEmpty() || (request.system && request.layout != u"history"))
        return std::nullopt;
    if (!haveDatabase)
        request.database = TDMVardometer::defaultFileName();
    return request;
}

// Puts the Systems table on the named system, compared as the table compares names.
void moveToSystem(DataSet& systems, const QString& name)
{
    for (systems.first(); !systems.eof(); systems.next())
        if (systems.fieldByName(u"System"_s)
                .value()
                .toString()
                .compare(name, Qt::CaseInsensitive) == 0)
            return;
    throw VardometerError(u"There is no system named '%1'"_s.arg(name));
}

} // namespace

int runExportCommand(const QStringList& arguments, FILE* out, FILE* err)
{
    const std::optional<ExportRequest> request = parse(arguments);
    if (!request)
        return Usage::wrongCommandLine(err, u"export"_s);
    try {
        TDMVardometer dm(request->database, nullptr, TDMVardometer::LoadFor::Reading);
        dm.ATblSystems.open();
        WorkbookLayout layout;
        DataSet* records = &dm.ATblSystems;
        if (request->layout == u"summary") {
            layout = WorkbookLayouts::freeSpaceSummary();
        } else if (request->layout == u"systems") {
            layout = WorkbookLayouts::systems();
        } else {
            layout = WorkbookLayouts::historyDetails();
            dm.ATblFreeSpaceHistory.open();
            if (request->system)
                moveToSystem(dm.ATblSystems, *request->system);
            else
                dm.ATblSystems.first();
            records = &dm.ATblFreeSpaceHistory;
        }
        int rows = 0;
        QStringList notes;
        WorkbookFile::saveAs(request->output, [&](const QString& file) {
            rows = SheetExport::write(*records, layout, file, &notes);
        });
        for (const QString& note : std::as_const(notes))
            printLine(err, note);
        printLine(
            out,
            u"Wrote %1 (%2 row(s))"_s.arg(QDir::toNativeSeparators(request->output)).arg(rows));
        return 0;
    } catch (const VardometerError& e) {
        printLine(err, e.message());
    } catch (const std::exception& e) {
        printLine(err, QString::fromLocal8Bit(e.what()));
    }
    return 2;
}
