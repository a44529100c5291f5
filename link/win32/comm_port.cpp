// Windows serial line: overlapped reads and writes, a watcher thread waiting in WaitCommEvent.
#include "link/comm_port.h"

#include <windows.h>
// windows.h first: mmsystem.h needs its types.
#include <mmsystem.h>

#include <atomic>

#include "link/comm_port_internal.h"
#include "link/frame.h"
#include "text/win32/utf16.h"

namespace {

using Port = CCommPort::Impl;

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

// The step failed with GetLastError; false.
bool Failed(Port& port, PortStep step) {
    return RecordFailure(port, step, static_cast<int>(GetLastError()));
}

void ClearPortError(HANDLE comm) {
    DWORD errors = 0;
    COMSTAT status{};
    ClearCommError(comm, &errors, &status);
}

// Waits for an overlapped operation on the port; false when it failed, with `done` the count
// as far as it is known and `error` the cause.
bool FinishPending(HANDLE comm, OVERLAPPED& record, DWORD& done, DWORD& error) {
    while (!GetOverlappedResult(comm, &record, &done, TRUE)) {
        error = GetLastError();
        if (error != ERROR_IO_INCOMPLETE) {
            ClearPortError(comm);
            return false;
        }
    }
    return true;
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

void CloseHandles(Port& port) {
    if (port.m_hComm != INVALID_HANDLE_VALUE) CloseHandle(port.m_hComm);
    port.m_hComm = INVALID_HANDLE_VALUE;
    FreeIoRecord(port.m_osRead);
    FreeIoRecord(port.m_osWrite);
    FreeIoRecord(port.m_osWait);
    if (port.m_hActivity) CloseHandle(port.m_hActivity);
    port.m_hActivity = nullptr;
}

// Every setting the line needs, each checked: a port that refuses one is no use.
bool SetUpLine(Port& port, DWORD speed) {
    const HANDLE comm = port.m_hComm;
    if (!SetCommMask(comm, EV_RXCHAR)) return Failed(port, PortStep::EventMask);
    if (!SetupComm(comm, port.m_dwInQueue, port.m_dwOutQueue))
        return Failed(port, PortStep::Queues);
    if (!PurgeComm(comm, PURGE_ALL)) return Failed(port, PortStep::Purge);

    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 1;
    timeouts.ReadTotalTimeoutConstant = 1000;
    timeouts.WriteTotalTimeoutMultiplier = WriteMsPerByte(speed);
    timeouts.WriteTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(comm, &timeouts)) return Failed(port, PortStep::WriteSettings);

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(comm, &dcb)) return Failed(port, PortStep::ReadSettings);
    ApplyLineSettings(dcb, speed);
    if (!SetCommState(comm, &dcb)) return Failed(port, PortStep::WriteSettings);
    return true;
}

bool MakeResources(Port& port) {
    port.m_hActivity = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (port.m_hActivity && MakeIoRecord(port.m_osRead) && MakeIoRecord(port.m_osWrite) &&
        MakeIoRecord(port.m_osWait))
        return true;
    return Failed(port, PortStep::Resources);
}

// Ports above COM9 open only through the device namespace; every port takes that path. The
// name goes as UTF-16, and one longer than a path may be is refused, never cut.
bool OpenDevice(Port& port, const std::string& name) {
    const std::wstring device = L"\\\\.\\" + WideFrom(name, CP_UTF8);
    if (device.size() >= MAX_PATH) return RecordFailure(port, PortStep::Name, PortCause::BadName);
    port.m_hComm =
        CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    return port.m_hComm != INVALID_HANDLE_VALUE || Failed(port, PortStep::Open);
}

// A failed read of the open line: -1.
int ReadFailed(Port& port, DWORD error) {
    RecordLineFailure(port, PortStep::Read, static_cast<int>(error));
    return -1;
}

enum class PortEvent { Received, Other, Failed };

// Waits for the first byte of a reply: the driver completes a one-byte read the moment a byte
// arrives, or after the read time-out (about a second) with none. Returns the count read. A read
// that ends without a byte may report a failure (Wine does so for the time-out, and ClosePort
// cancels it); whether the port itself has failed shows at the next look at its queue.
DWORD ReadFirstByte(Port& port, uint8_t* byte) {
    DWORD got = 0;
    if (ReadFile(port.m_hComm, byte, 1, &got, &port.m_osRead)) return got;
    DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) {
        ClearPortError(port.m_hComm);
        return 0;
    }
    return FinishPending(port.m_hComm, port.m_osRead, got, error) ? got : 0;
}

// Waits for the next port event with the watcher's own I/O record. A wait that was cancelled
// (a new event mask, or Wine ending it early) is no failure.
PortEvent WaitPortEvent(Port& port) {
    DWORD mask = 0;
    DWORD unused = 0;
    if (!WaitCommEvent(port.m_hComm, &mask, &port.m_osWait) &&
        (GetLastError() != ERROR_IO_PENDING ||
         !GetOverlappedResult(port.m_hComm, &port.m_osWait, &unused, TRUE))) {
        const DWORD error = GetLastError();
        if (error == ERROR_OPERATION_ABORTED) return PortEvent::Other;
        RecordLineFailure(port, PortStep::Wait, static_cast<int>(error));
        return PortEvent::Failed;
    }
    return (mask & EV_RXCHAR) ? PortEvent::Received : PortEvent::Other;
}

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

// Ends when ClosePort clears m_bWatching, or at the first failing event wait or read: a port
// whose line is gone fails every call at once, and looking again would only spin.
void Watch(Port& port) {
    uint8_t chunk[COMM_QUEUE_SIZE];
    WatchPace pace;
    while (port.m_bWatching == 1) {
        const bool conversing = pace.Conversing(port.m_nWrites.load());
        PortEvent event = PortEvent::Other;
        uint32_t total = 0;
        if (conversing) {
            total = ReadFirstByte(port, chunk);
            AssembleRxChunk(chunk, total);
        } else {
            event = WaitPortEvent(port);
            if (event == PortEvent::Failed) return;
        }
        const unsigned writes = port.m_nWrites.load();  // what the bytes read now answer
        int n;
        while ((n = ReadWaiting(port, chunk)) > 0) {
            AssembleRxChunk(chunk, static_cast<size_t>(n));
            total += static_cast<uint32_t>(n);
        }
        if (n < 0) return;
        if (total > 0 || event == PortEvent::Received) {
            pace.BytesArrived(writes);
            continue;
        }
        if (port.m_bWatching != 1) break;
        WaitForSingleObject(port.m_hActivity, pace.Rest(conversing));
    }
}

DWORD WINAPI ThreadWatchComm(LPVOID param) {
    Port& port = *static_cast<Port*>(param);
    DWORD result = 0;
    if (SetCommMask(port.m_hComm, EV_RXCHAR)) {
        Watch(port);
        result = 1;
    } else {
        Failed(port, PortStep::StartWatcher);
        ReportWatcherError(port);
    }
    port.m_bWatcherRunning = false;
    return result;
}

}  // namespace

bool OpenLine(Port& port, const std::string& name, uint32_t speed) {
    const bool ready = MakeResources(port) && OpenDevice(port, name) && SetUpLine(port, speed);
    if (!ready) {
        CloseHandles(port);
        return false;
    }
    // Sleep(5) and Sleep(10) last a whole 15.6 ms tick at the default timer resolution.
    port.m_bTimerRaised = timeBeginPeriod(1) == TIMERR_NOERROR;
    return true;
}

bool StartWatcher(Port& port) {
    port.m_hThread = CreateThread(nullptr, 0, ThreadWatchComm, &port, 0, nullptr);
    return port.m_hThread || Failed(port, PortStep::StartWatcher);
}

bool IsLineOpen(const Port& port) { return port.m_hComm != INVALID_HANDLE_VALUE; }

// What is waiting, at most the queue size.
int ReadWaiting(Port& port, uint8_t* buffer) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port.m_hComm, &errors, &status)) return ReadFailed(port, GetLastError());
    if (status.cbInQue == 0) return 0;
    // Ask for exactly what waits: a longer read may sit out the whole total time-out.
    const DWORD ask = status.cbInQue > port.m_dwInQueue ? port.m_dwInQueue : status.cbInQue;
    DWORD got = 0;
    if (ReadFile(port.m_hComm, buffer, ask, &got, &port.m_osRead)) return static_cast<int>(got);
    DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) {
        ClearPortError(port.m_hComm);
        return ReadFailed(port, error);
    }
    if (!FinishPending(port.m_hComm, port.m_osRead, got, error)) return ReadFailed(port, error);
    return static_cast<int>(got);
}

void CCommPort::ClosePort() {
    Port& port = *m_impl;
    port.m_bWatching = 0;
    if (port.m_hComm != INVALID_HANDLE_VALUE) SetCommMask(port.m_hComm, 0);  // ends WaitCommEvent
    if (port.m_hActivity) SetEvent(port.m_hActivity);                        // and a rest
    if (port.m_hThread) {
        // A watcher waiting for the first byte of a reply is released by cancelling its read;
        // again until it has ended, in case it was just about to start one.
        while (WaitForSingleObject(port.m_hThread, 10) == WAIT_TIMEOUT)
            CancelIoEx(port.m_hComm, &port.m_osRead);
        CloseHandle(port.m_hThread);
        port.m_hThread = nullptr;
    }
    if (port.m_hComm != INVALID_HANDLE_VALUE) PurgeComm(port.m_hComm, PURGE_ALL);
    CloseHandles(port);
    if (port.m_bTimerRaised) timeEndPeriod(1);
    port.m_bTimerRaised = false;
}

uint32_t CCommPort::WriteComm(const uint8_t* bytes, uint32_t length) {
    Port& port = *m_impl;
    if (port.m_hComm == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    ++port.m_nWrites;
    SetEvent(port.m_hActivity);  // a reply will follow: the watcher stops resting
    if (WriteFile(port.m_hComm, bytes, length, &written, &port.m_osWrite)) return written;
    DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING && FinishPending(port.m_hComm, port.m_osWrite, written, error))
        return written;
    // The line is gone: the watcher ends too, rather than wait on a port that cannot answer.
    ClearPortError(port.m_hComm);
    RecordLineFailure(port, PortStep::Write, static_cast<int>(error));
    port.m_bWatching = 0;
    SetEvent(port.m_hActivity);
    return written;
}
