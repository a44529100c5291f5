// For the platforms' CCommPort implementations only: the port's state, the same on both, around
// the platform's handles (PlatformPort, from link/<platform>/platform_port.h: the build puts the
// folder of the platform it builds for on the include path).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "link/comm_port.h"
#include "platform_port.h"

struct CCommPort::Impl : PlatformPort {
    std::string m_strPortName;
    std::atomic<int> m_bWatching{0};
    std::atomic<bool> m_bWatcherRunning{false};
    uint32_t m_dwInQueue = COMM_QUEUE_SIZE;

    mutable std::mutex m_failureLock;  // the watcher records failures too
    PortFailure m_failure;
};

// The platform's part of CCommPort (link/<platform>/comm_port.cpp).

// Opens the port and sets it up; false leaves nothing open and the failure recorded.
bool OpenLine(CCommPort::Impl& port, const std::string& name, uint32_t speed);
// Starts the watcher thread; false with the failure recorded.
bool StartWatcher(CCommPort::Impl& port);
bool IsLineOpen(const CCommPort::Impl& port);
// What is waiting, at most the queue size: the count, 0 for nothing, -1 when the line failed.
int ReadWaiting(CCommPort::Impl& port, uint8_t* buffer);
// What the platform's error code means (link/<platform>/port_cause.cpp).
PortCause CauseOfSystemError(int code);

// Shared (link/comm_port_shared.cpp).

// Keeps the failure of `step`: the system's error code (0 for none) and what it means, or a
// cause of the program's own. Returns false, for the caller to return.
bool RecordFailure(CCommPort::Impl& port, PortStep step, int code);
bool RecordFailure(CCommPort::Impl& port, PortStep step, PortCause cause);
// A failure of the open line, kept only while the port is watched (after ClosePort a cancelled
// call is no failure) and only the first: what follows it is its consequence.
void RecordLineFailure(CCommPort::Impl& port, PortStep step, int code);

// The write time-out's share of a byte at a supported speed: 2 ms at 115200.
uint32_t WriteMsPerByte(uint32_t speed);

// Hands WatcherErrorText and the failure to the application's handler.
void ReportWatcherError(const CCommPort::Impl& port);
