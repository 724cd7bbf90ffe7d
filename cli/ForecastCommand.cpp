#include "cli/ForecastCommand.h"

#include "cli/OutputText.h"
#include "cli/ReportConnection.h"
#include "cli/Usage.h"

#include "data/DM2.h"
#include "data/DatabaseOpener.h"
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

// An ISO date, or null for none and for a date the calendar of ISO 8601's four-digit years
// cannot write: every date in the output reads as a date.
QJsonValue isoDate(const QDate& date)
{
    const QString text = date.isValid() ? date.toString(Qt::ISODate) : QString();
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
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
    // JSON leaves DEL, the C1 controls and the Unicode line separators as they are, and a
    // terminal acts on some of them; written as escapes they read the same to any parser.
    // Only strings can hold them, so every one found is inside a string.
    const QString text = QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x7f && u < 0xa0) || u == 0x2028 || u == 0x2029)
            escaped += u"\\u"_s + QString::number(u, 16).rightJustified(4, u'0');
        else
            escaped += c;
    }
    return escaped.toUtf8();
}

// One line a system: name, state, and for a filling disk its full date and range.
QByteArray asText(const QList<ForecastBook::Entry>& entries)
{
    // Names as every verb prints them: a control character in one cannot start a line.
    QStringList names;
    qsizetype width = 0;
    for (const ForecastBook::Entry& e : entries) {
        names << withVisibleControlCharacters(e.system);
        width = std::max(width, names.last().size());
    }
    QString text;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const DiskForecast& f = entries[i].forecast;
        QString line = names[i].leftJustified(width) + u"  "_s;
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
    if (!request)
        return Usage::wrongCommandLine(err, u"forecast"_s);
    try {
        DbConnection db(u"ForecastCommand"_s);
        db.setFileName(request->file);
        db.setMemoryMapBytes(ReportMemoryMapBytes);
        DatabaseOpener::open(db, DatabaseAccess::ReadOnly);
        ForecastBook book;
        {
            // One read for all the statements, ended before the output, which may block on a
            // pipe for as long as its reader likes.
            const DbConnection::ReadSnapshot snapshot(db);
            if (request->system.isEmpty()) {
                book.recomputeAll(db);
            } else {
                // The name as the Systems table spells it, found without regard to case.
                const QStringList names = ForecastReader::systemNames(db);
                const auto found = std::find_if(names.begin(), names.end(), [&](const QString& n) {
                    return n.compare(request->system, Qt::CaseInsensitive) == 0;
                });
                if (found == names.end()) {
                    printLine(err,
                              u"Unknown system \"%1\" in %2"_s.arg(request->system, request->file));
                    return 2;
                }
                book.recompute(db, *found);
            }
        }
        const QByteArray text = request->json ? asJson(book.entries()) : asText(book.entries());
        writeOutput(out, text);
        flushOutput(out);
        return 0;
    } catch (const VardometerError& e) {
        printLine(err, e.message());
    }
    return 2;
}
