// Windows serial line: overlapped reads and writes, a watcher thread waiting in WaitCommEvent.
#include "link/comm_port.h"

#include <mmsystem.h>

#include "link/frame.h"

namespace {

constexpr DWORD PURGE_ALL = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

bool MakeIoRecord(OVERLAPPED& record) {
    record = OVERLAPPED{};
    record.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return record.hEvent != nullptr;
}

void FreeIoRecord(OVERLAPPED& record) {
    if (record.hEvent) CloseHandle(record.hEvent);
    record = OVERLAPPED{};
}

void ClearPortError(HANDLE comm) {
    DWORD errors = 0;
    COMSTAT status{};
    ClearCommError(comm, &errors, &status);
}

// Waits for an overlapped operation on the port; returns the count as far as it is known.
DWORD FinishPending(HANDLE comm, OVERLAPPED& record) {
    DWORD done = 0;
    while (!GetOverlappedResult(comm, &record, &done, TRUE)) {
        if (GetLastError() != ERROR_IO_INCOMPLETE) {
            ClearPortError(comm);
            break;
        }
    }
    return done;
}

// A binary line: no parity, no software or output hardware flow control, nothing replaced or
// stripped. DTR and RTS stay as the port has them unless they were left in handshake mode.
void ApplyLineSettings(DCB& dcb, DWORD speed) {
    dcb.BaudRate = speed;
    dcb.ByteSize = 8;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.Parity = NOPARITY;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fNull = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fAbortOnError = FALSE;
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE) dcb.fDtrControl = DTR_CONTROL_ENABLE;
    if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE || dcb.fRtsControl == RTS_CONTROL_TOGGLE)
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
}

}  // namespace

std::string WatcherErrorText(const std::string& portName) {
    return "Error while creating ThreadWatchComm," + portName;
}

CCommPort::CCommPort() = default;

CCommPort::~CCommPort() { ClosePort(); }

bool CCommPort::IsOpen() const { return m_hComm != INVALID_HANDLE_VALUE; }

void CCommPort::CloseHandles() {
    if (m_hComm != INVALID_HANDLE_VALUE) CloseHandle(m_hComm);
    m_hComm = INVALID_HANDLE_VALUE;
    FreeIoRecord(m_osRead);
    FreeIoRecord(m_osWrite);
    FreeIoRecord(m_osWait);
    if (m_hActivity) CloseHandle(m_hActivity);
    m_hActivity = nullptr;
}

bool CCommPort::OpenPort(const std::string& name, uint32_t speed) {
    ClosePort();
    m_bWatching = 0;
    m_hActivity = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!m_hActivity || !MakeIoRecord(m_osRead) || !MakeIoRecord(m_osWrite) ||
        !MakeIoRecord(m_osWait)) {
        CloseHandles();
        return false;
    }
    m_strPortName = name;
    // Ports above COM9 open only through the device namespace; every port takes that path.
    const std::string device = "\\\\.\\" + name;
    m_hComm = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (m_hComm == INVALID_HANDLE_VALUE) {
        CloseHandles();
        return false;
    }
    SetCommMask(m_hComm, EV_RXCHAR);
    SetupComm(m_hComm, m_dwInQueue, m_dwOutQueue);
    PurgeComm(m_hComm, PURGE_ALL);

    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 1;
    timeouts.ReadTotalTimeoutConstant = 1000;
    timeouts.WriteTotalTimeoutMultiplier = speed ? 230400 / speed : 2;
    timeouts.WriteTotalTimeoutConstant = 0;
    SetCommTimeouts(m_hComm, &timeouts);

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(m_hComm, &dcb);
    ApplyLineSettings(dcb, speed);
    if (!SetCommState(m_hComm, &dcb)) {
        CloseHandles();
        return false;
    }

    // Sleep(5) and Sleep(10) last a whole 15.6 ms tick at the default timer resolution.
    m_bTimerRaised = timeBeginPeriod(1) == TIMERR_NOERROR;

    ResetRxRing();
    m_bWatching = 1;
    m_hThread = CreateThread(nullptr, 0, ThreadWatchComm, this, 0, nullptr);
    if (!m_hThread) {
        ClosePort();
        return false;
    }
    return true;
}

void CCommPort::ClosePort() {
    m_bWatching = 0;
    if (m_hComm != INVALID_HANDLE_VALUE) SetCommMask(m_hComm, 0);  // releases WaitCommEvent
    if (m_hActivity) SetEvent(m_hActivity);                        // and a resting watcher
    if (m_hThread) {
        // A watcher waiting for the first byte of a reply is released by cancelling its read;
        // again until it has ended, in case it was just about to start one.
        while (WaitForSingleObject(m_hThread, 10) == WAIT_TIMEOUT) CancelIoEx(m_hComm, &m_osRead);
        CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    if (m_hComm != INVALID_HANDLE_VALUE) PurgeComm(m_hComm, PURGE_ALL);
    CloseHandles();
    if (m_bTimerRaised) timeEndPeriod(1);
    m_bTimerRaised = false;
}

uint32_t CCommPort::WriteComm(const uint8_t* bytes, uint32_t length) {
    DWORD written = 0;
    ++m_nWrites;
    SetEvent(m_hActivity);  // a reply will follow: the watcher stops resting
    if (WriteFile(m_hComm, bytes, length, &written, &m_osWrite)) return written;
    if (GetLastError() == ERROR_IO_PENDING) return FinishPending(m_hComm, m_osWrite);
    ClearPortError(m_hComm);
    return 0;
}

uint32_t CCommPort::ReadComm(uint8_t* buffer) {
    DWORD errors = 0;
    COMSTAT status{};
    ClearCommError(m_hComm, &errors, &status);
    if (status.cbInQue == 0) return 0;
    // Ask for exactly what waits: a longer read may sit out the whole total time-out.
    const DWORD ask = status.cbInQue > m_dwInQueue ? m_dwInQueue : status.cbInQue;
    DWORD got = 0;
    if (ReadFile(m_hComm, buffer, ask, &got, &m_osRead)) return got;
    if (GetLastError() == ERROR_IO_PENDING) return FinishPending(m_hComm, m_osRead);
    ClearPortError(m_hComm);
    return 0;
}

namespace {

// Waits for the first byte of a reply: the driver completes a one-byte read the moment a byte
// arrives, or after the read time-out (about a second) with none. Returns the count read.
DWORD ReadFirstByte(HANDLE comm, OVERLAPPED& record, uint8_t* byte) {
    DWORD got = 0;
    if (ReadFile(comm, byte, 1, &got, &record)) return got;
    if (GetLastError() == ERROR_IO_PENDING) return FinishPending(comm, record);
    ClearPortError(comm);
    return 0;
}

// Waits for the next port event with the watcher's own I/O record; 0 when it failed.
DWORD WaitPortEvent(HANDLE comm, OVERLAPPED& record) {
    DWORD mask = 0;
    if (WaitCommEvent(comm, &mask, &record)) return mask;
    if (GetLastError() != ERROR_IO_PENDING) return 0;
    DWORD unused = 0;
    if (!GetOverlappedResult(comm, &record, &unused, TRUE)) return 0;
    return mask;
}

}  // namespace

namespace {

// How the watcher waits. Under Wine the event wait on a pseudo-terminal ends by itself every few
// milliseconds without an event, and each costs about a millisecond of CPU; a reply that lands
// meanwhile waits for the end of it. So while a conversation runs the watcher waits in a
// one-byte read instead, which ends the moment the reply's first byte arrives. A conversation
// runs while a request is unanswered (up to 1.1 s, longer than its time-out) and for a moment
// after each write, when the next request of a transfer follows. Otherwise the watcher waits
// for port events, with rests growing to 100 ms after empty wake-ups; a write ends any rest.
class WatchPace {
public:
    // Called with the count of writes so far; true while a conversation runs.
    bool Conversing(unsigned writes) {
        const ULONGLONG now = GetTickCount64();
        if (writes != m_seen) {
            m_seen = writes;
            m_writtenAt = now;
        }
        if (m_seen == 0) return false;
        const ULONGLONG since = now - m_writtenAt;
        return since < 50 || (m_answered != m_seen && since < 1100);
    }
    // Bytes arrived; they answer the writes counted before they were read.
    void BytesArrived(unsigned writes) {
        m_answered = writes;
        m_rest = 1;
    }
    DWORD Rest(bool conversing) {
        if (conversing) return 1;
        const DWORD rest = m_rest;
        m_rest = m_rest < 50 ? m_rest * 2 : 100;
        return rest;
    }

private:
    unsigned m_seen = 0;
    unsigned m_answered = 0;
    ULONGLONG m_writtenAt = 0;
    DWORD m_rest = 1;
};

}  // namespace

DWORD WINAPI ThreadWatchComm(LPVOID param) {
    CCommPort* port = static_cast<CCommPort*>(param);
    if (!SetCommMask(port->m_hComm, EV_RXCHAR)) {
        const std::string text = WatcherErrorText(port->m_strPortName);
        MessageBoxW(nullptr, std::wstring(text.begin(), text.end()).c_str(), L"Ombrix_Tessaly",
                    MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    uint8_t chunk[COMM_QUEUE_SIZE];
    WatchPace pace;
    while (port->m_bWatching == 1) {
        const bool conversing = pace.Conversing(port->m_nWrites.load());
        DWORD mask = 0;
        uint32_t total = 0;
        if (conversing)
            total = ReadFirstByte(port->m_hComm, port->m_osRead, chunk);
        else
            mask = WaitPortEvent(port->m_hComm, port->m_osWait);
        if (total > 0) AssembleRxChunk(chunk, total);
        const unsigned writes = port->m_nWrites.load();  // what the bytes read now answer
        uint32_t n;
        while ((n = port->ReadComm(chunk)) > 0) {
            AssembleRxChunk(chunk, n);
            total += n;
        }
        if (total > 0 || (mask & EV_RXCHAR)) {
            pace.BytesArrived(writes);
            continue;
        }
        if (port->m_bWatching != 1) break;
        WaitForSingleObject(port->m_hActivity, pace.Rest(conversing));
    }
    return 1;
}
