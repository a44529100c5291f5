// What both platforms' ports share: the speeds, the watcher's message and who shows it.
#include "link/comm_port.h"

#include <atomic>
#include <cstdio>

#include "link/comm_port_internal.h"

namespace {

std::atomic<WatcherErrorHandler> g_watcherErrorHandler{nullptr};

}  // namespace

bool IsSupportedSpeed(uint32_t speed) {
    for (uint32_t supported :
         {1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u, 230400u})
        if (speed == supported) return true;
    return false;
}

uint32_t WriteMsPerByte(uint32_t speed) { return 230400 / speed; }

std::string WatcherErrorText(const std::string& portName) {
    return "Error while creating ThreadWatchComm," + portName;
}

void SetWatcherErrorHandler(WatcherErrorHandler handler) { g_watcherErrorHandler = handler; }

void ReportWatcherError(const std::string& portName) {
    const std::string text = WatcherErrorText(portName);
    if (WatcherErrorHandler handler = g_watcherErrorHandler.load())
        handler(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}
