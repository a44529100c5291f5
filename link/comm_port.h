// The serial line to the device: opens a port, writes byte blocks, and runs one watcher thread
// that hands every received chunk to AssembleRx, which captures the replies; what the frames
// mean is for the exchange and the dialog. On Windows a port is named COMn; on POSIX it is a
// device path (a tty or a pseudo-terminal).
//
// A line that dies while open (an adapter pulled, the device's end closed) ends the watcher;
// the port stays open, every write fails and every exchange times out until ClosePort. Every
// failure, of the open or of the line, keeps its step and the system's cause (LastFailure).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

constexpr uint32_t COMM_QUEUE_SIZE = 4096;

// The step that failed: of OpenPort in the order it takes them, then of the open line.
enum class PortStep {
    None,
    Speed,          // a speed that IsSupportedSpeed refuses
    Name,           // a name too long for a path
    Resources,      // the port's events, I/O records or wake-up pipe
    Open,           // CreateFile, open
    Terminal,       // the file is a terminal (POSIX)
    EventMask,      // SetCommMask
    Queues,         // SetupComm
    ReadSettings,   // GetCommState, tcgetattr
    WriteSettings,  // SetCommState, SetCommTimeouts, tcsetattr, cfset*speed
    Lock,           // exclusive use: flock, TIOCEXCL
    Purge,          // PurgeComm, tcflush
    StartWatcher,   // the watcher thread, or its first event mask
    Wait,           // the watcher's wait for the line, or a hang-up
    Read,
    Write,
};

// What the system's cause means for the operator.
enum class PortCause {
    None,
    NotFound,         // no such port
    InUse,            // another program has it open
    AccessDenied,     // no right to open it
    NotSerial,        // the name is no serial port
    SpeedRefused,     // the speed is not one of IsSupportedSpeed
    SettingsRefused,  // the port refused the line settings
    LineGone,         // the device or its adapter went away
    NoResources,      // out of memory, handles or descriptors
    BadName,          // the name is no valid path, or too long
    Other,
};

struct PortFailure {
    PortStep step = PortStep::None;
    PortCause cause = PortCause::None;
    int code = 0;  // GetLastError() or errno as the system gave it; 0 where it gave none
};

// "open", "event mask", ...: the step for a log line.
const char* PortStepName(PortStep step);

class CCommPort {
public:
    CCommPort();
    ~CCommPort();
    CCommPort(const CCommPort&) = delete;
    CCommPort& operator=(const CCommPort&) = delete;

    // False for a port that cannot be opened and set up, and for a speed that
    // IsSupportedSpeed refuses; nothing stays open then, and LastFailure says why.
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
    // Why the last OpenPort failed, or why the line failed since (the watcher ended by itself,
    // a write failed); a step of None when nothing has failed since the last OpenPort.
    PortFailure LastFailure() const;

    struct Impl;  // link/comm_port_internal.h, around the platform's handles

private:
    std::unique_ptr<Impl> m_impl;
};

// The speeds a port opens at, the same on every platform: 1200 to 230400 bit/s in the usual
// steps. Any other speed is refused rather than replaced.
bool IsSupportedSpeed(uint32_t speed);

// "Error while creating ThreadWatchComm,COM3": the watcher's only message, for a watcher that
// cannot start watching its port. A line that fails later ends the watcher without a message.
std::string WatcherErrorText(const std::string& portName);

// The application shows the watcher's message; the handler is called on the watcher thread
// with the text above and the failure. Without one both go to standard error.
using WatcherErrorHandler = void (*)(const std::string& text, const PortFailure& failure);
void SetWatcherErrorHandler(WatcherErrorHandler handler);
