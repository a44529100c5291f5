#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "link/frame.h"
#include "sim/device.h"

namespace {

std::vector<uint8_t> Reply(uint8_t tag) {
    std::vector<uint8_t> frame(FRAME_SIZE, 0);
    SetReplyEnvelope(frame.data());
    frame[FRAME_CMD] = tag;
    return frame;
}

class AssembleRxTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRxRing();
        FrameReady = 0;
        std::memset(RxFrame, 0, FRAME_SIZE);
    }
    void Feed(const std::vector<uint8_t>& bytes) {
        AssembleRx(bytes.data(), static_cast<uint8_t>(bytes.size()));
    }
    bool Captured(uint8_t tag) { return FrameReady == 1 && RxFrame[FRAME_CMD] == tag; }
    void Take() { FrameReady = 0; }
};

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(AssembleRxTest, ReplySplitOverChunksIsCapturedByTheLastOne) {
    const auto reply = Reply(0x21);
    Feed({reply.begin(), reply.begin() + 10});
    EXPECT_EQ(FrameReady, 0);
    Feed({reply.begin() + 10, reply.end()});
    EXPECT_TRUE(Captured(0x21));
    EXPECT_EQ(RxRingPos.count, 0);
}

TEST_F(AssembleRxTest, StrayBytesBeforeAReplyAreDroppedInTheSameCall) {
    Feed(Concat({0x00, 0x13, 0xFF}, Reply(0x22)));
    EXPECT_TRUE(Captured(0x22));
    EXPECT_EQ(RxRingPos.count, 0);
}

TEST_F(AssembleRxTest, SecondFrameOfAChunkWaitsUntilTheFirstIsTakenAndMoreArrives) {
    Feed(Concat(Reply(0x23), Reply(0x24)));
    EXPECT_TRUE(Captured(0x23));
    EXPECT_EQ(RxRingPos.count, FRAME_SIZE);
    Take();
    const auto nextReply = Reply(0x25);
    Feed({nextReply.begin(), nextReply.begin() + 1});
    EXPECT_TRUE(Captured(0x24));
}

TEST_F(AssembleRxTest, BytesStayInTheRingWhileAReplyIsNotTaken) {
    Feed(Reply(0x26));
    Feed(Reply(0x27));
    EXPECT_TRUE(Captured(0x26));
    EXPECT_EQ(RxRingPos.count, FRAME_SIZE);
}

TEST_F(AssembleRxTest, EachFixedByteIsChecked) {
    for (int offset : {0, 1, 28, 29}) {
        SetUp();
        auto broken = Reply(0x28);
        broken[offset] ^= 0x01;
        Feed(broken);
        EXPECT_EQ(FrameReady, 0) << "offset " << offset;
        EXPECT_LT(RxRingPos.count, FRAME_SIZE) << "offset " << offset;
    }
}

TEST_F(AssembleRxTest, AReplyAfterABrokenOneIsStillFound) {
    auto broken = Reply(0x29);
    broken[28] = 0x00;
    Feed(Concat(broken, Reply(0x2A)));
    EXPECT_TRUE(Captured(0x2A));
}

TEST_F(AssembleRxTest, OverflowDropsTheOldestBytes) {
    std::vector<uint8_t> noise(200, 0x55);
    Feed(noise);
    EXPECT_LE(RxRingPos.count, RX_RING_SIZE);
    EXPECT_EQ((RxRingPos.read + RxRingPos.count) % RX_RING_SIZE, RxRingPos.write);
    Feed(Reply(0x2B));
    EXPECT_TRUE(Captured(0x2B));
}

TEST_F(AssembleRxTest, OverflowWhileAReplyWaitsKeepsTheNewestBytes) {
    Feed(Reply(0x2C));
    Take();
    FrameReady = 1;  // an untaken reply holds the ring
    for (int i = 0; i < 5; ++i) Feed(Reply(static_cast<uint8_t>(0x30 + i)));
    EXPECT_EQ(RxRingPos.count, RX_RING_SIZE);
    Take();
    Feed({0x00});
    EXPECT_EQ(FrameReady, 1);
    // 150 bytes were offered to 128 places: the oldest frames gave way, the newest survived.
    EXPECT_GE(RxFrame[FRAME_CMD], 0x31);
}

TEST_F(AssembleRxTest, ChunksLongerThan255BytesAreFedInPieces) {
    std::vector<uint8_t> chunk(600, 0x77);
    const auto reply = Reply(0x2D);
    chunk.insert(chunk.end(), reply.begin(), reply.end());
    AssembleRxChunk(chunk.data(), chunk.size());
    EXPECT_TRUE(Captured(0x2D));
}

TEST_F(AssembleRxTest, DiscardRequestDropsWhatArrivedBefore) {
    const auto late = Reply(0x2E);
    Feed({late.begin(), late.begin() + 12});
    RxDiscardRequest = 1;
    const auto own = Reply(0x2F);
    Feed(Concat({late.begin() + 12, late.end()}, own));
    EXPECT_TRUE(Captured(0x2F));
}

TEST(FrameFields, LittleEndianWordsAndLongs) {
    Frame frame{};
    PutWord(frame, 4, 0xEEE0);
    EXPECT_EQ(frame[4], 0xE0);
    EXPECT_EQ(frame[5], 0xEE);
    EXPECT_EQ(GetWord(frame, 4), 0xEEE0);
    PutLong(frame, 8, -1);
    EXPECT_EQ(GetLong(frame, 8), -1);
    PutLong(frame, 12, 1234567);
    EXPECT_EQ(frame[12], 0x87);
    EXPECT_EQ(GetLong(frame, 12), 1234567);
    SetRequestEnvelope(frame);
    EXPECT_EQ(frame[0], 0x14);
    EXPECT_EQ(frame[1], 0x18);
    EXPECT_EQ(frame[28], 0xA4);
    EXPECT_EQ(frame[29], 0xA8);
}

}  // namespace
