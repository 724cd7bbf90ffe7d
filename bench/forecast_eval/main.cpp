// How good the full-date forecast is, on synthetic histories whose true full date is known
// (SyntheticDisks.h), beside the two figures an administrator would otherwise go by
// (Baselines.h):
//
//   forecast  our forecast (engine/Forecast.h)
//   classic   the average daily consumption since monitoring began, as every run computes it
//   lsq 7 d   a least-squares line through the last seven days of free space, followed to 0
//
// The cases come from two fixed sets of seeds: "fit" for choosing the method's parameters,
// "report" for judging it. A figure chosen on the report seeds would say nothing.
//
// The error of a date is capped at the days the disk really had left, which is also what a
// method that gives no date is charged: a date further off than that helps no one more than
// none. For each kind of disk that fills it prints the mean and the median capped error of
// each method, how often our range held the true date and how often the disk filled before
// or after it; for disks that do not fill or have too little history, how often a method
// gave a date anyway. The exit status is 1 when our forecast gives such a date.
//
// --each also prints one line per disk that fills, before the tables, for looking into
// single cases: kind, schedule, days of history, days the disk really had left, what each
// method said (-1: no date), our range, and the case's seed.

#include "Baselines.h"
#include "SyntheticDisks.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

using Baselines::Answer;
using SyntheticDisks::Case;
using SyntheticDisks::Truth;

namespace {

constexpr int Methods = 3; // forecast, classic, lsq 7 d

// The first seed of each set; case i of kind k has seed first + k * 100,000 + i.
constexpr std::uint64_t FitSeeds = 1'000'000;
constexpr std::uint64_t ReportSeeds = 7'000'000;

struct Tally {
    int cases = 0;
    std::vector<double> errors[Methods];
    int noDate[Methods] = {0, 0, 0};
    int dated[Methods] = {0, 0, 0}; // dates given where the truth has none
    int ranged = 0;
    int inRange = 0;
    int early = 0; // the disk filled before our range began
    int late = 0;  // or after it ended
    double rangeDays = 0;
};

void count(Tally& t, const Case& c, const Answer (&answers)[Methods])
{
    ++t.cases;
    const double left = std::max(0.0, c.trueFullDate - c.lastDate);
    for (int m = 0; m < Methods; ++m) {
        const Answer& a = answers[m];
        if (c.truth != Truth::Fills) {
            t.dated[m] += a.fullDate ? 1 : 0;
            continue;
        }
        if (!a.fullDate)
            ++t.noDate[m];
        t.errors[m].push_back(a.fullDate ? std::min(std::abs(*a.fullDate - c.trueFullDate), left)
                                         : left);
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

double mean(const std::vector<double>& v)
{
    double sum = 0;
    for (const double x : v)
        sum += x;
    return v.empty() ? 0.0 : sum / double(v.size());
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void printFillingHeader()
{
    std::printf("| kind                | cases | mean: ours | classic | lsq 7 d | median: ours | "
                "classic | lsq 7 d | ratio | in range | early  | late   | width | no date |\n");
    std::printf("|---------------------|------:|-----------:|--------:|--------:|-------------:|"
                "--------:|--------:|------:|---------:|-------:|-------:|------:|--------:|\n");
}

// ratio: our mean capped error over the better baseline's.
void printFillingRow(const char* name, const Tally& t)
{
    auto share = [&](int n) { return t.ranged ? 100.0 * n / t.ranged : 0.0; };
    const double better = std::min(mean(t.errors[1]), mean(t.errors[2]));
    std::printf("| %-19s | %5d | %10.1f | %7.1f | %7.1f | %12.1f | %7.1f | %7.1f | %5.2f | "
                "%6.1f %% | %4.1f %% | %4.1f %% | %5.0f | %7d |\n",
                name, t.cases, mean(t.errors[0]), mean(t.errors[1]), mean(t.errors[2]),
                median(t.errors[0]), median(t.errors[1]), median(t.errors[2]),
                better > 0 ? mean(t.errors[0]) / better : 0.0, share(t.inRange), share(t.early),
                share(t.late), t.ranged ? t.rangeDays / t.ranged : 0.0, t.noDate[0]);
}

void printOtherRow(const char* name, const Tally& t)
{
    auto share = [&](int m) { return t.cases ? 100.0 * t.dated[m] / t.cases : 0.0; };
    std::printf("| %-19s | %5d | %7.1f %% | %6.1f %% | %6.1f %% |\n", name, t.cases, share(0),
                share(1), share(2));
}

void printCase(const Case& c, const Answer (&answers)[Methods], std::uint64_t seed)
{
    auto days = [&](const std::optional<double>& date) { return date ? *date - c.lastDate : -1.0; };
    const bool dated = answers[0].fullDate.has_value();
    std::printf("%-18s %-9s history %5.0f  left %5.0f  ours %5.0f [%5.0f, %5.0f]  classic %5.0f  "
                "lsq %5.0f  seed %llu\n",
                c.kind.c_str(), c.schedule.c_str(), c.lastDate - c.history.front().date,
                c.trueFullDate - c.lastDate, days(answers[0].fullDate),
                dated ? answers[0].lowDate - c.lastDate : -1.0,
                dated ? answers[0].highDate - c.lastDate : -1.0, days(answers[1].fullDate),
                days(answers[2].fullDate), static_cast<unsigned long long>(seed));
}

[[noreturn]] void usage(const char* program)
{
    std::fprintf(stderr, "usage: %s [--seeds fit|report] [--cases N] [--each]\n", program);
    std::exit(2);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int perKind = 60;
    bool fit = false;
    bool each = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--each") == 0)
            each = true;
        else if (std::strcmp(argv[i], "--cases") == 0 && i + 1 < argc)
            perKind = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--seeds") == 0 && i + 1 < argc) {
            const char* set = argv[++i];
            if (std::strcmp(set, "fit") != 0 && std::strcmp(set, "report") != 0)
                usage(argv[0]);
            fit = std::strcmp(set, "fit") == 0;
        } else {
            usage(argv[0]);
        }
    }
    const std::uint64_t first = fit ? FitSeeds : ReportSeeds;

    const std::vector<SyntheticDisks::Kind>& kinds = SyntheticDisks::kinds();
    std::map<std::string, Tally> tallies;
    std::map<std::string, int> schedules;
    Tally filling;
    Tally other;
    int fillsBeyondFuture = 0;
    for (size_t k = 0; k < kinds.size(); ++k) {
        for (int i = 0; i < perKind; ++i) {
            const std::uint64_t seed = first + k * 100'000 + std::uint64_t(i);
            const Case c = SyntheticDisks::make(kinds[k], seed);
            if (kinds[k].meant == Truth::Fills && c.truth != Truth::Fills) {
                ++fillsBeyondFuture; // meant to fill, but not within the simulated years
                continue;
            }
            ++schedules[c.schedule];
            const Answer answers[Methods] = {Baselines::forecast(c.history),
                                             Baselines::classic(c.history),
                                             Baselines::leastSquaresWeek(c.history)};
            if (each && c.truth == Truth::Fills)
                printCase(c, answers, seed);
            count(tallies[kinds[k].name], c, answers);
            count(c.truth == Truth::Fills ? filling : other, c, answers);
        }
    }

    std::printf("Full-date forecast on synthetic histories: %d per kind, %s seeds %llu + "
                "kind x 100000 + case\n\n",
                perKind, fit ? "fit" : "report", static_cast<unsigned long long>(first));
    std::printf("Capped error in days (a date's error, at most the days the disk had left; "
                "no date counts as that many);\nratio: our mean over the better baseline's; "
                "how often our %.0f %% range held the true date, and how often\nthe disk filled "
                "before or after it; the range's mean width in days; how often we gave no "
                "date.\n\n",
                Forecast::RangeShare * 100);
    printFillingHeader();
    for (const SyntheticDisks::Kind& kind : kinds)
        if (kind.meant == Truth::Fills && tallies[kind.name].cases > 0)
            printFillingRow(kind.name, tallies[kind.name]);
    printFillingRow("overall", filling);

    std::printf("\nDates given where there should be none\n\n");
    std::printf("| kind                | cases | forecast |  classic |  lsq 7 d |\n");
    std::printf("|---------------------|------:|---------:|---------:|---------:|\n");
    for (const SyntheticDisks::Kind& kind : kinds)
        if (kind.meant != Truth::Fills)
            printOtherRow(kind.name, tallies[kind.name]);
    printOtherRow("overall", other);

    std::printf("\nSnapshots taken:");
    for (const auto& [schedule, n] : schedules)
        std::printf(" %s %d;", schedule.c_str(), n);
    std::printf("\n");
    if (fillsBeyondFuture > 0)
        std::printf("(%d histories meant to fill did not within the simulated years; left out)\n",
                    fillsBeyondFuture);
    return other.dated[0] == 0 ? 0 : 1;
}
