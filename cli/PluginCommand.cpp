#include "cli/PluginCommand.h"

#include "cli/OutputText.h"
#include "cli/PluginCheck.h"
#include "cli/ReportConnection.h"
#include "cli/Usage.h"

#include "data/DM2.h"
#include "data/DatabaseOpener.h"
#include "data/DateTimeValue.h"
#include "data/DbConnection.h"
#include "data/Errors.h"
#include "data/LatestFigures.h"
#include "engine/SpaceFigures.h"
#include "engine/StoredCredentials.h"
#include "engine/SystemStates.h"
#include "platform/DispatchingDiskSpaceProbe.h"
#include "platform/ProbeFailure.h"
#include "platform/ProbeSweep.h"
#include "platform/ProcessDeadline.h"

#include <QDateTime>
#include <QSet>

#include <chrono>
#include <cmath>
#include <optional>

using namespace Qt::Literals::StringLiterals;
using PluginCheck::Level;
using PluginCheck::Reading;

namespace {

constexpr double DefaultTimeoutSeconds = 10;
constexpr double DefaultMaxAgeHours = 25; // a daily snapshot and some slack
constexpr double FutureSlackHours = 0.25;

struct Request {
    QStringList systems; // empty: every system
    PluginCheck::Levels levels;
    bool measure = false;
    double maxAgeHours = DefaultMaxAgeHours;
    double timeoutSeconds = DefaultTimeoutSeconds;
    QString file;
    enum class Answer { Check, Help, Version } answer = Answer::Check;
};

struct Parsed {
    std::optional<Request> request;
    QString error; // why not, for the status line
};

std::optional<double> positiveNumber(const QString& text, double atMost)
{
    const std::optional<Level> level = PluginCheck::parseLevel(text);
    if (!level || level->percent || !(level->value > 0) || level->value > atMost)
        return std::nullopt;
    return level->value;
}

Parsed parse(const QStringList& arguments)
{
    Request r;
    const auto wrong = [](const QString& why) { return Parsed{std::nullopt, why}; };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == u"-h" || a == u"--help") {
            r.answer = Request::Answer::Help;
            return {r, {}};
        }
        if (a == u"-V" || a == u"--version") {
            r.answer = Request::Answer::Version;
            return {r, {}};
        }
        if (a == u"--measure") {
            r.measure = true;
            continue;
        }
        const bool takesValue = a == u"--system" || a == u"-w" || a == u"--warning" || a == u"-c" ||
                                a == u"--critical" || a == u"-t" || a == u"--timeout" ||
                                a == u"--max-age";
        if (takesValue) {
            if (i + 1 >= arguments.size())
                return wrong(a + u" needs a value"_s);
            const QString& value = arguments[++i];
            if (a == u"--system") {
                if (value.isEmpty())
                    return wrong(u"--system needs a name"_s);
                r.systems << value;
            } else if (a == u"-w" || a == u"--warning" || a == u"-c" || a == u"--critical") {
                const std::optional<Level> level = PluginCheck::parseLevel(value);
                if (!level)
                    return wrong(u"%1 takes megabytes or a percentage, not '%2'"_s.arg(a, value));
                const bool warning = a == u"-w" || a == u"--warning";
                (warning ? r.levels.warning : r.levels.critical) = level;
            } else if (a == u"--max-age") {
                const std::optional<double> hours = positiveNumber(value, 24.0 * 366);
                if (!hours)
                    return wrong(u"--max-age takes hours, not '%1'"_s.arg(value));
                r.maxAgeHours = *hours;
            } else {
                const std::optional<double> seconds = positiveNumber(value, 86'400);
                if (!seconds)
                    return wrong(u"%1 takes seconds, not '%2'"_s.arg(a, value));
                r.timeoutSeconds = *seconds;
            }
        } else if (a.startsWith(u'-') || !r.file.isEmpty()) {
            return wrong(u"unknown argument '%1'"_s.arg(a));
        } else {
            r.file = a;
        }
    }
    if (r.file.isEmpty())
        r.file = TDMVardometer::defaultFileName();
    return {r, {}};
}

using LatestFiguresReader::number;

Reading baseReading(const LatestFigures& f)
{
    Reading r;
    r.name = f.system;
    if (const std::optional<double> alert = number(f.alert1MB); alert && *alert > 0)
        r.ownCriticalMB = alert;
    return r;
}

QString hoursText(double hours)
{
    return hours < 1 ? u"%1 min"_s.arg(QString::number(std::floor(hours * 60), 'f', 0))
                     : u"%1 h"_s.arg(QString::number(std::floor(hours), 'f', 0));
}

// The figures the latest run stored, as long as they are recent enough to stand for now.
Reading storedReading(const LatestFigures& f, const QDateTime& now, double maxAgeHours)
{
    Reading r = baseReading(f);
    const std::optional<SystemState> state = SystemStates::ofStored(
        f.initialDate, f.lastFreePercent, f.lastUsedPercent, f.lastFreeMB, f.alert1MB);
    if (f.initialDate.isNull()) {
        r.detail = u"never measured"_s;
        return r;
    }
    if (!state) {
        r.detail = u"the stored figures are not figures of a disk"_s;
        return r;
    }
    // The last check did not find the address; when it last did does not matter.
    if (*state == SystemState::NotFound) {
        r.kind = Reading::Kind::NotFound;
        return r;
    }
    const std::optional<double> date = number(f.dateLastAnalysed);
    if (!date || !DateTimeValue::isShownDay(*date)) {
        r.detail = u"never measured"_s;
        return r;
    }
    const std::optional<double> time = number(f.timeLastAnalysed);
    const QDateTime measured =
        DateTimeValue::toDateTime(std::floor(*date) + (time ? *time - std::floor(*time) : 0.0));
    const double ageHours = static_cast<double>(measured.msecsTo(now)) / 3'600'000.0;
    if (ageHours > maxAgeHours) {
        r.detail = u"last measured %1 ago"_s.arg(hoursText(ageHours));
        return r;
    }
    // A few minutes ahead is another machine's clock; more is no measurement of now.
    if (ageHours < -FutureSlackHours) {
        r.detail = u"last measured in the future, at %1"_s.arg(measured.toString(Qt::ISODate));
        return r;
    }
    const std::optional<double> free = number(f.lastFreeMB);
    const std::optional<double> total = number(f.lastTotalMB);
    if (!free || !total || !(*total > 0) || *free < 0 || *free > *total) {
        r.detail = u"the stored figures are not figures of a disk"_s;
        return r;
    }
    r.kind = Reading::Kind::Measured;
    r.freeMB = *free;
    r.totalMB = *total;
    return r;
}

Reading measuredReading(const LatestFigures& f, const ProbeOutcome& outcome)
{
    Reading r = baseReading(f);
    if (!outcome.space) {
        if (outcome.failure.startsWith(ProbeFailure::TimedOut) ||
            outcome.failure.startsWith(ProbeFailure::EarlierProbeStillWaiting)) {
            r.detail = u"measuring %1"_s.arg(outcome.failure);
        } else {
            r.kind = Reading::Kind::NotFound;
            r.detail = outcome.failure;
        }
        return r;
    }
    r.kind = Reading::Kind::Measured;
    r.freeMB = static_cast<double>(bytesToMB(outcome.space->freeBytesAvailable));
    r.totalMB = static_cast<double>(bytesToMB(outcome.space->totalBytes));
    if (!(r.totalMB > 0)) { // a volume of less than half a megabyte
        r.kind = Reading::Kind::Unknown;
        r.detail = u"the volume is smaller than a megabyte"_s;
    }
    return r;
}

// The systems asked for, by their stored names; a name no system has ends the check.
QList<LatestFigures> chosen(const QList<LatestFigures>& all, const QStringList& names,
                            QString* missing)
{
    if (names.isEmpty())
        return all;
    QList<LatestFigures> picked;
    QSet<QString> taken;
    for (const QString& name : names) {
        const auto found = std::find_if(all.begin(), all.end(), [&](const LatestFigures& f) {
            return f.system.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (found == all.end()) {
            *missing = name;
            return {};
        }
        if (!taken.contains(found->system.toCaseFolded())) {
            taken.insert(found->system.toCaseFolded());
            picked << *found;
        }
    }
    return picked;
}

PluginCheck::Outcome checkDatabase(const Request& request,
                                   std::chrono::steady_clock::time_point deadline)
{
    DbConnection db(u"PluginCommand"_s);
    db.setFileName(request.file);
    db.setMemoryMapBytes(ReportMemoryMapBytes);
    DatabaseOpener::open(db, DatabaseAccess::ReadOnly);
    QString missing;
    const QList<LatestFigures> systems =
        chosen(LatestFiguresReader::readAll(db), request.systems, &missing);
    if (!missing.isEmpty())
        return PluginCheck::unknown(u"no system is named \"%1\""_s.arg(missing));

    QList<Reading> readings;
    if (!request.measure) {
        const QDateTime now = QDateTime::currentDateTime();
        for (const LatestFigures& f : systems)
            readings << storedReading(f, now, request.maxAgeHours);
        return PluginCheck::check(readings, request.levels);
    }

    const std::unique_ptr<DiskSpaceProbe> probe = createDiskSpaceProbe();
    probe->setShareCredentials(storedShareCredentials(db));
    db.close();
    QStringList addresses;
    for (const LatestFigures& f : systems)
        addresses << f.address;
    // The probes end a little before the whole check must, counted from now (opening the file
    // may have waited on another program), so a stuck one still leaves time to report the
    // others.
    SweepSettings settings;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    settings.timeout = std::max(std::chrono::milliseconds(50),
                                left - std::min(std::chrono::milliseconds(1000), left / 2));
    const QList<ProbeOutcome> outcomes = sweepAddresses(*probe, addresses, settings);
    for (qsizetype i = 0; i < systems.size(); ++i) {
        readings << (systems[i].address.isEmpty()
                         ? measuredReading(systems[i], ProbeOutcome::failed(u"no address"_s))
                         : measuredReading(systems[i], outcomes[i]));
    }
    return PluginCheck::check(readings, request.levels);
}

int answer(FILE* out, const PluginCheck::Outcome& outcome)
{
    ProcessDeadline::claimTheAnswer();
    printLine(out, outcome.line);
    flushOutput(out);
    return static_cast<int>(outcome.state);
}

} // namespace

int runPluginCommand(const QStringList& arguments, FILE* out, FILE* err)
{
    const Parsed parsed = parse(arguments);
    if (!parsed.request) {
        Usage::wrongCommandLine(err, u"plugin"_s);
        return answer(out, PluginCheck::unknown(u"wrong command line: "_s + parsed.error));
    }
    const Request& request = *parsed.request;
    if (request.answer == Request::Answer::Help) {
        writeOutput(out, Usage::ofVerb(u"plugin"_s).toLocal8Bit());
        return 0;
    }
    if (request.answer == Request::Answer::Version) {
        printLine(out, QStringLiteral("vardometer-cli " VARDOMETER_VERSION));
        return 0;
    }
    const QString timedOut = u"VARDOMETER UNKNOWN - no answer within %1 s\n"_s.arg(
        QString::number(request.timeoutSeconds, 'g', 6));
    const std::chrono::milliseconds timeout(static_cast<qint64>(request.timeoutSeconds * 1000));
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    ProcessDeadline::arm(timeout, timedOut.toUtf8(), static_cast<int>(PluginCheck::State::Unknown));
    try {
        return answer(out, checkDatabase(request, deadline));
    } catch (const VardometerError& e) {
        return answer(out, PluginCheck::unknown(e.message()));
    }
}
