#include "sim/line.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

class FdLine : public SimLine {
public:
    FdLine(int fd, int keepOpen, std::string peer)
        : m_fd(fd), m_keepOpen(keepOpen), m_peer(std::move(peer)) {}
    ~FdLine() override { HangUp(); }

    // Closing the master of a pseudo-terminal hangs up its slave: the PC side sees POLLHUP and
    // reads EIO.
    void HangUp() override {
        if (m_fd >= 0) close(m_fd);
        if (m_keepOpen >= 0) close(m_keepOpen);
        m_fd = m_keepOpen = -1;
    }

    int Read(uint8_t* buffer, int size, int timeoutMs) override {
        if (m_fd < 0) return -1;
        pollfd pfd{m_fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, timeoutMs);
        if (ready < 0) return errno == EINTR ? 0 : Failed("poll");
        if (ready == 0) return 0;
        if (pfd.revents & POLLNVAL) return Failed("poll", "the descriptor is closed");
        const ssize_t n = read(m_fd, buffer, static_cast<size_t>(size));
        if (n > 0) return static_cast<int>(n);
        if (n < 0 && (errno == EAGAIN || errno == EINTR || errno == EIO)) {
            // EIO: no one has the slave open just now; a PC side may still come.
            poll(nullptr, 0, 10);
            return 0;
        }
        if (n < 0) return Failed("read");
        return m_keepOpen < 0 ? Failed("read", "the other end closed the line") : 0;
    }

    bool Write(const uint8_t* bytes, int length) override {
        int done = 0;
        while (done < length) {
            const ssize_t n = write(m_fd, bytes + done, static_cast<size_t>(length - done));
            if (n > 0) {
                done += static_cast<int>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd pfd{m_fd, POLLOUT, 0};
                poll(&pfd, 1, 100);
            } else {
                Failed("write");
                return false;
            }
        }
        return true;
    }

    std::string PeerName() const override { return m_peer; }
    std::string Failure() const override { return m_failure; }

private:
    // Keeps the call and the cause, errno's text unless given; -1 for Read.
    int Failed(const std::string& call, const char* cause = nullptr) {
        m_failure = call + ": " + (cause ? cause : std::strerror(errno));
        return -1;
    }

    int m_fd;
    int m_keepOpen;  // the slave of our own pseudo-terminal, or -1
    std::string m_peer;
    std::string m_failure;
};

}  // namespace

std::unique_ptr<SimLine> OpenPseudoTerminal(std::string& error) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        if (master >= 0) close(master);
        return nullptr;
    }
    const char* slavePath = ptsname(master);
    const int slave = slavePath ? open(slavePath, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
    // Raw from the start: an echoing slave would hand every reply straight back to us.
    if (slave < 0 || !MakeRaw(slave)) {
        error = std::string("cannot open the pseudo-terminal's slave: ") + std::strerror(errno);
        close(master);
        if (slave >= 0) close(slave);
        return nullptr;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    return std::make_unique<FdLine>(master, slave, slavePath);
}

std::unique_ptr<SimLine> OpenSerialDevice(const std::string& name, std::string& error) {
    const int fd = open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || !MakeRaw(fd)) {
        error = name + ": " + std::strerror(errno);
        if (fd >= 0) close(fd);
        return nullptr;
    }
    return std::make_unique<FdLine>(fd, -1, name);
}
