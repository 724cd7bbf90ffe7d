#pragma once

#include <QVariant>

// What one measurement of a volume makes of the platform's two byte counts and of what
// the Systems row remembers: megabytes, percentages, the space consumed since monitoring
// began, the average daily consumption, the predicted full date and whether the free space
// has fallen to the system's threshold.
//
// Megabyte figures and the cumulative figure are 64-bit, so volumes of 2 PiB and more are
// measured correctly; every integer step that could overflow raises IntegerOverflowError
// ("Integer overflow") instead of wrapping.

struct SpaceInputs {
    // Free bytes available to the calling user (less than the volume's free bytes under quotas).
    qint64 FreeBytes = 0;
    // Must be positive. Probes report a volume of 0 bytes as a failed query, so the system
    // counts as unreachable and this is never called for it; a 0 that slips through raises
    // FloatingPointError ("Invalid floating point operation"), as the percentage would.
    qint64 TotalBytes = 0;
    // LastFreeMB of the row, 0 when it is empty.
    qint64 PreviousFreeMB = 0;
    // CumUsedMB of the row.
    qint64 CumulativeUsedMB = 0;
    // Date-time values (days since 30 December 1899); RunDate carries no time of day.
    double StartDate = 0;
    double RunDate = 0;
    // Alert1MB of the row as stored: may be Null or hold a fraction.
    QVariant Alert1MB;
};

struct SpaceFigures {
    qint64 UsedBytes = 0;
    qint64 TotalMB = 0;
    qint64 FreeMB = 0;
    qint64 UsedMB = 0;
    double FreePercent = 0;
    double UsedPercent = 0;
    qint64 CumulativeUsedMB = 0;
    qint64 AverageDailyMB = 0;
    // 0 when no date is predicted. On success the stored prediction is always replaced, so
    // it is not an input: only a failed query keeps it, and that never reaches this code.
    double ZeroDate = 0;
    // FreeMB is at or below a positive Alert1MB.
    bool FreeSpaceAlert = false;
};

SpaceFigures computeSpaceFigures(const SpaceInputs& in);

// Bytes in whole megabytes (1,048,576 bytes), halves to the even neighbour. Done in integers:
// a double holds byte counts exactly only up to 8 PiB, past which a count just below half a
// megabyte would round as if it were the half.
qint64 bytesToMB(qint64 bytes);

// part as a percentage of total with two decimals: part x 100 exactly in 64 bits (an overflow
// is an error), then divided and multiplied by 100 in double, rounded halves to even, / 100.
// total must not be 0.
double percentOfTotal(qint64 part, qint64 total);
