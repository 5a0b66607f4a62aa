#pragma once

// getrusage's peak resident size over the Windows process memory counters, for the tests of
// the Windows build.

#include <windows.h>

#include <psapi.h>

#define RUSAGE_SELF 0

struct rusage
{
    long ru_maxrss; // KiB, as on Linux
};

inline int getrusage(int, rusage* usage)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)))
        return -1;
    usage->ru_maxrss = static_cast<long>(counters.PeakWorkingSetSize / 1024);
    return 0;
}
