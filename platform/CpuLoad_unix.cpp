#include "platform/CpuLoad.h"

#include <cstdio>

namespace {

// The first line of /proc/stat: "cpu user nice system idle iowait irq softirq steal ...",
// in clock ticks since boot, summed over all processors. False where there is none.
bool readTicks(unsigned long long* idle, unsigned long long* total)
{
    std::FILE* file = std::fopen("/proc/stat", "re");
    if (!file)
        return false;
    unsigned long long v[8] = {};
    const int fields = std::fscanf(file, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &v[0],
                                   &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]);
    std::fclose(file);
    if (fields < 4)
        return false;
    *idle = v[3] + v[4]; // waiting for I/O leaves the processor free too
    *total = 0;
    for (const unsigned long long ticks : v)
        *total += ticks;
    return true;
}

} // namespace

CpuLoadMeter::CpuLoadMeter()
{
    readTicks(&m_idle, &m_total);
}

double CpuLoadMeter::idleSinceLastCall()
{
    unsigned long long idle = 0, total = 0;
    if (!readTicks(&idle, &total))
        return 1.0;
    const unsigned long long elapsed = total - m_total;
    const double share = elapsed ? static_cast<double>(idle - m_idle) / elapsed : 1.0;
    m_idle = idle;
    m_total = total;
    return share;
}
