#include "tests/e2e/process_figures.h"

// windows.h first: these need its types.
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdint>
#include <vector>

namespace {

using Status = LONG;
constexpr Status kLengthMismatch = static_cast<Status>(0xC0000004);
constexpr int kSystemHandleInformation = 16;
constexpr int kProcessBasicInformation = 0;
// Where a 64-bit PEB keeps the address of the process's GDI handle table.
constexpr size_t kPebGdiHandleTable = 0xF8;
constexpr size_t kGdiHandles = 0x10000;

struct HandleEntry {
    ULONG pid;
    BYTE type, flags;
    USHORT value;
    void* object;
    ULONG access;
};

struct GdiEntry {
    uint64_t object;
    uint32_t owner;
    uint16_t unique;
    uint8_t type, stock;
    uint8_t padding[2];
};

struct BasicInformation {
    Status exitStatus;
    void* peb;
    ULONG_PTR affinity, priority, pid, parentPid;
};

template <typename Function>
Function Ntdll(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// The handles the system lists for the process (Wine lists its server's handle table).
long ListedHandles(DWORD pid) {
    using Query = Status(WINAPI*)(int, void*, ULONG, ULONG*);
    const auto query = Ntdll<Query>("NtQuerySystemInformation");
    if (!query) return -1;
    std::vector<char> buffer(1 << 16);
    Status status;
    ULONG needed = 0;
    while ((status = query(kSystemHandleInformation, buffer.data(),
                           static_cast<ULONG>(buffer.size()), &needed)) == kLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0) return -1;
    const ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const HandleEntry*>(buffer.data() + sizeof(void*));
    long mine = 0;
    for (ULONG i = 0; i < count; ++i) mine += entries[i].pid == pid;
    return mine;
}

// The entries in use of the process's own GDI handle table, stock objects included.
long GdiTableEntries(HANDLE process) {
    using Query = Status(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = Ntdll<Query>("NtQueryInformationProcess");
    BasicInformation basic{};
    if (!query || query(process, kProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return -1;
    uint64_t table = 0;
    if (!ReadProcessMemory(process, static_cast<char*>(basic.peb) + kPebGdiHandleTable, &table,
                           sizeof table, nullptr) ||
        !table)
        return -1;
    std::vector<GdiEntry> entries(kGdiHandles);
    if (!ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(),
                           entries.size() * sizeof(GdiEntry), nullptr))
        return -1;
    long used = 0;
    for (const GdiEntry& entry : entries) used += entry.type != 0;
    return used;
}

struct WindowCount {
    DWORD pid;
    long windows;
};

BOOL CALLBACK CountChild(HWND, LPARAM param) {
    ++reinterpret_cast<WindowCount*>(param)->windows;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM param) {
    auto* count = reinterpret_cast<WindowCount*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != count->pid) return TRUE;
    ++count->windows;
    EnumChildWindows(window, CountChild, param);
    return TRUE;
}

long Windows(DWORD pid) {
    WindowCount count{pid, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
    return count.windows;
}

long Threads(DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    long threads = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        threads += entry.th32OwnerProcessID == pid;
    CloseHandle(snapshot);
    return threads;
}

// A count from the system's own call, or where that gives 0 (Wine 8) from the other way.
std::string Count(const char* name, long counted, const char* by, long otherwise,
                  const char* otherBy) {
    const bool own = counted > 0;
    return std::string(" ") + name + "=" + std::to_string(own ? counted : otherwise) + " " + name +
           "-by=" + (own ? by : otherBy);
}

}  // namespace

std::string ProcessFigures(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return "error cannot open the process";
    DWORD handles = 0;
    if (!GetProcessHandleCount(process, &handles)) handles = 0;
    std::string out = "pid=" + std::to_string(pid);
    out += Count("handles", static_cast<long>(handles), "GetProcessHandleCount", ListedHandles(pid),
                 "system-handle-list");
    out += " threads=" + std::to_string(Threads(pid));
    out += Count("gdi", static_cast<long>(GetGuiResources(process, GR_GDIOBJECTS)),
                 "GetGuiResources", GdiTableEntries(process), "gdi-handle-table");
    out += Count("user", static_cast<long>(GetGuiResources(process, GR_USEROBJECTS)),
                 "GetGuiResources", Windows(pid), "windows");
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process, &memory, sizeof memory))
        out += " memory-kib=" + std::to_string(memory.WorkingSetSize / 1024) +
               " peak-kib=" + std::to_string(memory.PeakWorkingSetSize / 1024);
    CloseHandle(process);
    return out;
}
