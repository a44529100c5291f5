// POSIX serial line: termios in raw mode, a watcher thread blocked in poll().
#include "link/comm_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "link/frame.h"

namespace {

speed_t ToTermiosSpeed(uint32_t speed) {
    switch (speed) {
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
            return B115200;
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
    cfsetispeed(&tio, ToTermiosSpeed(speed));
    cfsetospeed(&tio, ToTermiosSpeed(speed));
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

}  // namespace

std::string WatcherErrorText(const std::string& portName) {
    return "Error while creating ThreadWatchComm," + portName;
}

CCommPort::CCommPort() = default;

CCommPort::~CCommPort() { ClosePort(); }

bool CCommPort::IsOpen() const { return m_hComm >= 0; }

void CCommPort::CloseHandles() {
    CloseFd(m_hComm);
    CloseFd(m_wakePipe[0]);
    CloseFd(m_wakePipe[1]);
}

bool CCommPort::OpenPort(const std::string& name, uint32_t speed) {
    ClosePort();
    m_bWatching = 0;
    if (pipe(m_wakePipe) != 0) {
        m_wakePipe[0] = m_wakePipe[1] = -1;
        return false;
    }
    m_strPortName = name;
    m_hComm = open(DevicePath(name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_hComm < 0 || !isatty(m_hComm) || !ConfigureLine(m_hComm, speed)) {
        CloseHandles();
        return false;
    }
    // Exclusive use, as a Windows port has it (TIOCEXCL alone does not stop root).
    if (flock(m_hComm, LOCK_EX | LOCK_NB) != 0) {
        CloseHandles();
        return false;
    }
    ioctl(m_hComm, TIOCEXCL);
    tcflush(m_hComm, TCIOFLUSH);
    m_dwWriteMsPerByte = speed ? 230400 / speed : 2;

    ResetRxRing();
    m_bWatching = 1;
    try {
        m_hThread = std::thread(ThreadWatchComm, this);
    } catch (...) {
        m_bWatching = 0;
        CloseHandles();
        return false;
    }
    return true;
}

void CCommPort::ClosePort() {
    m_bWatching = 0;
    if (m_wakePipe[1] >= 0) {
        const char wake = 1;
        [[maybe_unused]] ssize_t n = write(m_wakePipe[1], &wake, 1);
    }
    if (m_hThread.joinable()) m_hThread.join();
    if (m_hComm >= 0) tcflush(m_hComm, TCIOFLUSH);
    CloseHandles();
}

uint32_t CCommPort::WriteComm(const uint8_t* bytes, uint32_t length) {
    if (m_hComm < 0) return 0;
    // The same bound as the Windows write time-out: a few ms per byte, then give up.
    const int budgetMs = static_cast<int>(m_dwWriteMsPerByte * length) + 1;
    uint32_t written = 0;
    while (written < length) {
        const ssize_t n = write(m_hComm, bytes + written, length - written);
        if (n > 0) {
            written += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) break;
        pollfd pfd{m_hComm, POLLOUT, 0};
        if (poll(&pfd, 1, budgetMs) <= 0) break;
    }
    tcdrain(m_hComm);
    return written;
}

uint32_t CCommPort::ReadComm(uint8_t* buffer) {
    int waiting = 0;
    if (ioctl(m_hComm, FIONREAD, &waiting) != 0 || waiting <= 0) return 0;
    const size_t ask = waiting > static_cast<int>(m_dwInQueue) ? m_dwInQueue : waiting;
    const ssize_t n = read(m_hComm, buffer, ask);
    return n > 0 ? static_cast<uint32_t>(n) : 0;
}

void ThreadWatchComm(CCommPort* port) {
    uint8_t chunk[COMM_QUEUE_SIZE];
    pollfd fds[2] = {{port->m_hComm, POLLIN, 0}, {port->m_wakePipe[0], POLLIN, 0}};
    while (port->m_bWatching == 1) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            std::fprintf(stderr, "%s\n", WatcherErrorText(port->m_strPortName).c_str());
            return;
        }
        if (fds[1].revents) break;
        if (fds[0].revents & (POLLERR | POLLNVAL)) break;
        if (fds[0].revents & POLLHUP) {
            // The other end of a pseudo-terminal went away; wait for it to come back.
            poll(&fds[1], 1, 10);
            continue;
        }
        uint32_t n;
        while ((n = port->ReadComm(chunk)) > 0) AssembleRxChunk(chunk, n);
    }
}
