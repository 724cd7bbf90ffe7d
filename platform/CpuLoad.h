#pragma once

// How busy the machine's processors are, for deciding whether more work at once would
// help or only slow everything down.
class CpuLoadMeter {
public:
    CpuLoadMeter();

    // The share of processor time spent idle since the previous call (or since the meter
    // was made), from 0 to 1; 1 where the platform does not say.
    double idleSinceLastCall();

private:
    unsigned long long m_idle = 0;
    unsigned long long m_total = 0;
};
