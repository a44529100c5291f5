// The one request/reply routine that every device operation uses.
#pragma once

#include "link/comm_port.h"
#include "link/frame.h"

constexpr int EXCHANGE_PAUSE_MS = 5;
constexpr int EXCHANGE_STEP_MS = 10;
constexpr int EXCHANGE_TRIES = 100;

// Writes TxFrame, 5 ms after the call, and waits one second (100 steps of 10 ms) for the reply. On
// success the reply is copied into `reply` (the caller's own buffer) before FrameReady is cleared,
// so a following frame cannot overwrite it while it is read. Returns false on a time-out.
bool ExchangeFrame(CCommPort& port, Frame& reply);

// Called after each step while a reply is awaited, so that a window can stay
// responsive; null by default.
using ExchangeIdleHook = void (*)();
void SetExchangeIdleHook(ExchangeIdleHook hook);
