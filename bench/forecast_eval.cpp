// How good the full-date forecast is, on synthetic histories whose true full date is known:
// each history is the start of one simulated disk, and the same simulation run on past the
// history's end says when that disk really fills. Three methods read each history:
//
//   forecast  our forecast (engine/Forecast.h)
//   classic   the average daily consumption since monitoring began, as every run computes it
//   lsq 7 d   a least-squares line through the last seven days of free space, followed to 0
//
// For each kind of disk it prints the mean error in days of each method (a method that gives
// no date for a disk that fills is charged the days that disk had left), how often our range
// held the true date, and, for disks that do not fill or have too little history, how often a
// method gave a date anyway. The exit status is 1 when the forecast gives such a date.

#include "data/DateTimeValue.h"
#include "engine/Forecast.h"
#include "engine/SpaceFigures.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr double MB = 1;
constexpr double GB = 1024 * MB;
constexpr double SnapshotTime = 2.0 / 24; // the daily snapshot at 02:00
constexpr int FutureDays = 5 * 365;
const double FirstDay = DateTimeValue::fromDate(QDate(2024, 1, 1));

enum class Truth { Fills, NotFilling, NotEnoughHistory };

struct Case {
    std::string kind;
    QList<HistoryPoint> history;
    Truth truth = Truth::Fills;
    double trueFullDate = 0; // date value of the day the disk fills (Fills only)
    double lastDate = 0;
};

using Random = std::mt19937_64;

double uniform(Random& r, double lo, double hi)
{
    return std::uniform_real_distribution<double>(lo, hi)(r);
}

double normal(Random& r)
{
    return std::normal_distribution<double>(0, 1)(r);
}

int uniformInt(Random& r, int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(r);
}

double pickTotal(Random& r)
{
    const double sizes[] = {100 * GB, 250 * GB, 500 * GB, 1024 * GB, 2048 * GB};
    return sizes[uniformInt(r, 0, 4)];
}

// A disk's whole simulated life, one reading a day: used and total megabytes. Readings a
// history does not keep (skipped days) are still simulated, so the truth does not depend on
// them.
struct Life {
    std::vector<double> used;
    std::vector<double> total;
    int historyDays = 0;
    std::vector<int> snapshotsPerDay; // empty: one a day
};

Case fromLife(const std::string& kind, const Life& life, Truth truth)
{
    Case c;
    c.kind = kind;
    c.truth = truth;
    Random jitter(static_cast<unsigned>(life.used.size() * 7919 + life.historyDays));
    for (int d = 0; d < life.historyDays; ++d) {
        const int count = life.snapshotsPerDay.empty() ? 1 : life.snapshotsPerDay[size_t(d)];
        for (int k = 0; k < count; ++k) {
            HistoryPoint p;
            p.date = FirstDay + d;
            // Extra snapshots of a day are taken by hand through the working day.
            p.time = k == 0 ? SnapshotTime : uniform(jitter, 8.0 / 24, 18.0 / 24);
            p.totalMB = std::round(life.total[size_t(d)]);
            p.freeMB = p.totalMB -
                       std::round(std::clamp(life.used[size_t(d)], 0.0, life.total[size_t(d)]));
            c.history.append(p);
        }
    }
    std::stable_sort(c.history.begin(), c.history.end(), [](const auto& a, const auto& b) {
        return a.date + a.time < b.date + b.time;
    });
    c.lastDate = c.history.isEmpty() ? FirstDay : c.history.back().date;
    if (truth != Truth::Fills)
        return c;
    c.truth = Truth::NotFilling; // unless the future below says otherwise
    for (size_t d = size_t(life.historyDays); d < life.used.size(); ++d) {
        const double free = life.total[d] - life.used[d];
        if (free > 0)
            continue;
        // Between the readings of the day before and this one, where free space meets 0.
        const double before = life.total[d - 1] - life.used[d - 1];
        const double fraction = before > 0 ? before / (before - free) : 0.0;
        const double moment = FirstDay + double(d - 1) + SnapshotTime + fraction;
        c.truth = Truth::Fills;
        c.trueFullDate = std::floor(moment);
        break;
    }
    return c;
}

// The shape most disks share: a target of days left after the history, a share of the disk
// consumed over history and future, and the net daily consumption that follows.
struct Plan {
    double total = 0;
    int historyDays = 0;
    double daysLeft = 0;
    double netPerDay = 0;
    double startUsed = 0;
};

Plan plan(Random& r, int minHistory = 28, int maxHistory = 180)
{
    Plan p;
    p.total = pickTotal(r);
    p.historyDays = uniformInt(r, minHistory, maxHistory);
    p.daysLeft = std::exp(uniform(r, std::log(7.0), std::log(240.0)));
    const double share = uniform(r, 0.3, 0.9);
    p.netPerDay = share * p.total / (p.historyDays + p.daysLeft);
    p.startUsed = p.total * (1 - share);
    return p;
}

Life lifeOf(const Plan& p)
{
    Life life;
    life.historyDays = p.historyDays;
    life.used.assign(size_t(p.historyDays + FutureDays), 0);
    life.total.assign(life.used.size(), p.total);
    return life;
}

// Steady growth: each day uses the usual amount give or take (a walk), and each reading
// sees temporary files on top (transient).
Case steady(Random& r)
{
    const Plan p = plan(r);
    Life life = lifeOf(p);
    const double walk = uniform(r, 0.2, 1.0);
    const double transient = uniform(r, 0.0, 2.0) * p.netPerDay;
    double used = p.startUsed;
    for (size_t d = 0; d < life.used.size(); ++d) {
        used += p.netPerDay * (1 + walk * normal(r));
        life.used[d] = used + transient * std::abs(normal(r));
    }
    return fromLife("steady", life, Truth::Fills);
}

// Logs grow every day and a weekly rotation deletes them: a saw-tooth on a steady trend.
Case sawTooth(Random& r)
{
    const Plan p = plan(r);
    Life life = lifeOf(p);
    const double logsPerDay = uniform(r, 0.5, 3.0) * p.netPerDay;
    const int rotationDay = uniformInt(r, 0, 6);
    double used = p.startUsed;
    double logs = 0;
    for (size_t d = 0; d < life.used.size(); ++d) {
        used += p.netPerDay * (1 + 0.3 * normal(r));
        logs = (int(d) % 7 == rotationDay) ? 0.0 : logs + logsPerDay * (1 + 0.2 * normal(r));
        life.used[d] = used + logs;
    }
    return fromLife("weekly saw-tooth", life, Truth::Fills);
}

// Quiet growth with bursts: now and then a day brings several days' worth at once.
Case bursts(Random& r)
{
    const Plan p = plan(r);
    Life life = lifeOf(p);
    const double chance = uniform(r, 1.0 / 20, 1.0 / 6);
    const double meanBurst = 6.5; // in quiet days' worth
    const double quiet = p.netPerDay / (1 + chance * meanBurst);
    double used = p.startUsed;
    for (size_t d = 0; d < life.used.size(); ++d) {
        used += quiet * (1 + 0.3 * normal(r));
        if (uniform(r, 0, 1) < chance)
            used += quiet * uniform(r, 3, 10);
        life.used[d] = used;
    }
    return fromLife("bursts", life, Truth::Fills);
}

// Steady growth, a bulk delete some days before the history ends, then growth as before.
Case bulkDelete(Random& r)
{
    const Plan p = plan(r, 40, 180);
    Life life = lifeOf(p);
    const int deleteDay = p.historyDays - uniformInt(r, 6, 30);
    const double share = uniform(r, 0.2, 0.5);
    double used = p.startUsed;
    for (size_t d = 0; d < life.used.size(); ++d) {
        used += p.netPerDay * (1 + 0.5 * normal(r));
        if (int(d) == deleteDay)
            used *= 1 - share;
        life.used[d] = used;
    }
    return fromLife("bulk delete", life, Truth::Fills);
}

// A disk that was grown some days before the history ends; what it holds grows on.
Case grown(Random& r)
{
    const Plan p = plan(r, 40, 180);
    Life life = lifeOf(p);
    const int growDay = p.historyDays - uniformInt(r, 6, 30);
    const double factor = uniform(r, 1.2, 1.6);
    double used = p.startUsed;
    for (size_t d = 0; d < life.used.size(); ++d) {
        used += p.netPerDay * (1 + 0.5 * normal(r));
        if (int(d) >= growDay)
            life.total[d] = p.total * factor;
        life.used[d] = used;
    }
    return fromLife("grown disk", life, Truth::Fills);
}

// Growth that speeds up: the daily consumption doubles every few weeks to few months.
Case accelerating(Random& r)
{
    Plan p = plan(r);
    Life life = lifeOf(p);
    const double tau = uniform(r, 90, 365); // e-folding time of the daily consumption
    const double horizon = p.historyDays + p.daysLeft;
    const double consumed = p.total - p.startUsed;
    const double first = consumed / (tau * (std::exp(horizon / tau) - 1));
    double used = p.startUsed;
    for (size_t d = 0; d < life.used.size(); ++d) {
        used += first * std::exp(double(d) / tau) * (1 + 0.5 * normal(r));
        life.used[d] = used;
    }
    return fromLife("accelerating", life, Truth::Fills);
}

// Snapshots on some days only, some days several: a history kept by hand.
Case irregular(Random& r)
{
    const Plan p = plan(r);
    Life life = lifeOf(p);
    const double kept = uniform(r, 0.3, 0.9);
    life.snapshotsPerDay.assign(size_t(p.historyDays), 0);
    for (int& n : life.snapshotsPerDay)
        n = uniform(r, 0, 1) < kept ? (uniform(r, 0, 1) < 0.2 ? uniformInt(r, 2, 4) : 1) : 0;
    life.snapshotsPerDay.back() = 1;
    double used = p.startUsed;
    for (size_t d = 0; d < life.used.size(); ++d) {
        used += p.netPerDay * (1 + 0.5 * normal(r));
        life.used[d] = used + 0.5 * p.netPerDay * std::abs(normal(r));
    }
    return fromLife("irregular snapshots", life, Truth::Fills);
}

// No growth: what is written is deleted again, with noise and sometimes a weekly rhythm.
Case flat(Random& r)
{
    const Plan p = plan(r);
    Life life = lifeOf(p);
    const double noise = uniform(r, 0.001, 0.02) * p.total;
    const double weekly = uniform(r, 0, 1) < 0.5 ? uniform(r, 0.005, 0.03) * p.total : 0.0;
    const int rotationDay = uniformInt(r, 0, 6);
    for (size_t d = 0; d < life.used.size(); ++d) {
        const double phase = double((int(d) - rotationDay + 7) % 7) / 6.0;
        life.used[d] = p.startUsed + noise * normal(r) + weekly * phase;
    }
    return fromLife("flat", life, Truth::NotFilling);
}

// A disk being cleaned up: used space falls, with noise.
Case shrinking(Random& r)
{
    const Plan p = plan(r);
    Life life = lifeOf(p);
    const double fall = uniform(r, 0.2, 1.0) * p.netPerDay;
    double used = p.total * 0.9;
    for (size_t d = 0; d < life.used.size(); ++d) {
        used = std::max(0.0, used - fall * (1 + 0.8 * normal(r)));
        life.used[d] = used + 0.5 * fall * std::abs(normal(r));
    }
    return fromLife("shrinking", life, Truth::NotFilling);
}

// Too little to go on: a few readings minutes apart, or daily ones over a few days only,
// of a disk that fills fast.
Case shortHistory(Random& r)
{
    Plan p = plan(r, 1, 4);
    Life life = lifeOf(p);
    if (uniform(r, 0, 1) < 0.5) {
        life.historyDays = 1;
        life.snapshotsPerDay = {uniformInt(r, 2, 6)};
    }
    double used = p.startUsed;
    for (size_t d = 0; d < life.used.size(); ++d) {
        used += p.netPerDay * 3 * (1 + 0.5 * normal(r));
        life.used[d] = used;
    }
    return fromLife("short history", life, Truth::NotEnoughHistory);
}

// --- the three methods -------------------------------------------------------------------

struct Answer {
    std::optional<double> fullDate;
    double lowDate = 0;
    double highDate = 0;
};

Answer ours(const Case& c)
{
    const DiskForecast f = Forecast::forecast(c.history);
    Answer a;
    if (f.state == ForecastState::Filling) {
        a.fullDate = c.lastDate + f.daysLeft;
        a.lowDate = c.lastDate + f.lowDays;
        a.highDate = c.lastDate + f.highDays;
    }
    return a;
}

// Every snapshot as a run of the classic measurement, from the first one on.
Answer classic(const Case& c)
{
    qint64 previousFree = 0;
    qint64 cumulative = 0;
    double zeroDate = 0;
    for (const HistoryPoint& p : c.history) {
        SpaceInputs in;
        in.TotalBytes = qint64(p.totalMB) << 20;
        in.FreeBytes = qint64(p.freeMB) << 20;
        in.PreviousFreeMB = previousFree;
        in.CumulativeUsedMB = cumulative;
        in.StartDate = c.history.front().date;
        in.RunDate = p.date;
        const SpaceFigures out = computeSpaceFigures(in);
        previousFree = out.FreeMB;
        cumulative = out.CumulativeUsedMB;
        zeroDate = out.ZeroDate;
    }
    Answer a;
    if (zeroDate > 0)
        a.fullDate = zeroDate;
    return a;
}

// An ordinary least-squares line through the last seven days, followed until it meets 0.
Answer leastSquaresWeek(const Case& c)
{
    const double last = c.history.back().date + c.history.back().time;
    double n = 0, st = 0, sf = 0, stt = 0, stf = 0;
    for (const HistoryPoint& p : c.history) {
        const double t = p.date + p.time - last;
        if (t < -7)
            continue;
        n += 1;
        st += t;
        sf += p.freeMB;
        stt += t * t;
        stf += t * p.freeMB;
    }
    Answer a;
    const double denominator = n * stt - st * st;
    if (n < 2 || denominator <= 0)
        return a;
    const double slope = (n * stf - st * sf) / denominator;
    const double now = (sf - slope * st) / n; // the line's value at the last snapshot
    if (!(slope < 0))
        return a;
    const double days = std::max(0.0, -now / slope);
    if (days > 100 * 365)
        return a;
    a.fullDate = std::floor(last + days);
    return a;
}

// --- the table ---------------------------------------------------------------------------

struct Tally {
    int cases = 0;
    double error[3] = {0, 0, 0};
    int noDate[3] = {0, 0, 0};
    int dated[3] = {0, 0, 0}; // dates given where the truth has none
    int inRange = 0;
    int ranged = 0;
    double rangeDays = 0;
    int early = 0; // the disk filled before our range began
    int late = 0;  // or after it ended
};

void count(Tally& t, const Case& c, const Answer (&answers)[3])
{
    ++t.cases;
    for (int m = 0; m < 3; ++m) {
        const Answer& a = answers[m];
        if (c.truth != Truth::Fills) {
            t.dated[m] += a.fullDate ? 1 : 0;
            continue;
        }
        if (!a.fullDate) {
            ++t.noDate[m];
            t.error[m] += c.trueFullDate - c.lastDate;
        } else {
            t.error[m] += std::abs(*a.fullDate - c.trueFullDate);
        }
    }
    if (c.truth == Truth::Fills && answers[0].fullDate) {
        ++t.ranged;
        t.rangeDays += answers[0].highDate - answers[0].lowDate;
        if (answers[0].lowDate <= c.trueFullDate && c.trueFullDate <= answers[0].highDate)
            ++t.inRange;
        else if (c.trueFullDate < answers[0].lowDate)
            ++t.early;
        else
            ++t.late;
    }
}

void printFillingRow(const char* name, const Tally& t)
{
    auto mean = [&](int m) { return t.cases ? t.error[m] / t.cases : 0.0; };
    auto share = [&](int n) { return t.ranged ? 100.0 * n / t.ranged : 0.0; };
    std::printf("| %-19s | %5d | %8.1f | %7.1f | %7.1f | %6.1f %% | %5.1f %% | %5.1f %% | %5.0f | "
                "%4d | %4d | %4d |\n",
                name, t.cases, mean(0), mean(1), mean(2), share(t.inRange), share(t.early),
                share(t.late), t.ranged ? t.rangeDays / t.ranged : 0.0, t.noDate[0], t.noDate[1],
                t.noDate[2]);
}

void printOtherRow(const char* name, const Tally& t)
{
    auto share = [&](int m) { return t.cases ? 100.0 * t.dated[m] / t.cases : 0.0; };
    std::printf("| %-19s | %5d | %7.1f %% | %6.1f %% | %6.1f %% |\n", name, t.cases, share(0),
                share(1), share(2));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int perKind = 400;
    unsigned seed = 20240601;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cases") == 0 && i + 1 < argc)
            perKind = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc)
            seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        else {
            std::fprintf(stderr, "usage: %s [--cases N] [--seed N]\n", argv[0]);
            return 2;
        }
    }

    using Maker = Case (*)(Random&);
    const std::vector<std::pair<const char*, Maker>> kinds = {
        {"steady", steady},
        {"weekly saw-tooth", sawTooth},
        {"bursts", bursts},
        {"bulk delete", bulkDelete},
        {"grown disk", grown},
        {"accelerating", accelerating},
        {"irregular snapshots", irregular},
        {"flat", flat},
        {"shrinking", shrinking},
        {"short history", shortHistory},
    };
    Random random(seed);
    std::map<std::string, Tally> tallies;
    Tally filling;
    Tally other;
    int fillsBeyondFuture = 0;
    for (const auto& [name, make] : kinds) {
        for (int i = 0; i < perKind; ++i) {
            const Case c = make(random);
            if (c.truth == Truth::NotFilling && std::string(name) != "flat" &&
                std::string(name) != "shrinking") {
                ++fillsBeyondFuture; // meant to fill, but not within the simulated years
                continue;
            }
            const Answer answers[3] = {ours(c), classic(c), leastSquaresWeek(c)};
            count(tallies[name], c, answers);
            count(c.truth == Truth::Fills ? filling : other, c, answers);
        }
    }

    std::printf("Full-date forecast on synthetic histories (%d per kind, seed %u)\n\n", perKind,
                seed);
    std::printf("Mean error in days (a method giving no date for a disk that fills is charged "
                "the days it had left);\nhow often our %.0f %% range held the true date, and "
                "how often the disk filled before or after it;\nthe range's mean width in days; "
                "how often each method gave no date.\n\n",
                Forecast::RangeShare * 100);
    std::printf("| kind                | cases | forecast | classic | lsq 7 d | in range | early  "
                "| late   | width | no date: ours | classic | lsq 7 d |\n");
    std::printf("|---------------------|------:|---------:|--------:|--------:|---------:|-------"
                ":|-------:|------:|-----:|-----:|-----:|\n");
    for (const auto& [name, make] : kinds)
        if (tallies[name].cases > 0 && std::string(name) != "flat" &&
            std::string(name) != "shrinking" && std::string(name) != "short history")
            printFillingRow(name, tallies[name]);
    printFillingRow("overall", filling);

    std::printf("\nDates given where there should be none\n\n");
    std::printf("| kind                | cases | forecast |  classic |  lsq 7 d |\n");
    std::printf("|---------------------|------:|---------:|---------:|---------:|\n");
    for (const char* name : {"flat", "shrinking", "short history"})
        printOtherRow(name, tallies[name]);
    printOtherRow("overall", other);
    if (fillsBeyondFuture > 0)
        std::printf("\n(%d histories meant to fill did not within %d simulated days; left out)\n",
                    fillsBeyondFuture, FutureDays);
    return other.dated[0] == 0 ? 0 : 1;
}
