#include "sim/line.h"

#include <windows.h>

namespace {

class ComLine : public SimLine {
public:
    ComLine(HANDLE comm, std::string name) : m_comm(comm), m_name(std::move(name)) {}
    ~ComLine() override { HangUp(); }

    void HangUp() override {
        if (m_comm != INVALID_HANDLE_VALUE) CloseHandle(m_comm);
        m_comm = INVALID_HANDLE_VALUE;
    }

    int Read(uint8_t* buffer, int size, int timeoutMs) override {
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
        timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(timeoutMs);
        SetCommTimeouts(m_comm, &timeouts);
        DWORD got = 0;
        if (!ReadFile(m_comm, buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
        return static_cast<int>(got);
    }

    bool Write(const uint8_t* bytes, int length) override {
        DWORD written = 0;
        return WriteFile(m_comm, bytes, static_cast<DWORD>(length), &written, nullptr) &&
               written == static_cast<DWORD>(length);
    }

    std::string PeerName() const override { return m_name; }

private:
    HANDLE m_comm;
    std::string m_name;
};

}  // namespace

std::unique_ptr<SimLine> OpenPseudoTerminal(std::string& error) {
    error = "pseudo-terminals exist on POSIX only; give a COM port";
    return nullptr;
}

std::unique_ptr<SimLine> OpenSerialDevice(const std::string& name, std::string& error) {
    const std::string device = "\\\\.\\" + name;
    HANDLE comm = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (comm == INVALID_HANDLE_VALUE) {
        error = name + ": cannot open (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(comm, &dcb);
    dcb.BaudRate = CBR_115200;
    dcb.ByteSize = 8;
    dcb.StopBits = ONESTOPBIT;
    dcb.Parity = NOPARITY;
    dcb.fBinary = TRUE;
    dcb.fOutX = dcb.fInX = FALSE;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = FALSE;
    SetCommState(comm, &dcb);
    return std::make_unique<ComLine>(comm, name);
}
