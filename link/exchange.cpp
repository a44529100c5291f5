#include "link/exchange.h"

#include <cstring>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

ExchangeIdleHook g_idleHook = nullptr;

void PauseMs(int ms) {
#ifdef _WIN32
    Sleep(static_cast<DWORD>(ms));  // MinGW's sleep_for adds a whole millisecond
#else
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
#endif
}

bool TakeReply(Frame& reply) {
    if (!FrameReady.load(std::memory_order_acquire)) return false;
    std::memcpy(reply, RxFrame, FRAME_SIZE);
    FrameReady.store(0, std::memory_order_release);
    return true;
}

}  // namespace

void SetExchangeIdleHook(ExchangeIdleHook hook) { g_idleHook = hook; }

bool ExchangeFrame(CCommPort& port, Frame& reply) {
    // The device needs this rest after its last reply, which was taken the moment it came.
    PauseMs(EXCHANGE_PAUSE_MS);
    // Whatever was captured or half-received before this request is written is not its reply:
    // it is a late answer to an earlier one.
    RxDiscardRequest.store(1, std::memory_order_release);
    FrameReady.store(0, std::memory_order_release);
    port.WriteComm(TxFrame, FRAME_SIZE);
    const Clock::time_point written = Clock::now();
    if (TakeReply(reply)) return true;
    // The time-out is counted in steps, so that the idle hook runs at each step while the
    // reply is taken as soon as it is captured.
    for (int step = 1; step <= EXCHANGE_TRIES; ++step) {
        const Clock::time_point stepEnd =
            written + std::chrono::milliseconds(step * EXCHANGE_STEP_MS);
        if (WaitForFrame(stepEnd) && TakeReply(reply)) return true;
        if (g_idleHook) g_idleHook();
    }
    return false;
}
