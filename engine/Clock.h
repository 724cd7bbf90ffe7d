#pragma once

#include <QDateTime>

// Where the engine takes "now" from, so run dates, day counts and time stamps can be tested
// without waiting for the calendar.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0; // local time
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};
