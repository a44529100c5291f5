// The simulator's end of the serial line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class SimLine {
public:
    virtual ~SimLine() = default;
    // Reads what has arrived, waiting at most timeoutMs; 0 on time-out, -1 when the line is gone.
    virtual int Read(uint8_t* buffer, int size, int timeoutMs) = 0;
    virtual bool Write(const uint8_t* bytes, int length) = 0;
    // Closes this end for good, as a pulled cable or a switched-off device does; Read then
    // reports the line gone.
    virtual void HangUp() = 0;
    // Where the PC side connects: the pseudo-terminal's slave path, or the port opened.
    virtual std::string PeerName() const = 0;
    // Why Read reported the line gone or a Write failed: the call and the system's cause;
    // empty when nothing failed, or the line was hung up on purpose.
    virtual std::string Failure() const = 0;
};

// A new pseudo-terminal (POSIX only); the slave stays open so that reads never see EIO.
std::unique_ptr<SimLine> OpenPseudoTerminal(std::string& error);
// An existing serial device: a tty path on POSIX, COMn on Windows.
std::unique_ptr<SimLine> OpenSerialDevice(const std::string& name, std::string& error);
