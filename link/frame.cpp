#include "link/frame.h"

#include <condition_variable>
#include <cstring>
#include <mutex>

Frame TxFrame;
Frame RxFrame;
uint8_t RxRing[RX_RING_SIZE];
std::atomic<uint8_t> FrameReady{0};
RxRingIndex RxRingPos;
std::atomic<uint8_t> RxDiscardRequest{0};

namespace {

// FrameReady is raised under this lock, so that a waiter cannot miss the wake-up between its
// look at the flag and its wait.
std::mutex g_frameLock;
std::condition_variable g_frameCaptured;

uint8_t RingAt(int offset) { return RxRing[(RxRingPos.read + offset) % RX_RING_SIZE]; }

void DropOldest(uint8_t bytes) {
    RxRingPos.count = static_cast<uint8_t>(RxRingPos.count - bytes);
    RxRingPos.read = static_cast<uint8_t>((RxRingPos.read + bytes) % RX_RING_SIZE);
}

void PushByte(uint8_t byte) {
    if (RxRingPos.count == RX_RING_SIZE) DropOldest(1);  // full: the oldest byte gives way
    RxRing[RxRingPos.write] = byte;
    RxRingPos.write = static_cast<uint8_t>((RxRingPos.write + 1) % RX_RING_SIZE);
    ++RxRingPos.count;
}

// The order of the tests is the device's own: second header byte first.
bool FrameAtReadIndex() {
    return RingAt(1) == RX_HEAD1 && RingAt(0) == RX_HEAD0 && RingAt(29) == RX_TAIL1 &&
           RingAt(28) == RX_TAIL0;
}

void CaptureFrame() {
    for (int i = 0; i < FRAME_SIZE; ++i) RxFrame[i] = RingAt(i);
    DropOldest(FRAME_SIZE);
    {
        std::lock_guard<std::mutex> lock(g_frameLock);
        FrameReady.store(1, std::memory_order_release);
    }
    g_frameCaptured.notify_all();
}

}  // namespace

void ResetRxRing() {
    RxRingPos = RxRingIndex{};
    std::memset(RxRing, 0, sizeof RxRing);
    RxDiscardRequest.store(0, std::memory_order_relaxed);
}

void AssembleRx(const uint8_t* chunk, uint8_t length) {
    if (RxDiscardRequest.exchange(0, std::memory_order_acq_rel)) DropOldest(RxRingPos.count);
    for (int i = 0; i < length; ++i) PushByte(chunk[i]);

    while (RxRingPos.count >= FRAME_SIZE) {
        if (FrameReady.load(std::memory_order_acquire)) return;  // previous reply not taken yet
        if (FrameAtReadIndex()) {
            CaptureFrame();
            return;
        }
        DropOldest(1);  // a stray byte: slide on until the fixed bytes line up
    }
}

bool WaitForFrame(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(g_frameLock);
    return g_frameCaptured.wait_until(
        lock, deadline, [] { return FrameReady.load(std::memory_order_acquire) != 0; });
}

void AssembleRxChunk(const uint8_t* chunk, size_t length) {
    while (length > 0) {
        const uint8_t piece = static_cast<uint8_t>(length > 255 ? 255 : length);
        AssembleRx(chunk, piece);
        chunk += piece;
        length -= piece;
    }
}

uint16_t GetWord(const uint8_t* frame, int offset) {
    return static_cast<uint16_t>(frame[offset] | (frame[offset + 1] << 8));
}

void PutWord(uint8_t* frame, int offset, uint16_t value) {
    frame[offset] = static_cast<uint8_t>(value);
    frame[offset + 1] = static_cast<uint8_t>(value >> 8);
}

int32_t GetLong(const uint8_t* frame, int offset) {
    const uint32_t value = static_cast<uint32_t>(frame[offset]) |
                           static_cast<uint32_t>(frame[offset + 1]) << 8 |
                           static_cast<uint32_t>(frame[offset + 2]) << 16 |
                           static_cast<uint32_t>(frame[offset + 3]) << 24;
    return static_cast<int32_t>(value);
}

void PutLong(uint8_t* frame, int offset, int32_t value) {
    const uint32_t bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) frame[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
}

void SetRequestEnvelope(uint8_t* frame) {
    frame[0] = TX_HEAD0;
    frame[1] = TX_HEAD1;
    frame[FRAME_SIZE - 2] = TX_TAIL0;
    frame[FRAME_SIZE - 1] = TX_TAIL1;
}
