#include "SyntheticDisks.h"

#include "data/DateTimeValue.h"

#include <QDate>

#include <algorithm>
#include <cmath>

namespace SyntheticDisks {

namespace {

constexpr double MB = 1;
constexpr double GB = 1024 * MB;
constexpr double SnapshotTime = 2.0 / 24; // the daily snapshot at 02:00
// Enough to find a full date two years ahead even where growth slows down.
constexpr int FutureDays = 4 * 365;
const double FirstDay = DateTimeValue::fromDate(QDate(2020, 1, 6)); // a Monday

double uniform(Random& r, double lo, double hi)
{
    return std::uniform_real_distribution<double>(lo, hi)(r);
}

double logUniform(Random& r, double lo, double hi)
{
    return std::exp(uniform(r, std::log(lo), std::log(hi)));
}

double normal(Random& r)
{
    return std::normal_distribution<double>(0, 1)(r);
}

int uniformInt(Random& r, int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(r);
}

// A disk's whole simulated life, one reading a day: used and total megabytes, and when the
// history's snapshots were taken (times of day per day; none on a day without one).
struct Life {
    std::vector<double> used;
    std::vector<double> total;
    int historyDays = 0;
    std::vector<std::vector<double>> snapshotTimes;
    std::string schedule;
};

// The shape most disks share: the days the history covers, the days left after it, the
// share of the disk consumed over both, the net daily consumption that follows, and how
// noisy the disk is (a factor on its day-to-day wander and its temporary files).
struct Plan {
    double total = 0;
    int historyDays = 0;
    double daysLeft = 0;
    double netPerDay = 0;
    double startUsed = 0;
    double noise = 0;
};

Plan plan(Random& r, double minHistory = 10, double maxHistory = 5 * 365, double minLeft = 7,
          double maxLeft = 730)
{
    Plan p;
    const double sizes[] = {100 * GB, 250 * GB, 500 * GB, 1024 * GB, 2048 * GB, 8192 * GB};
    p.total = sizes[uniformInt(r, 0, 5)];
    p.historyDays = static_cast<int>(std::round(logUniform(r, minHistory, maxHistory)));
    p.daysLeft = logUniform(r, minLeft, maxLeft);
    const double share = uniform(r, 0.3, 0.9);
    p.netPerDay = share * p.total / (p.historyDays + p.daysLeft);
    p.startUsed = p.total * (1 - share);
    const double levels[] = {0.1, 0.4, 1.0};
    p.noise = levels[uniformInt(r, 0, 2)];
    return p;
}

// When the snapshots were taken: every night; on weekdays only; every night but for a week
// the collector was down; or several times on some days, by hand through the working day.
void schedule(Random& r, Life& life)
{
    life.snapshotTimes.assign(size_t(life.historyDays), {});
    const double pick = uniform(r, 0, 1);
    const int days = life.historyDays;
    const int downFrom = days > 14 ? uniformInt(r, std::max(0, days - 56), days - 9) : -1;
    for (int d = 0; d < days; ++d) {
        std::vector<double>& times = life.snapshotTimes[size_t(d)];
        const int weekday = d % 7; // 0 is a Monday
        if (pick < 0.5) {
            times = {SnapshotTime};
        } else if (pick < 0.7) {
            if (weekday < 5)
                times = {SnapshotTime};
        } else if (pick < 0.85) {
            if (d < downFrom || d >= downFrom + 7)
                times = {SnapshotTime};
        } else {
            times = {SnapshotTime};
            if (uniform(r, 0, 1) < 0.4)
                for (int k = uniformInt(r, 1, 5); k > 0; --k)
                    times.push_back(uniform(r, 8.0 / 24, 18.0 / 24));
        }
    }
    // The newest day always has its snapshot: the history ends there.
    if (days > 0 && life.snapshotTimes.back().empty())
        life.snapshotTimes.back() = {SnapshotTime};
    life.schedule = pick < 0.5    ? "nightly"
                    : pick < 0.7  ? "weekdays"
                    : pick < 0.85 ? "week down"
                                  : "several";
}

Life lifeOf(Random& r, const Plan& p)
{
    Life life;
    life.historyDays = std::max(1, p.historyDays);
    life.used.assign(size_t(life.historyDays + FutureDays), 0);
    life.total.assign(life.used.size(), p.total);
    schedule(r, life);
    return life;
}

Case fromLife(const std::string& kind, const Life& life, Truth truth)
{
    Case c;
    c.kind = kind;
    c.truth = truth;
    c.schedule = life.schedule;
    for (int d = 0; d < life.historyDays; ++d) {
        for (const double time : life.snapshotTimes[size_t(d)]) {
            HistoryPoint p;
            p.date = FirstDay + d;
            p.time = time;
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

// Each day uses the usual amount give or take (a walk), and each reading sees temporary
// files on top (transient).
double step(Random& r, const Plan& p, double rate)
{
    return rate * (1 + 2 * p.noise * normal(r));
}

double transient(Random& r, const Plan& p)
{
    return p.noise * 2 * p.netPerDay * std::abs(normal(r));
}

Case steadyGrowth(Random& r, const Plan& p, const char* kind)
{
    Life life = lifeOf(r, p);
    double used = p.startUsed;
    for (double& u : life.used) {
        used += step(r, p, p.netPerDay);
        u = used + transient(r, p);
    }
    return fromLife(kind, life, Truth::Fills);
}

Case steady(Random& r)
{
    return steadyGrowth(r, plan(r), "steady");
}

// Logs grow every day and a weekly rotation deletes them: a saw-tooth on a steady trend, of
// a height from a fraction of the week's growth to many times it.
Case sawTooth(Random& r)
{
    const Plan p = plan(r);
    Life life = lifeOf(r, p);
    const double logsPerDay = logUniform(r, 0.3, 8.0) * p.netPerDay;
    const int rotationDay = uniformInt(r, 0, 6);
    double used = p.startUsed;
    double logs = 0;
    for (size_t d = 0; d < life.used.size(); ++d) {
        used += step(r, p, p.netPerDay);
        logs = (int(d) % 7 == rotationDay) ? 0.0 : logs + logsPerDay * (1 + 0.2 * normal(r));
        life.used[d] = used + logs;
    }
    return fromLife("weekly saw-tooth", life, Truth::Fills);
}

// Quiet growth; now and then a burst of several days' worth that is cleaned up again a few
// days later.
Case bursts(Random& r)
{
    const Plan p = plan(r);
    Life life = lifeOf(r, p);
    const double chance = uniform(r, 1.0 / 30, 1.0 / 7);
    std::vector<double> extra(life.used.size(), 0);
    for (size_t d = 0; d < extra.size(); ++d) {
        if (uniform(r, 0, 1) >= chance)
            continue;
        const double size = p.netPerDay * logUniform(r, 3, 30);
        const size_t kept = size_t(uniformInt(r, 1, 10));
        for (size_t k = d; k < std::min(extra.size(), d + kept); ++k)
            extra[k] += size;
    }
    double used = p.startUsed;
    for (size_t d = 0; d < life.used.size(); ++d) {
        used += step(r, p, p.netPerDay);
        life.used[d] = used + extra[d] + transient(r, p);
    }
    return fromLife("bursts cleaned up", life, Truth::Fills);
}

// Growth, a bulk delete some days before the history ends, then growth again, maybe at a
// pace of its own.
Case bulkDelete(Random& r)
{
    const Plan p = plan(r, 40);
    Life life = lifeOf(r, p);
    const int deleteDay = life.historyDays - uniformInt(r, 3, 40);
    const double share = uniform(r, 0.2, 0.6);
    const double after = uniform(r, 0.7, 1.5);
    double used = p.startUsed;
    for (size_t d = 0; d < life.used.size(); ++d) {
        used += step(r, p, int(d) > deleteDay ? after * p.netPerDay : p.netPerDay);
        if (int(d) == deleteDay)
            used *= 1 - share;
        life.used[d] = used + transient(r, p);
    }
    return fromLife("bulk delete", life, Truth::Fills);
}

// A disk grown once or twice in its last two months; what it holds grows on.
Case grown(Random& r)
{
    const Plan p = plan(r, 40);
    Life life = lifeOf(r, p);
    const int times = uniformInt(r, 1, 2);
    std::vector<int> days;
    for (int i = 0; i < times; ++i)
        days.push_back(life.historyDays - uniformInt(r, 3, 60));
    std::sort(days.begin(), days.end());
    double total = p.total;
    double used = p.startUsed;
    size_t next = 0;
    for (size_t d = 0; d < life.used.size(); ++d) {
        while (next < days.size() && int(d) >= days[next]) {
            total *= uniform(r, 1.2, 2.0);
            ++next;
        }
        used += step(r, p, p.netPerDay);
        life.total[d] = total;
        life.used[d] = used + transient(r, p);
    }
    return fromLife("grown disk", life, Truth::Fills);
}

// Growth that speeds up: the daily consumption doubles every couple of months to years.
Case accelerating(Random& r)
{
    const Plan p = plan(r);
    Life life = lifeOf(r, p);
    const double tau = logUniform(r, 60, 500); // e-folding time of the daily consumption
    const double horizon = p.historyDays + p.daysLeft;
    const double consumed = p.total - p.startUsed;
    const double first = consumed / (tau * (std::exp(horizon / tau) - 1));
    double used = p.startUsed;
    for (size_t d = 0; d < life.used.size(); ++d) {
        used += step(r, p, first * std::exp(double(d) / tau));
        life.used[d] = used + transient(r, p);
    }
    return fromLife("accelerating", life, Truth::Fills);
}

// Growth that slows down towards a lasting pace: a project that filled a disk fast at first.
Case decelerating(Random& r)
{
    const Plan p = plan(r);
    Life life = lifeOf(r, p);
    const double tau = logUniform(r, 30, 400);
    const double lasting = uniform(r, 0.3, 0.8); // share of the net pace that lasts
    const double horizon = p.historyDays + p.daysLeft;
    const double consumed = p.total - p.startUsed;
    // lasting * net * horizon + extra * tau * (1 - e^(-horizon / tau)) = consumed
    const double rate = lasting * consumed / horizon;
    const double extra = (consumed - rate * horizon) / (tau * (1 - std::exp(-horizon / tau)));
    double used = p.startUsed;
    for (size_t d = 0; d < life.used.size(); ++d) {
        used += step(r, p, rate + extra * std::exp(-double(d) / tau));
        life.used[d] = used + transient(r, p);
    }
    return fromLife("decelerating", life, Truth::Fills);
}

// A pace that changed a week to two months before the history ends: a new application, a
// retired one.
Case changeOfRate(Random& r)
{
    const Plan p = plan(r, 30);
    Life life = lifeOf(r, p);
    const int changeDay = life.historyDays - uniformInt(r, 7, 60);
    const double factor = logUniform(r, 0.3, 3.0);
    const double horizon = p.historyDays + p.daysLeft;
    const double consumed = p.total - p.startUsed;
    // The pace before and after meet the plan's full date.
    const double before = consumed / (changeDay + factor * (horizon - changeDay));
    double used = p.startUsed;
    for (size_t d = 0; d < life.used.size(); ++d) {
        used += step(r, p, int(d) < changeDay ? before : before * factor);
        life.used[d] = used + transient(r, p);
    }
    return fromLife("change of rate", life, Truth::Fills);
}

// Little room left: full within days to two weeks.
Case nearlyFull(Random& r)
{
    return steadyGrowth(r, plan(r, 10, 5 * 365, 2, 14), "nearly full");
}

// No growth: what is written is deleted again, with noise and sometimes a weekly rhythm.
Case flat(Random& r)
{
    const Plan p = plan(r);
    Life life = lifeOf(r, p);
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
    Life life = lifeOf(r, p);
    const double fall = uniform(r, 0.2, 1.0) * p.netPerDay;
    double used = p.total * 0.9;
    for (double& u : life.used) {
        used = std::max(0.0, used - fall * (1 + 0.8 * normal(r)));
        u = used + 0.5 * fall * std::abs(normal(r));
    }
    return fromLife("shrinking", life, Truth::NotFilling);
}

// Too little to go on: a few readings minutes apart, or daily ones over a few days only, of
// a disk that fills fast.
Case tooShort(Random& r)
{
    Plan p = plan(r, 1, 4);
    Life life = lifeOf(r, p);
    if (uniform(r, 0, 1) < 0.5) {
        life.historyDays = 1;
        life.snapshotTimes = {{}};
        for (int k = uniformInt(r, 2, 6); k > 0; --k)
            life.snapshotTimes[0].push_back(uniform(r, 8.0 / 24, 18.0 / 24));
        life.schedule = "one day";
    }
    double used = p.startUsed;
    for (double& u : life.used) {
        used += p.netPerDay * 3 * (1 + 0.5 * normal(r));
        u = used;
    }
    return fromLife("too short", life, Truth::NotEnoughHistory);
}

} // namespace

const std::vector<Kind>& kinds()
{
    static const std::vector<Kind> all = {
        {"steady", Truth::Fills, steady},
        {"weekly saw-tooth", Truth::Fills, sawTooth},
        {"bursts cleaned up", Truth::Fills, bursts},
        {"bulk delete", Truth::Fills, bulkDelete},
        {"grown disk", Truth::Fills, grown},
        {"accelerating", Truth::Fills, accelerating},
        {"decelerating", Truth::Fills, decelerating},
        {"change of rate", Truth::Fills, changeOfRate},
        {"nearly full", Truth::Fills, nearlyFull},
        {"flat", Truth::NotFilling, flat},
        {"shrinking", Truth::NotFilling, shrinking},
        {"too short", Truth::NotEnoughHistory, tooShort},
    };
    return all;
}

Case make(const Kind& kind, std::uint64_t seed)
{
    Random random(seed);
    return kind.make(random);
}

} // namespace SyntheticDisks
