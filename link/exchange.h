// The one request/reply routine that every device operation uses.
#pragma once

#include "link/comm_port.h"
#include "link/frame.h"

constexpr int EXCHANGE_PAUSE_MS = 5;
constexpr int EXCHANGE_POLL_MS = 10;
constexpr int EXCHANGE_TRIES = 100;

// Writes TxFrame and waits about a second for the reply. On success the reply is copied into
// `reply` (the caller's own buffer) before FrameReady is cleared, so a following frame cannot
// overwrite it while it is read. Returns false on a time-out.
bool ExchangeFrame(CCommPort& port, Frame& reply);

// Called between the polling steps while a reply is awaited, so that a window can stay
// responsive; null by default.
using ExchangeIdleHook = void (*)();
void SetExchangeIdleHook(ExchangeIdleHook hook);
