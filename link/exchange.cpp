#include "link/exchange.h"

#include <chrono>
#include <cstring>

#include "link/pause.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kStep{EXCHANGE_STEP_MS};

ExchangeIdleHook g_idleHook = nullptr;

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
    // it is a late answer to an earlier one. So is one that comes after it but names another
    // request, from a device that echoes them.
    AwaitReplyTo(TxFrame);
    FrameReady.store(0, std::memory_order_release);
    port.WriteComm(TxFrame, FRAME_SIZE);
    // The reply is taken the moment it is captured; the idle hook runs after every step of
    // the wait.
    const Clock::time_point written = Clock::now();
    const Clock::time_point deadline = written + kStep * EXCHANGE_TRIES;
    for (Clock::time_point stepEnd = written + kStep; stepEnd <= deadline; stepEnd += kStep) {
        if (WaitForFrame(stepEnd) && TakeReply(reply)) return true;
        if (g_idleHook) g_idleHook();
    }
    return false;
}
