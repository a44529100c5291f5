// The memory the process holds now (its resident set, or working set on Windows), in MiB.
#pragma once

#ifdef _WIN32
#include <windows.h>
// windows.h first: psapi.h needs its types.
#include <psapi.h>
#else
#include <cstdio>
#include <cstring>
#endif

inline double ProcessMemoryMiB() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    // kernel32's own: psapi.dll is not among the DLLs the programs may import.
    K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.WorkingSetSize) / 1048576.0;
#else
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    double kib = 0;
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, "VmRSS:", 6) == 0) kib = std::atof(line + 6);
    std::fclose(status);
    return kib / 1024.0;
#endif
}
