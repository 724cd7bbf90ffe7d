#include "cli/ForecastCommand.h"

#include "data/DM2.h"
#include "data/DbConnection.h"
#include "data/Errors.h"
#include "engine/ForecastBook.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr const char* Usage =
    "usage: vardometer-cli forecast [--system NAME] [--json] [DATABASE]\n";

struct Request {
    QString system; // empty: every system
    bool json = false;
    QString file;
};

// Nothing on a wrong command line: the caller prints the usage.
std::optional<Request> parse(const QStringList& arguments)
{
    Request r;
    bool haveSystem = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == u"--json") {
            r.json = true;
        } else if (a == u"--system") {
            if (haveSystem || i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
                return std::nullopt;
            r.system = arguments[++i];
            haveSystem = true;
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

QJsonValue isoDate(const QDate& date)
{
    return date.isValid() ? QJsonValue(date.toString(Qt::ISODate)) : QJsonValue(QJsonValue::Null);
}

QByteArray asJson(const QList<ForecastBook::Entry>& entries)
{
    QJsonArray array;
    for (const ForecastBook::Entry& e : entries) {
        const DiskForecast& f = e.forecast;
        const bool filling = f.state == ForecastState::Filling;
        QJsonObject o;
        o.insert(u"system"_s, e.system);
        o.insert(u"state"_s, Forecast::stateName(f.state));
        o.insert(u"full_date"_s, isoDate(f.fullDate()));
        o.insert(u"low_date"_s, isoDate(f.lowDate()));
        o.insert(u"high_date"_s, isoDate(f.highDate()));
        o.insert(u"days_left"_s, filling ? QJsonValue(f.daysLeft) : QJsonValue(QJsonValue::Null));
        array.append(o);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

// One line a system: name, state, and for a filling disk its full date and range.
QByteArray asText(const QList<ForecastBook::Entry>& entries)
{
    qsizetype width = 0;
    for (const ForecastBook::Entry& e : entries)
        width = std::max(width, e.system.size());
    QString text;
    for (const ForecastBook::Entry& e : entries) {
        const DiskForecast& f = e.forecast;
        QString line = e.system.leftJustified(width) + u"  "_s;
        if (f.state != ForecastState::Filling) {
            line += Forecast::stateName(f.state);
        } else {
            line += u"%1  %2  %3..%4"_s.arg(
                Forecast::stateName(f.state).leftJustified(18), f.fullDate().toString(Qt::ISODate),
                f.lowDate().toString(Qt::ISODate), f.highDate().toString(Qt::ISODate));
        }
        text += line + u'\n';
    }
    return text.toLocal8Bit();
}

} // namespace

int runForecastCommand(const QStringList& arguments, FILE* out, FILE* err)
{
    const std::optional<Request> request = parse(arguments);
    if (!request) {
        std::fputs(Usage, err);
        return 2;
    }
    try {
        DbConnection db(u"ForecastCommand"_s);
        db.setFileName(request->file);
        db.open();
        ForecastBook book;
        if (request->system.isEmpty()) {
            book.recomputeAll(db);
        } else {
            // The name as the Systems table spells it, found without regard to case.
            const QStringList names = ForecastReader::systemNames(db);
            const auto found = std::find_if(names.begin(), names.end(), [&](const QString& n) {
                return n.compare(request->system, Qt::CaseInsensitive) == 0;
            });
            if (found == names.end()) {
                std::fprintf(err, "Unknown system \"%s\" in %s\n",
                             request->system.toLocal8Bit().constData(),
                             request->file.toLocal8Bit().constData());
                return 2;
            }
            book.recompute(db, *found);
        }
        const QByteArray text = request->json ? asJson(book.entries()) : asText(book.entries());
        std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), out);
        std::fflush(out);
        return 0;
    } catch (const VardometerError& e) {
        std::fprintf(err, "%s\n", e.what());
    }
    return 2;
}
