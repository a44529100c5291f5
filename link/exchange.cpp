#include "link/exchange.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace {

ExchangeIdleHook g_idleHook = nullptr;

void PauseMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool TakeReply(Frame& reply) {
    if (!FrameReady.load(std::memory_order_acquire)) return false;
    std::memcpy(reply, RxFrame, FRAME_SIZE);
    FrameReady.store(0, std::memory_order_release);
    return true;
}

}  // namespace

void SetExchangeIdleHook(ExchangeIdleHook hook) { g_idleHook = hook; }

bool ExchangeFrame(CCommPort& port, Frame& reply) {
    PauseMs(EXCHANGE_PAUSE_MS);
    // Whatever was captured or half-received before this request is written is not its reply:
    // it is a late answer to an earlier one.
    RxDiscardRequest.store(1, std::memory_order_release);
    FrameReady.store(0, std::memory_order_release);
    port.WriteComm(TxFrame, FRAME_SIZE);
    if (TakeReply(reply)) return true;
    for (int counter = EXCHANGE_TRIES; counter > 0;) {
        PauseMs(EXCHANGE_POLL_MS);
        if (g_idleHook) g_idleHook();
        if (--counter == 0) return false;
        if (TakeReply(reply)) return true;
    }
    return false;
}
