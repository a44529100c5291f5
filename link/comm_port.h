// The serial line to the device: opens a port, writes byte blocks, and runs one watcher thread
// that hands every received chunk to AssembleRx. It knows nothing of frames or the dialog.
// On Windows a port is named COMn; on POSIX it is a device path (a tty or a pseudo-terminal).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <thread>
#endif

constexpr uint32_t COMM_QUEUE_SIZE = 4096;

class CCommPort {
public:
    CCommPort();
    ~CCommPort();
    CCommPort(const CCommPort&) = delete;
    CCommPort& operator=(const CCommPort&) = delete;

    bool OpenPort(const std::string& name, uint32_t speed);
    // Stops watching, waits for the watcher to end and closes the port; safe when closed.
    void ClosePort();
    uint32_t WriteComm(const uint8_t* bytes, uint32_t length);
    // Reads what is waiting, at most COMM_QUEUE_SIZE bytes; 0 when nothing is.
    uint32_t ReadComm(uint8_t* buffer);

    bool IsOpen() const;
    const std::string& PortName() const { return m_strPortName; }

private:
#ifdef _WIN32
    friend DWORD WINAPI ThreadWatchComm(LPVOID port);
    void CloseHandles();

    HANDLE m_hComm = INVALID_HANDLE_VALUE;
    OVERLAPPED m_osRead{};
    OVERLAPPED m_osWrite{};
    OVERLAPPED m_osWait{};  // the watcher's own record for WaitCommEvent
    HANDLE m_hThread = nullptr;
    HANDLE m_hActivity = nullptr;  // set by writes and ClosePort to end the watcher's rest
    std::atomic<unsigned> m_nWrites{0};
    bool m_bTimerRaised = false;
#else
    friend void ThreadWatchComm(CCommPort* port);
    void CloseHandles();

    int m_hComm = -1;
    int m_wakePipe[2] = {-1, -1};  // written by ClosePort to end the watcher's poll
    std::thread m_hThread;
    uint32_t m_dwWriteMsPerByte = 2;
#endif
    std::string m_strPortName;
    std::atomic<int> m_bWatching{0};
    uint32_t m_dwInQueue = COMM_QUEUE_SIZE;
    uint32_t m_dwOutQueue = COMM_QUEUE_SIZE;
};

#ifdef _WIN32
DWORD WINAPI ThreadWatchComm(LPVOID port);
#else
void ThreadWatchComm(CCommPort* port);
#endif

// "Error while creating ThreadWatchComm,COM3": the watcher's only message.
std::string WatcherErrorText(const std::string& portName);
