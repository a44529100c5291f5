// The Windows handles of a port: the file, its overlapped I/O records, the watcher thread and
// the event that ends the watcher's rest.
#pragma once

#include <windows.h>

#include <atomic>

#include "link/comm_port.h"

struct PlatformPort {
    HANDLE m_hComm = INVALID_HANDLE_VALUE;
    OVERLAPPED m_osRead{};
    OVERLAPPED m_osWrite{};
    OVERLAPPED m_osWait{};  // the watcher's own record for WaitCommEvent
    HANDLE m_hThread = nullptr;
    HANDLE m_hActivity = nullptr;  // set by writes and ClosePort to end the watcher's rest
    std::atomic<unsigned> m_nWrites{0};
    bool m_bTimerRaised = false;
    uint32_t m_dwOutQueue = COMM_QUEUE_SIZE;
};
