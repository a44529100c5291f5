// The serial line to the device: opens a port, writes byte blocks, and runs one watcher thread
// that hands every received chunk to AssembleRx. It knows nothing of frames or the dialog.
// On Windows a port is named COMn; on POSIX it is a device path (a tty or a pseudo-terminal).
//
// A line that dies while open (an adapter pulled, the device's end closed) ends the watcher;
// the port stays open, every write fails and every exchange times out until ClosePort.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

constexpr uint32_t COMM_QUEUE_SIZE = 4096;

class CCommPort {
public:
    CCommPort();
    ~CCommPort();
    CCommPort(const CCommPort&) = delete;
    CCommPort& operator=(const CCommPort&) = delete;

    // False for a port that cannot be opened and set up, and for a speed that
    // IsSupportedSpeed refuses; nothing stays open then.
    bool OpenPort(const std::string& name, uint32_t speed);
    // Stops watching, waits for the watcher to end and closes the port; safe when closed.
    void ClosePort();
    uint32_t WriteComm(const uint8_t* bytes, uint32_t length);
    // Reads what is waiting, at most COMM_QUEUE_SIZE bytes; 0 when nothing is.
    uint32_t ReadComm(uint8_t* buffer);

    bool IsOpen() const;
    // False once the watcher has ended: after ClosePort, or when the line died.
    bool IsWatching() const;
    const std::string& PortName() const;

    struct Impl;  // the platform's handles, in link/<platform>/comm_port.cpp

private:
    std::unique_ptr<Impl> m_impl;
};

// The speeds a port opens at, the same on every platform: 1200 to 230400 bit/s in the usual
// steps. Any other speed is refused rather than replaced.
bool IsSupportedSpeed(uint32_t speed);

// "Error while creating ThreadWatchComm,COM3": the watcher's only message, for a watcher that
// cannot start watching its port.
std::string WatcherErrorText(const std::string& portName);

// The application shows the watcher's message; the handler is called on the watcher thread
// with the text above. Without one the text goes to standard error.
using WatcherErrorHandler = void (*)(const std::string& text);
void SetWatcherErrorHandler(WatcherErrorHandler handler);
