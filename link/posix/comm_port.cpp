// POSIX serial line: termios in raw mode, a watcher thread blocked in poll().
#include "link/comm_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <system_error>
#include <thread>

#include "link/comm_port_internal.h"
#include "link/frame.h"

namespace {

using Port = CCommPort::Impl;

// The step failed with errno; false.
bool Failed(Port& port, PortStep step) { return RecordFailure(port, step, errno); }

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
bool ConfigureLine(Port& port, uint32_t speed) {
    termios tio{};
    if (tcgetattr(port.m_hComm, &tio) != 0) return Failed(port, PortStep::ReadSettings);
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, ToTermiosSpeed(speed)) != 0 ||
        cfsetospeed(&tio, ToTermiosSpeed(speed)) != 0 ||
        tcsetattr(port.m_hComm, TCSANOW, &tio) != 0)
        return Failed(port, PortStep::WriteSettings);
    return true;
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

void CloseHandles(Port& port) {
    CloseFd(port.m_hComm);
    CloseFd(port.m_wakePipe[0]);
    CloseFd(port.m_wakePipe[1]);
}

// A path longer than the system takes is refused, never cut.
bool OpenDevice(Port& port, const std::string& name) {
    const std::string path = DevicePath(name);
    if (path.size() >= PATH_MAX) return RecordFailure(port, PortStep::Name, ENAMETOOLONG);
    port.m_hComm = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (port.m_hComm < 0) return Failed(port, PortStep::Open);
    return isatty(port.m_hComm) || RecordFailure(port, PortStep::Terminal, ENOTTY);
}

// Exclusive use, as a Windows port has it (TIOCEXCL alone does not stop root).
bool TakeForOurselves(Port& port) {
    if (flock(port.m_hComm, LOCK_EX | LOCK_NB) != 0 || ioctl(port.m_hComm, TIOCEXCL) != 0)
        return Failed(port, PortStep::Lock);
    return tcflush(port.m_hComm, TCIOFLUSH) == 0 || Failed(port, PortStep::Purge);
}

// Ends when ClosePort wakes it, or when the line hangs up or fails: a dead line would
// otherwise report itself ready for ever.
void ThreadWatchComm(Port* port) {
    uint8_t chunk[COMM_QUEUE_SIZE];
    pollfd fds[2] = {{port->m_hComm, POLLIN, 0}, {port->m_wakePipe[0], POLLIN, 0}};
    while (port->m_bWatching == 1) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            RecordLineFailure(*port, PortStep::Wait, errno);
            break;
        }
        if (fds[1].revents) break;
        // Bytes that arrived before a hang-up are still handed on.
        int n = 0;
        while ((n = ReadWaiting(*port, chunk)) > 0) AssembleRxChunk(chunk, static_cast<size_t>(n));
        if (n < 0) break;
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            RecordLineFailure(*port, PortStep::Wait, EIO);  // a hang-up sets no errno
            break;
        }
    }
    port->m_bWatcherRunning = false;
}

}  // namespace

bool OpenLine(Port& port, const std::string& name, uint32_t speed) {
    if (pipe2(port.m_wakePipe, O_CLOEXEC) != 0) {
        port.m_wakePipe[0] = port.m_wakePipe[1] = -1;
        return Failed(port, PortStep::Resources);
    }
    if (!OpenDevice(port, name) || !ConfigureLine(port, speed) || !TakeForOurselves(port)) {
        CloseHandles(port);
        return false;
    }
    port.m_dwWriteMsPerByte = WriteMsPerByte(speed);
    return true;
}

bool StartWatcher(Port& port) {
    try {
        port.m_hThread = std::thread(ThreadWatchComm, &port);
    } catch (const std::system_error&) {
        return RecordFailure(port, PortStep::StartWatcher, PortCause::NoResources);
    }
    return true;
}

bool IsLineOpen(const Port& port) { return port.m_hComm >= 0; }

// A pseudo-terminal whose other end has closed reads EIO.
int ReadWaiting(Port& port, uint8_t* buffer) {
    int waiting = 0;
    if (ioctl(port.m_hComm, FIONREAD, &waiting) != 0) {
        RecordLineFailure(port, PortStep::Read, errno);
        return -1;
    }
    if (waiting <= 0) return 0;
    const size_t ask = waiting > static_cast<int>(port.m_dwInQueue) ? port.m_dwInQueue : waiting;
    const ssize_t n = read(port.m_hComm, buffer, ask);
    if (n > 0) return static_cast<int>(n);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    RecordLineFailure(port, PortStep::Read, n < 0 ? errno : EIO);
    return -1;
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
    Port& port = *m_impl;
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
        if (n < 0 && errno != EAGAIN && errno != EINTR) {  // the line is gone
            RecordLineFailure(port, PortStep::Write, errno);
            return written;
        }
        pollfd pfd{port.m_hComm, POLLOUT, 0};
        if (poll(&pfd, 1, budgetMs) <= 0 || (pfd.revents & (POLLHUP | POLLERR))) break;
    }
    tcdrain(port.m_hComm);
    return written;
}
