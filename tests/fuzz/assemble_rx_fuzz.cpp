// libFuzzer target: any sequence of chunks, with the reply taken and a request written now and
// then, keeps the ring consistent, captures only frames with their four fixed bytes and, once
// the replies have echoed their requests, none that names another request of the protocol.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "link/frame.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

bool OfTheProtocol(uint8_t command, uint8_t sub) {
    return command >= CMD_STANDARDS && command <= CMD_RECORDS && sub >= SUB_APPEND &&
           sub <= SUB_COUNT;
}

void CheckRing() {
    Check(RxRingPos.count <= RX_RING_SIZE);
    Check(RxRingPos.read < RX_RING_SIZE && RxRingPos.write < RX_RING_SIZE);
    Check((RxRingPos.read + RxRingPos.count) % RX_RING_SIZE == RxRingPos.write);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetRxRing();
    ForgetReplyEcho();
    FrameReady = 0;
    Frame request{};
    size_t i = 0;
    while (i < size) {
        // Each step: one control byte (bit 0: take the reply first; bit 1: write a request named
        // by the two bytes after the control byte; the rest: chunk length).
        const uint8_t control = data[i++];
        if (control & 1) FrameReady = 0;
        if ((control & 2) && size - i >= 2) {
            request[FRAME_CMD] = data[i++];
            request[FRAME_SUB] = data[i++];
            AwaitReplyTo(request);
        }
        size_t length = control >> 2;
        if (length > size - i) length = size - i;
        if (length == 0) continue;
        const uint8_t wasReady = FrameReady;
        const bool echoes = RepliesEchoRequests();
        AssembleRx(data + i, static_cast<uint8_t>(length));
        i += length;
        CheckRing();
        if (!wasReady && FrameReady) {
            Check(RxFrame[0] == RX_HEAD0 && RxFrame[1] == RX_HEAD1);
            Check(RxFrame[28] == RX_TAIL0 && RxFrame[29] == RX_TAIL1);
            if (echoes && OfTheProtocol(request[FRAME_CMD], request[FRAME_SUB]) &&
                OfTheProtocol(RxFrame[FRAME_CMD], RxFrame[FRAME_SUB]))
                Check(RxFrame[FRAME_CMD] == request[FRAME_CMD] &&
                      RxFrame[FRAME_SUB] == request[FRAME_SUB]);
        }
    }
    return 0;
}
