#include "tests/support/process_stats.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

long Entries(const char* directory) {
    long count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory))
        ++count;
    return count;
}

}  // namespace

const char* const PROCESS_HANDLES_NAME = "open file descriptors";

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The directory iterator's own descriptor is not counted.
ProcessCounts CountProcessResources() {
    return {Entries("/proc/self/fd") - 1, Entries("/proc/self/task")};
}

double ProcessMemoryMiB() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    double kib = 0;
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, "VmRSS:", 6) == 0) kib = std::atof(line + 6);
    std::fclose(status);
    return kib / 1024.0;
}
