// What a process has used so far, for the checks and benches that watch it.
#pragma once

// The CPU time, user and kernel, in seconds.
double ProcessCpuSeconds();

struct ProcessCounts {
    long handles;  // Windows handles, or open file descriptors on POSIX
    long threads;
};
ProcessCounts CountProcessResources();

// The memory the process holds now (its resident set, or its working set on Windows), in MiB.
double ProcessMemoryMiB();

// What ProcessCounts::handles counts on this platform, for a printed line.
extern const char* const PROCESS_HANDLES_NAME;
