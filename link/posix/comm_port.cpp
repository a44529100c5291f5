// POSIX serial line: termios in raw mode, a watcher thread blocked in poll().
#include "link/comm_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <thread>

#include "link/comm_port_internal.h"
#include "link/frame.h"

struct CCommPort::Impl {
    int m_hComm = -1;
    int m_wakePipe[2] = {-1, -1};  // written by ClosePort to end the watcher's poll
    std::thread m_hThread;
    std::atomic<int> m_bWatching{0};
    std::atomic<bool> m_bWatcherRunning{false};
    uint32_t m_dwWriteMsPerByte = 2;
    std::string m_strPortName;
    uint32_t m_dwInQueue = COMM_QUEUE_SIZE;
};

namespace {

speed_t ToTermiosSpeed(uint32_t speed) {
    switch (speed) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 230400:
            return B230400;
        default:
            return B115200;  // the only other speed that IsSupportedSpeed lets through
    }
}

// A binary line, 8 data bits, 1 stop bit, no parity and no flow control of any kind, so that
// 0x11 and 0x13 pass as data.
bool ConfigureLine(int fd, uint32_t speed) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, ToTermiosSpeed(speed)) != 0) return false;
    if (cfsetospeed(&tio, ToTermiosSpeed(speed)) != 0) return false;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// A bare name such as COM3 is looked up in $OMBRIX_PORTS (default /dev), so that the dialog's
// "COM%d" names reach a pseudo-terminal linked there.
std::string DevicePath(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    const char* directory = std::getenv("OMBRIX_PORTS");
    return std::string(directory && *directory ? directory : "/dev") + "/" + name;
}

void CloseHandles(CCommPort::Impl& port) {
    CloseFd(port.m_hComm);
    CloseFd(port.m_wakePipe[0]);
    CloseFd(port.m_wakePipe[1]);
}

// Opens and sets up the line; false leaves nothing open.
bool OpenLine(CCommPort::Impl& port, const std::string& name, uint32_t speed) {
    if (pipe2(port.m_wakePipe, O_CLOEXEC) != 0) {
        port.m_wakePipe[0] = port.m_wakePipe[1] = -1;
        return false;
    }
    port.m_hComm = open(DevicePath(name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    // Exclusive use, as a Windows port has it (TIOCEXCL alone does not stop root).
    const bool ready = port.m_hComm >= 0 && isatty(port.m_hComm) &&
                       ConfigureLine(port.m_hComm, speed) &&
                       flock(port.m_hComm, LOCK_EX | LOCK_NB) == 0 &&
                       ioctl(port.m_hComm, TIOCEXCL) == 0 && tcflush(port.m_hComm, TCIOFLUSH) == 0;
    if (!ready) CloseHandles(port);
    return ready;
}

// What is waiting, at most the queue size: the count, 0 for nothing, -1 when the line failed
// (a pseudo-terminal whose other end has closed reads EIO).
int ReadWaiting(CCommPort::Impl& port, uint8_t* buffer) {
    int waiting = 0;
    if (ioctl(port.m_hComm, FIONREAD, &waiting) != 0) return -1;
    if (waiting <= 0) return 0;
    const size_t ask = waiting > static_cast<int>(port.m_dwInQueue) ? port.m_dwInQueue : waiting;
    const ssize_t n = read(port.m_hComm, buffer, ask);
    if (n > 0) return static_cast<int>(n);
    return n < 0 && (errno == EAGAIN || errno == EINTR) ? 0 : -1;
}

// Ends when ClosePort wakes it, or when the line hangs up or fails: a dead line would
// otherwise report itself ready for ever.
void ThreadWatchComm(CCommPort::Impl* port) {
    uint8_t chunk[COMM_QUEUE_SIZE];
    pollfd fds[2] = {{port->m_hComm, POLLIN, 0}, {port->m_wakePipe[0], POLLIN, 0}};
    while (port->m_bWatching == 1) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            ReportWatcherError(port->m_strPortName);
            break;
        }
        if (fds[1].revents) break;
        // Bytes that arrived before a hang-up are still handed on.
        int n = 0;
        while ((n = ReadWaiting(*port, chunk)) > 0) AssembleRxChunk(chunk, static_cast<size_t>(n));
        if (n < 0 || (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) break;
    }
    port->m_bWatcherRunning = false;
}

}  // namespace

CCommPort::CCommPort() : m_impl(std::make_unique<Impl>()) {}

CCommPort::~CCommPort() { ClosePort(); }

bool CCommPort::IsOpen() const { return m_impl->m_hComm >= 0; }

bool CCommPort::IsWatching() const { return m_impl->m_bWatcherRunning; }

const std::string& CCommPort::PortName() const { return m_impl->m_strPortName; }

bool CCommPort::OpenPort(const std::string& name, uint32_t speed) {
    ClosePort();
    Impl& port = *m_impl;
    port.m_strPortName = name;
    if (!IsSupportedSpeed(speed) || !OpenLine(port, name, speed)) return false;
    port.m_dwWriteMsPerByte = WriteMsPerByte(speed);

    ResetRxRing();
    port.m_bWatching = 1;
    port.m_bWatcherRunning = true;
    try {
        port.m_hThread = std::thread(ThreadWatchComm, &port);
    } catch (...) {
        port.m_bWatching = 0;
        port.m_bWatcherRunning = false;
        CloseHandles(port);
        return false;
    }
    return true;
}

void CCommPort::ClosePort() {
    Impl& port = *m_impl;
    port.m_bWatching = 0;
    if (port.m_wakePipe[1] >= 0) {
        const char wake = 1;
        [[maybe_unused]] ssize_t n = write(port.m_wakePipe[1], &wake, 1);
    }
    if (port.m_hThread.joinable()) port.m_hThread.join();
    if (port.m_hComm >= 0) tcflush(port.m_hComm, TCIOFLUSH);
    CloseHandles(port);
}

uint32_t CCommPort::WriteComm(const uint8_t* bytes, uint32_t length) {
    Impl& port = *m_impl;
    if (port.m_hComm < 0) return 0;
    // The same bound as the Windows write time-out: a few ms per byte, then give up.
    const int budgetMs = static_cast<int>(port.m_dwWriteMsPerByte * length) + 1;
    uint32_t written = 0;
    while (written < length) {
        const ssize_t n = write(port.m_hComm, bytes + written, length - written);
        if (n > 0) {
            written += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return written;  // the line is gone
        pollfd pfd{port.m_hComm, POLLOUT, 0};
        if (poll(&pfd, 1, budgetMs) <= 0 || (pfd.revents & (POLLHUP | POLLERR))) break;
    }
    tcdrain(port.m_hComm);
    return written;
}

uint32_t CCommPort::ReadComm(uint8_t* buffer) {
    if (m_impl->m_hComm < 0) return 0;
    const int n = ReadWaiting(*m_impl, buffer);
    return n > 0 ? static_cast<uint32_t>(n) : 0;
}
