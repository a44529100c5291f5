#include "tests/support/process_stats.h"

#include <windows.h>
// windows.h first: tlhelp32.h needs its types.
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdint>

namespace {

double Seconds(const FILETIME& t) {
    return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
}

// GetProcessHandleCount, or where it gives nothing (Wine 8) the valid handle values counted.
long HandleCount() {
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles) && handles > 0) return handles;
    long valid = 0;
    DWORD flags = 0;
    for (uintptr_t value = 4; value < 0x10000; value += 4)
        valid += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) != FALSE;
    return valid;
}

long ThreadCount() {
    long threads = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        threads += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return threads;
}

}  // namespace

const char* const PROCESS_HANDLES_NAME = "handles";

double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

ProcessCounts CountProcessResources() {
    const long handles = HandleCount();
    return {handles, ThreadCount()};
}

double ProcessMemoryMiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    // kernel32's own: psapi.dll is not among the DLLs the programs may import.
    K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.WorkingSetSize) / 1048576.0;
}
