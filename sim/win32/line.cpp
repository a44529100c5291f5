#include "sim/line.h"

#include <windows.h>

#include "text/win32/utf16.h"

namespace {

// "SetCommState failed (system error 87)".
std::string FailureText(const char* call) {
    return std::string(call) + " failed (system error " + std::to_string(GetLastError()) + ")";
}

class ComLine : public SimLine {
public:
    ComLine(HANDLE comm, std::string name) : m_comm(comm), m_name(std::move(name)) {}
    ~ComLine() override { HangUp(); }

    void HangUp() override {
        if (m_comm != INVALID_HANDLE_VALUE) CloseHandle(m_comm);
        m_comm = INVALID_HANDLE_VALUE;
    }

    int Read(uint8_t* buffer, int size, int timeoutMs) override {
        if (m_comm == INVALID_HANDLE_VALUE) return -1;
        if (timeoutMs != m_timeoutMs && !SetReadTimeout(timeoutMs)) return -1;
        DWORD got = 0;
        if (!ReadFile(m_comm, buffer, static_cast<DWORD>(size), &got, nullptr)) {
            m_failure = FailureText("ReadFile");
            return -1;
        }
        return static_cast<int>(got);
    }

    bool Write(const uint8_t* bytes, int length) override {
        DWORD written = 0;
        if (!WriteFile(m_comm, bytes, static_cast<DWORD>(length), &written, nullptr)) {
            m_failure = FailureText("WriteFile");
            return false;
        }
        return written == static_cast<DWORD>(length);
    }

    std::string PeerName() const override { return m_name; }
    std::string Failure() const override { return m_failure; }

    // A read returns what has arrived as soon as a byte is there, or nothing after timeoutMs.
    bool SetReadTimeout(int timeoutMs) {
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
        timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(timeoutMs);
        if (!SetCommTimeouts(m_comm, &timeouts)) {
            m_failure = FailureText("SetCommTimeouts");
            return false;
        }
        m_timeoutMs = timeoutMs;
        return true;
    }

private:
    HANDLE m_comm;
    std::string m_name;
    int m_timeoutMs = -1;
    std::string m_failure;
};

// 115200 bit/s, 8 data bits, 1 stop bit, no parity, no flow control.
bool SetUpLine(HANDLE comm, std::string& error) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(comm, &dcb)) {
        error = FailureText("GetCommState");
        return false;
    }
    dcb.BaudRate = CBR_115200;
    dcb.ByteSize = 8;
    dcb.StopBits = ONESTOPBIT;
    dcb.Parity = NOPARITY;
    dcb.fBinary = TRUE;
    dcb.fOutX = dcb.fInX = FALSE;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = FALSE;
    if (!SetCommState(comm, &dcb)) {
        error = FailureText("SetCommState");
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<SimLine> OpenPseudoTerminal(std::string& error) {
    error = "pseudo-terminals exist on POSIX only; give a COM port";
    return nullptr;
}

std::unique_ptr<SimLine> OpenSerialDevice(const std::string& name, std::string& error) {
    const std::wstring device = L"\\\\.\\" + WideFrom(name, CP_UTF8);
    HANDLE comm = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (comm == INVALID_HANDLE_VALUE) {
        error = name + ": " + FailureText("CreateFile");
        return nullptr;
    }
    auto line = std::make_unique<ComLine>(comm, name);
    if (!SetUpLine(comm, error) || !line->SetReadTimeout(50)) {
        if (error.empty()) error = line->Failure();
        error = name + ": " + error;
        return nullptr;
    }
    return line;
}
