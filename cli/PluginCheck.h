#pragma once

#include <QList>
#include <QString>

#include <optional>

// The judgement and the output of a check that a monitoring system runs: one status line
// "VARDOMETER OK|WARNING|CRITICAL|UNKNOWN - text | perfdata" and the exit status that goes
// with it, written as monitoring plugins write them (C locale numbers, quoted labels).
namespace PluginCheck {

enum class State { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

const char* stateName(State state);

// Free space at or below which a level is reached: megabytes, or a percentage of the disk.
struct Level {
    double value = 0;
    bool percent = false;
};

// "500", "12.5" or "10%": a number of at least 0 in the C locale, at most 100 with %.
std::optional<Level> parseLevel(const QString& text);

// What is known of one system for the check.
struct Reading {
    enum class Kind {
        Measured, // freeMB and totalMB hold its figures
        NotFound, // its address gave no figures; detail may say why
        Unknown,  // nothing current is known; detail says why
    };
    QString name;
    Kind kind = Kind::Unknown;
    double freeMB = 0;
    double totalMB = 0;
    std::optional<double> ownCriticalMB; // the system's own alert threshold, if it has one
    QString detail;
};

// The levels given on the command line; a level not given falls back to the system's own
// (its alert threshold for critical; systems have no warning level of their own).
struct Levels {
    std::optional<Level> warning;
    std::optional<Level> critical;
};

struct Verdict {
    State state = State::Unknown;
    QString text; // the summary of this system, without its name
};

Verdict judge(const Reading& reading, const Levels& levels);

// A name as a performance data label: everything but the characters that would end it or
// the data (quote, equals sign, vertical bar, controls and line breaks), which become "_".
QString perfLabel(const QString& name);

// The label a system's data goes under: its name when that is safe, otherwise the safe form
// followed by "_" and four hexadecimal digits drawn from the name itself, so that "a=b" and
// "a_b" keep labels of their own whatever other systems there are.
QString labelOf(const QString& name);

// A number as performance data and the status line write it: no exponent, no grouping, a
// point as the decimal separator, at most two decimals.
QString number(double value);

struct Outcome {
    State state = State::Unknown;
    QString line; // the status line and its performance data, without the final line feed
};

// The worst state decides (CRITICAL, then WARNING, then UNKNOWN, then OK); the status line
// names the systems that are not OK, the worst first. No readings at all is UNKNOWN.
Outcome check(const QList<Reading>& readings, const Levels& levels);

// A status line on its own, for the check that cannot look at any system.
Outcome unknown(const QString& reason);

} // namespace PluginCheck
