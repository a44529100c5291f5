// libFuzzer target: any sequence of chunks, with the reply taken now and then, keeps the ring
// consistent and captures only frames with their four fixed bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "link/frame.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckRing() {
    Check(RxRingPos.count <= RX_RING_SIZE);
    Check(RxRingPos.read < RX_RING_SIZE && RxRingPos.write < RX_RING_SIZE);
    Check((RxRingPos.read + RxRingPos.count) % RX_RING_SIZE == RxRingPos.write);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetRxRing();
    FrameReady = 0;
    size_t i = 0;
    while (i < size) {
        // Each step: one control byte (low bit: take the reply first; the rest: chunk length).
        const uint8_t control = data[i++];
        if (control & 1) FrameReady = 0;
        size_t length = control >> 1;
        if (length > size - i) length = size - i;
        if (length == 0) continue;
        const uint8_t wasReady = FrameReady;
        AssembleRx(data + i, static_cast<uint8_t>(length));
        i += length;
        CheckRing();
        if (!wasReady && FrameReady) {
            Check(RxFrame[0] == RX_HEAD0 && RxFrame[1] == RX_HEAD1);
            Check(RxFrame[28] == RX_TAIL0 && RxFrame[29] == RX_TAIL1);
        }
    }
    return 0;
}
