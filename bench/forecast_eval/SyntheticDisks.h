#pragma once

// Synthetic disk histories whose true full date is known, for judging forecasts. Nothing here
// knows how any forecast works: each history is the start of one simulated disk, and the same
// simulation run on past the history's end says when that disk really fills.

#include "engine/Forecast.h"

#include <QList>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace SyntheticDisks {

enum class Truth { Fills, NotFilling, NotEnoughHistory };

struct Case {
    std::string kind;
    QList<HistoryPoint> history; // oldest first
    Truth truth = Truth::Fills;
    double trueFullDate = 0; // date value of the day the disk fills (Fills only)
    double lastDate = 0;     // date value of the newest snapshot
    std::string schedule;    // how the snapshots were taken
};

using Random = std::mt19937_64;

struct Kind {
    const char* name;
    Truth meant;
    Case (*make)(Random&);
};

// Steady; weekly saw-tooth; bursts cleaned up later; bulk delete; grown disk; accelerating;
// decelerating; change of rate; nearly full; flat; shrinking; too short.
const std::vector<Kind>& kinds();

// One case of a kind, wholly decided by the seed (with one standard library: the random
// distributions are not the same numbers in every implementation). A disk meant to fill that does
// not within the simulated years comes back as NotFilling.
Case make(const Kind& kind, std::uint64_t seed);

} // namespace SyntheticDisks
