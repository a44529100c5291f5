#include "sim/server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

void SleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

SimServer::SimServer(SimDevice& device, SimLine& line, FaultPlan faults)
    : m_device(device), m_line(line), m_faults(std::move(faults)) {}

void SimServer::SwapAt(int request, SimState state) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_swapAt = request;
    m_swapState = std::move(state);
}

void SimServer::Run(const std::atomic<bool>& stop) {
    uint8_t buffer[4096];
    while (!stop.load() && !m_hungUp) {
        const int n = m_line.Read(buffer, sizeof buffer, 50);
        if (n < 0) {
            if (m_log && !m_line.Failure().empty())
                std::fprintf(m_log, "-- the line failed: %s\n", m_line.Failure().c_str());
            return;
        }
        if (n > 0) Feed(buffer, n);
    }
}

std::vector<std::vector<uint8_t>> SimServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

std::vector<std::chrono::steady_clock::time_point> SimServer::RequestTimes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requestTimes;
}

std::vector<SimFault> SimServer::Faults() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requestFaults;
}

int SimServer::RequestCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_requests.size());
}

// Requests may arrive in pieces or behind noise: slide over bytes until a whole frame with
// its four fixed bytes stands at the front.
void SimServer::Feed(const uint8_t* bytes, int length) {
    m_pending.insert(m_pending.end(), bytes, bytes + length);
    size_t start = 0;
    while (m_pending.size() - start >= FRAME_SIZE) {
        if (!IsRequestFrame(m_pending.data() + start)) {
            ++start;
            continue;
        }
        Frame request;
        std::memcpy(request, m_pending.data() + start, FRAME_SIZE);
        start += FRAME_SIZE;
        Serve(request);
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(start));
}

void SimServer::Serve(const Frame& request) {
    LogFrame("<-", request, FRAME_SIZE);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_requests.emplace_back(request, request + FRAME_SIZE);
    m_requestTimes.push_back(std::chrono::steady_clock::now());
    const int number = static_cast<int>(m_requests.size());
    const SimFault fault = m_picker.Pick(number);
    m_requestFaults.push_back(fault);
    const bool swapped = number == m_swapAt;
    if (swapped) m_device.state = std::move(m_swapState);
    lock.unlock();
    if (swapped && m_log) std::fprintf(m_log, "-- request %d: another instrument\n", number);
    if (fault != SimFault::None && m_log)
        std::fprintf(m_log, "-- request %d: %s\n", number, FaultName(fault));
    if (fault == SimFault::HangUp) {
        m_line.HangUp();
        m_hungUp = true;
        return;
    }
    if (m_holding) SendHeldReply();
    Frame reply;
    const bool changed = m_device.Handle(request, reply);
    ApplyOverrides(request, reply);
    if (changed && m_onChange) m_onChange();
    if (fault == SimFault::Late && m_faults.lateAfterNext) {
        std::memcpy(m_held, reply, FRAME_SIZE);
        m_heldDue = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_faults.lateMs);
        m_holding = true;
    } else if (fault != SimFault::Silent) {
        SendReply(reply, fault);
    }
}

void SimServer::ApplyOverrides(const Frame& request, Frame& reply) const {
    for (const ReplyOverride& override : m_faults.overrides) {
        if (override.command != request[FRAME_CMD] || override.sub != request[FRAME_SUB]) continue;
        PutWord(reply, FRAME_STATUS, override.status);
        if (override.count >= 0) PutWord(reply, FRAME_ITEM, static_cast<uint16_t>(override.count));
    }
}

void SimServer::SendReply(const Frame& reply, SimFault fault) {
    SleepMs(fault == SimFault::Late ? m_faults.lateMs : m_faults.delayMs);
    Emit(reply, fault);
}

void SimServer::SendHeldReply() {
    std::this_thread::sleep_until(m_heldDue);
    m_holding = false;
    if (m_log) std::fprintf(m_log, "-- the late reply, after the next request\n");
    Emit(m_held, SimFault::Late);
}

void SimServer::Emit(const Frame& reply, SimFault fault) {
    std::vector<uint8_t> wire;
    if (fault == SimFault::Noise) wire = m_picker.Noise();
    for (int i = 0; i < m_faults.strayBytes; ++i) wire.push_back(static_cast<uint8_t>(0xA5 + i));
    wire.insert(wire.end(), reply, reply + (fault == SimFault::Half ? FRAME_SIZE / 2 : FRAME_SIZE));
    LogFrame("->", wire.data(), static_cast<int>(wire.size()));
    Send(wire.data(), wire.size(),
         fault == SimFault::Split ? m_picker.Pieces() : m_faults.chunkSizes);
}

void SimServer::Send(const uint8_t* bytes, size_t length, const std::vector<int>& pieces) {
    size_t sent = 0;
    for (size_t i = 0; sent < length; ++i) {
        size_t piece = length - sent;
        if (i < pieces.size()) piece = std::min(piece, static_cast<size_t>(pieces[i]));
        if (i > 0) SleepMs(m_faults.chunkGapMs);  // so that the pieces arrive apart
        if (!m_line.Write(bytes + sent, static_cast<int>(piece)) && m_log)
            std::fprintf(m_log, "-- a reply was not sent: %s\n", m_line.Failure().c_str());
        sent += piece;
    }
}

void SimServer::LogFrame(const char* direction, const uint8_t* frame, int length) {
    if (!m_log) return;
    std::fprintf(m_log, "%s", direction);
    for (int i = 0; i < length; ++i) std::fprintf(m_log, " %02X", frame[i]);
    std::fprintf(m_log, "\n");
    std::fflush(m_log);
}
