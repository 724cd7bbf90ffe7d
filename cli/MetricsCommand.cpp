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

#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
// disk; on any failure the file keeps what it held. Only a regular file (or a link to one) is
// replaced: renaming over a device or a pipe would put a file where the device was.
void replaceFile(const QString& name, const QByteArray& text)
{
    const QFileInfo target(name);
    if (target.exists() && !target.isFile())
        throw VardometerError(u"Cannot write %1: it is not a regular file"_s.arg(name));
    QSaveFile file(name);
    const auto fail = [&](int error) {
        // QSaveFile words some failures of the system's (a full disk) as an unknown error;
        // the system's own words say more.
        QString reason = file.errorString();
        if ((reason.isEmpty() || reason == u"Unknown error") && error != 0)
            reason = QString::fromLocal8Bit(std::strerror(error));
        file.cancelWriting();
        throw VardometerError(u"Cannot write %1: %2"_s.arg(name, reason));
    };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        fail(errno);
    // The replacement keeps the owner and group of the file it replaces where this process
    // may give them (as root), so a collector that reads it by its group still can.
    struct stat old {};
    if (target.exists() && ::stat(QFile::encodeName(name).constData(), &old) == 0 &&
        (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
        // Not ours to give (not root): the file is still replaced, and is ours.
        if (::fchown(file.handle(), old.st_uid, old.st_gid) != 0)
            errno = 0;
    }
    errno = 0;
    if (file.write(text) != text.size())
        fail(errno);
    errno = 0;
    if (!file.commit())
        fail(errno);
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
