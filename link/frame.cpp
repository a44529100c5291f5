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

// The request last written, as command << 8 | sub-code; 0 before the first.
std::atomic<uint16_t> g_awaited{0};
// One bit for each request of the protocol whose reply carried its command and sub-code.
std::atomic<uint16_t> g_echoed{0};

constexpr int kSubCodes = SUB_COUNT - SUB_APPEND + 1;
constexpr int kRequests = (CMD_RECORDS - CMD_STANDARDS + 1) * kSubCodes;

// The bit of a request of the protocol, or -1 for two bytes that name none.
int RequestBit(uint8_t command, uint8_t sub) {
    if (command < CMD_STANDARDS || command > CMD_RECORDS || sub < SUB_APPEND || sub > SUB_COUNT)
        return -1;
    return (command - CMD_STANDARDS) * kSubCodes + (sub - SUB_APPEND);
}

int RequestBit(uint16_t request) {
    return RequestBit(static_cast<uint8_t>(request >> 8), static_cast<uint8_t>(request));
}

// Two echoed requests that differ in their command and in their sub-code: a device that keeps
// either byte fixed (and so echoes it now and then by chance) never shows this.
bool EchoProven(uint16_t echoed) {
    for (int a = 0; a < kRequests; ++a)
        for (int b = 0; b < kRequests; ++b)
            if ((echoed >> a & 1) && (echoed >> b & 1) && a / kSubCodes != b / kSubCodes &&
                a % kSubCodes != b % kSubCodes)
                return true;
    return false;
}

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

// A whole reply at the read index that names a request of the protocol other than the one
// awaited, from a device known to echo: the answer to an earlier request, come late.
bool AnswersAnotherRequest() {
    const uint16_t awaited = g_awaited.load(std::memory_order_relaxed);
    if (RequestBit(awaited) < 0 || !RepliesEchoRequests()) return false;
    const uint16_t named = static_cast<uint16_t>(RingAt(FRAME_CMD) << 8 | RingAt(FRAME_SUB));
    return RequestBit(named) >= 0 && named != awaited;
}

void NoteEcho() {
    const uint16_t named = static_cast<uint16_t>(RxFrame[FRAME_CMD] << 8 | RxFrame[FRAME_SUB]);
    const int bit = RequestBit(named);
    if (bit >= 0 && named == g_awaited.load(std::memory_order_relaxed))
        g_echoed.fetch_or(static_cast<uint16_t>(1u << bit), std::memory_order_relaxed);
}

void CaptureFrame() {
    for (int i = 0; i < FRAME_SIZE; ++i) RxFrame[i] = RingAt(i);
    DropOldest(FRAME_SIZE);
    NoteEcho();
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

void AwaitReplyTo(const uint8_t* request) {
    g_awaited.store(static_cast<uint16_t>(request[FRAME_CMD] << 8 | request[FRAME_SUB]),
                    std::memory_order_relaxed);
    RxDiscardRequest.store(1, std::memory_order_release);
}

bool RepliesEchoRequests() { return EchoProven(g_echoed.load(std::memory_order_relaxed)); }

void ForgetReplyEcho() {
    g_echoed.store(0, std::memory_order_relaxed);
    g_awaited.store(0, std::memory_order_relaxed);
}

void AssembleRx(const uint8_t* chunk, uint8_t length) {
    if (RxDiscardRequest.exchange(0, std::memory_order_acq_rel)) DropOldest(RxRingPos.count);
    for (int i = 0; i < length; ++i) PushByte(chunk[i]);

    while (RxRingPos.count >= FRAME_SIZE) {
        if (FrameReady.load(std::memory_order_acquire)) return;  // previous reply not taken yet
        if (FrameAtReadIndex()) {
            if (AnswersAnotherRequest()) {
                DropOldest(FRAME_SIZE);  // its own reply may stand right behind it
                continue;
            }
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
