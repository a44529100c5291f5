// Plays the device on a line: collects request frames, answers each through SimDevice with the
// planned faults applied, and logs every frame in both directions.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <vector>

#include "sim/device.h"
#include "sim/faults.h"
#include "sim/line.h"

class SimServer {
public:
    SimServer(SimDevice& device, SimLine& line, FaultPlan faults);

    // Log of frames ("<- 14 18 ..." received, "-> 13 17 ..." sent); null for none.
    void SetLog(std::FILE* log) { m_log = log; }
    // Another instrument, holding `state`, is on the line from request `request` (1-based) on,
    // as when an operator swaps instruments on one cable between two requests.
    void SwapAt(int request, SimState state);
    // Called after every request that changed the device's lists.
    void SetOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }

    // Serves until `stop` is set or the line is gone.
    void Run(const std::atomic<bool>& stop);

    // Requests received so far, in order; safe to call from another thread.
    std::vector<std::vector<uint8_t>> Requests() const;
    int RequestCount() const;
    // When each request was received, in the same order.
    std::vector<std::chrono::steady_clock::time_point> RequestTimes() const;
    // The fault each request met, in the same order.
    std::vector<SimFault> Faults() const;
    // The line was hung up (a planned or random fault); Run has ended or soon will.
    bool HungUp() const { return m_hungUp; }

private:
    void Feed(const uint8_t* bytes, int length);
    void Serve(const Frame& request);
    void SendReply(const Frame& reply, SimFault fault);
    void SendHeldReply();
    void Emit(const Frame& reply, SimFault fault);
    void Send(const uint8_t* bytes, size_t length, const std::vector<int>& pieces);
    void ApplyOverrides(const Frame& request, Frame& reply) const;
    void LogFrame(const char* direction, const uint8_t* frame, int length);

    SimDevice& m_device;
    SimLine& m_line;
    FaultPlan m_faults;
    FaultPicker m_picker{m_faults};
    std::atomic<bool> m_hungUp{false};
    std::FILE* m_log = nullptr;
    std::function<void()> m_onChange;
    std::vector<uint8_t> m_pending;
    // A late reply waiting for the next request (FaultPlan::lateAfterNext), and when it is due.
    bool m_holding = false;
    Frame m_held{};
    std::chrono::steady_clock::time_point m_heldDue;
    mutable std::mutex m_mutex;
    std::vector<std::vector<uint8_t>> m_requests;
    std::vector<std::chrono::steady_clock::time_point> m_requestTimes;
    std::vector<SimFault> m_requestFaults;
    int m_swapAt = 0;  // 0: never
    SimState m_swapState;
};
