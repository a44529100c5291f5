// The POSIX handles of a port: the terminal's descriptor, the pipe that wakes the watcher and
// the watcher thread.
#pragma once

#include <cstdint>
#include <thread>

struct PlatformPort {
    int m_hComm = -1;
    int m_wakePipe[2] = {-1, -1};  // written by ClosePort to end the watcher's poll
    std::thread m_hThread;
    uint32_t m_dwWriteMsPerByte = 2;
};
