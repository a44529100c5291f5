// What both platforms' ports share: the open's order, the state's accessors, the speeds, the
// failures, the watcher's message and who shows it.
#include "link/comm_port.h"

#include <cstdio>

#include "link/comm_port_internal.h"
#include "link/frame.h"

namespace {

std::atomic<WatcherErrorHandler> g_watcherErrorHandler{nullptr};

// The port whose device the assembler has learnt to echo, or not; only one thread opens ports.
std::string g_echoPortName;

PortFailure FailureOf(const CCommPort::Impl& port) {
    std::lock_guard<std::mutex> lock(port.m_failureLock);
    return port.m_failure;
}

}  // namespace

CCommPort::CCommPort() : m_impl(std::make_unique<Impl>()) {}

CCommPort::~CCommPort() { ClosePort(); }

bool CCommPort::OpenPort(const std::string& name, uint32_t speed) {
    ClosePort();
    Impl& port = *m_impl;
    port.m_strPortName = name;
    RecordFailure(port, PortStep::None, PortCause::None);
    if (!IsSupportedSpeed(speed))
        return RecordFailure(port, PortStep::Speed, PortCause::SpeedRefused);
    if (!OpenLine(port, name, speed)) return false;
    ResetRxRing();
    // A reconnect keeps what the device showed: a late reply may be the first of the new
    // connection. Another port may have another device.
    if (name != g_echoPortName) {
        ForgetReplyEcho();
        g_echoPortName = name;
    }
    port.m_bWatching = 1;
    port.m_bWatcherRunning = true;
    if (StartWatcher(port)) return true;
    port.m_bWatcherRunning = false;
    ClosePort();
    return false;
}

uint32_t CCommPort::ReadComm(uint8_t* buffer) {
    if (!IsLineOpen(*m_impl)) return 0;
    const int n = ReadWaiting(*m_impl, buffer);
    return n > 0 ? static_cast<uint32_t>(n) : 0;
}

bool CCommPort::IsOpen() const { return IsLineOpen(*m_impl); }

bool CCommPort::IsWatching() const { return m_impl->m_bWatcherRunning; }

const std::string& CCommPort::PortName() const { return m_impl->m_strPortName; }

PortFailure CCommPort::LastFailure() const { return FailureOf(*m_impl); }

bool IsSupportedSpeed(uint32_t speed) {
    for (uint32_t supported :
         {1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u, 230400u})
        if (speed == supported) return true;
    return false;
}

uint32_t WriteMsPerByte(uint32_t speed) { return 230400 / speed; }

const char* PortStepName(PortStep step) {
    static const char* const kNames[] = {
        "none",          "speed",          "name",           "resources",
        "open",          "terminal check", "event mask",     "queues",
        "read settings", "write settings", "exclusive lock", "purge",
        "watcher start", "wait",           "read",           "write"};
    return kNames[static_cast<int>(step)];
}

bool RecordFailure(CCommPort::Impl& port, PortStep step, PortCause cause) {
    std::lock_guard<std::mutex> lock(port.m_failureLock);
    port.m_failure = {step, cause, 0};
    return false;
}

bool RecordFailure(CCommPort::Impl& port, PortStep step, int code) {
    std::lock_guard<std::mutex> lock(port.m_failureLock);
    port.m_failure = {step, CauseOfSystemError(code), code};
    return false;
}

void RecordLineFailure(CCommPort::Impl& port, PortStep step, int code) {
    if (port.m_bWatching != 1) return;
    std::lock_guard<std::mutex> lock(port.m_failureLock);
    if (port.m_failure.step == PortStep::None)
        port.m_failure = {step, CauseOfSystemError(code), code};
}

std::string WatcherErrorText(const std::string& portName) {
    return "Error while creating ThreadWatchComm," + portName;
}

void SetWatcherErrorHandler(WatcherErrorHandler handler) { g_watcherErrorHandler = handler; }

void ReportWatcherError(const CCommPort::Impl& port) {
    const std::string text = WatcherErrorText(port.m_strPortName);
    const PortFailure failure = FailureOf(port);
    if (WatcherErrorHandler handler = g_watcherErrorHandler.load())
        handler(text, failure);
    else
        std::fprintf(stderr, "%s (%s failed, system error %d)\n", text.c_str(),
                     PortStepName(failure.step), failure.code);
}
