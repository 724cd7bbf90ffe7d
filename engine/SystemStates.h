#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// How a system stands by the figures its Systems row keeps, in order of severity.
enum class SystemState {
    Ok,
    // The free megabytes are at or below the row's positive alert threshold (Alert1MB), the
    // rule by which a run raises "Free Space (MB) down to ...".
    AtThreshold,
    // A run looked at the system (it has a start date) and its address gave no figures: a
    // check that cannot reach an address stores both percentages as 0, which no measured
    // volume has. The worst state, since nothing at all is known of that disk's space.
    NotFound,
};

namespace SystemStates {

// From the row's InitialDate, LastFree%, LastUsed%, LastFreeMB and Alert1MB as stored. A
// system no run has looked at yet counts as OK: there is nothing to hold against it.
SystemState of(const QVariant& initialDate, const QVariant& lastFreePercent,
               const QVariant& lastUsedPercent, const QVariant& lastFreeMB,
               const QVariant& alert1MB);

// The same, or nothing when a stored value is of a kind the rule cannot compare (text where
// a number belongs), which makes of() fail: for reports that go on with the other systems.
std::optional<SystemState> ofStored(const QVariant& initialDate, const QVariant& lastFreePercent,
                                    const QVariant& lastUsedPercent, const QVariant& lastFreeMB,
                                    const QVariant& alert1MB);

// How many systems are in each state; the worst decides the tray's picture.
struct Counts {
    int atThreshold = 0;
    int notFound = 0;
    void add(SystemState state);
    SystemState worst() const;
};

// The lines that describe the counts, the worst first: "All Systems within tolerance", or
// "1 system not found" and "2 systems at their alert threshold".
QString describe(const Counts& counts);

} // namespace SystemStates
