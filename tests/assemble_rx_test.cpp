#include <gtest/gtest.h>

#include <algorithm>
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
        ForgetReplyEcho();
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

// A request of the protocol as the exchange publishes it, and a reply whose bytes 2-3 are
// `named` (a device that echoes puts the request's command and sub-code there).
struct Named {
    uint8_t command, sub;
};

void Await(Named request) {
    Frame frame{};
    SetRequestEnvelope(frame);
    frame[FRAME_CMD] = request.command;
    frame[FRAME_SUB] = request.sub;
    AwaitReplyTo(frame);
}

std::vector<uint8_t> Answer(Named named, uint16_t count) {
    std::vector<uint8_t> frame(FRAME_SIZE, 0);
    SetReplyEnvelope(frame.data());
    frame[FRAME_CMD] = named.command;
    frame[FRAME_SUB] = named.sub;
    PutWord(frame.data(), FRAME_STATUS, RX_STATUS_COUNT);
    PutWord(frame.data(), FRAME_ITEM, count);
    return frame;
}

constexpr Named kUserCount{CMD_USERS, SUB_COUNT}, kUserItem{CMD_USERS, SUB_READ_ITEM},
    kStandardCount{CMD_STANDARDS, SUB_COUNT}, kStandardItem{CMD_STANDARDS, SUB_READ_ITEM},
    kRecordCount{CMD_RECORDS, SUB_COUNT}, kRecordItem{CMD_RECORDS, SUB_READ_ITEM},
    kUserDelete{CMD_USERS, SUB_DELETE_ALL}, kStandardAppend{CMD_STANDARDS, SUB_APPEND};

class ReplyEchoTest : public AssembleRxTest {
protected:
    // One exchange: the request published, the device's reply fed and taken; false when none
    // was captured.
    bool Exchange(Named request, Named replyNames, uint16_t count = 7) {
        Await(request);
        Feed(Answer(replyNames, count));
        const bool captured = FrameReady == 1 && GetWord(RxFrame, FRAME_ITEM) == count;
        Take();
        return captured;
    }
    // Replies that echo a user item and a standard count: both bytes seen to follow the request.
    void LearnEcho() {
        ASSERT_TRUE(Exchange(kUserItem, kUserItem));
        ASSERT_TRUE(Exchange(kStandardCount, kStandardCount));
        ASSERT_TRUE(RepliesEchoRequests());
    }
};

TEST_F(ReplyEchoTest, ALateReplyNamingAnotherRequestIsDroppedAndTheRightOneTakenAtOnce) {
    LearnEcho();
    Await(kRecordCount);  // timed out: stays published until the next request
    Await(kUserCount);
    Feed(Concat(Answer(kRecordCount, 40), Answer(kUserCount, 10)));
    EXPECT_EQ(FrameReady, 1);
    EXPECT_EQ(RxFrame[FRAME_CMD], CMD_USERS);
    EXPECT_EQ(GetWord(RxFrame, FRAME_ITEM), 10);
    EXPECT_EQ(RxRingPos.count, 0);
}

TEST_F(ReplyEchoTest, ALateReplyAloneLeavesTheWaitOpenForTheRightOne) {
    LearnEcho();
    Await(kUserCount);
    const auto late = Answer(kStandardItem, 2);
    Feed({late.begin(), late.begin() + 20});  // in pieces, as the line delivers it
    Feed({late.begin() + 20, late.end()});
    EXPECT_EQ(FrameReady, 0);
    Feed(Answer(kUserCount, 10));
    EXPECT_EQ(FrameReady, 1);
    EXPECT_EQ(GetWord(RxFrame, FRAME_ITEM), 10);
}

// Once the device echoes, a reply is still taken whatever it carries beyond bytes 2-3, and
// bytes there that name no request of the protocol are no reason to drop it.
TEST_F(ReplyEchoTest, OnlyAnotherRequestOfTheProtocolIsDropped) {
    LearnEcho();
    const struct {
        Named named;
        bool taken;
    } cases[] = {
        {kUserItem, true},
        {{0x00, 0x00}, true},
        {{CMD_USERS, 0x65}, true},
        {{0x14, SUB_READ_ITEM}, true},
        {{0x10, SUB_COUNT}, true},
        {{CMD_USERS, 0x60}, true},
        {kUserCount, false},
        {kUserDelete, false},
        {kStandardItem, false},
        {kRecordItem, false},
        {{CMD_RECORDS, SUB_APPEND}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << std::hex << int(c.named.command) << ":" << int(c.named.sub));
        Await(kUserItem);
        auto reply = Answer(c.named, 0);
        for (int i = FRAME_STATUS; i < FRAME_SIZE - 2; ++i) reply[i] = static_cast<uint8_t>(i * 37);
        Feed(reply);
        EXPECT_EQ(FrameReady, c.taken ? 1 : 0);
        if (c.taken) {
            EXPECT_TRUE(std::equal(reply.begin(), reply.end(), RxFrame));
        }
        Take();
        ResetRxRing();
    }
}

// Devices that put anything but an echo into bytes 2-3, over a conversation of every kind of
// request: every reply is taken, and the rule never comes into force.
TEST_F(ReplyEchoTest, ADeviceThatDoesNotEchoKeepsWorking) {
    using Device = Named (*)(Named request);
    const struct {
        const char* name;
        Device device;
    } devices[] = {
        {"zeros",
         [](Named) {
             return Named{0x00, 0x00};
         }},
        {"one request of the protocol", [](Named) { return kUserCount; }},
        {"the command, a fixed sub-code",
         [](Named r) {
             return Named{r.command, SUB_COUNT};
         }},
        {"a fixed command, the sub-code",
         [](Named r) {
             return Named{CMD_USERS, r.sub};
         }},
        {"the two swapped",
         [](Named r) {
             return Named{r.sub, r.command};
         }},
    };
    const Named conversation[] = {kUserCount,      kUserItem,    kUserItem,   kStandardCount,
                                  kStandardItem,   kRecordCount, kRecordItem, kUserDelete,
                                  kStandardAppend, kUserCount,   kRecordItem, kStandardItem};
    for (const auto& d : devices) {
        SetUp();
        uint16_t count = 1;
        for (const Named request : conversation) {
            EXPECT_TRUE(Exchange(request, d.device(request), ++count))
                << d.name << ", request " << std::hex << int(request.command) << ":"
                << int(request.sub);
        }
        EXPECT_FALSE(RepliesEchoRequests()) << d.name;
    }
}

// Replies that echo for one command or for one sub-code only prove nothing; the echo holds
// until the program ends or another port is opened.
TEST_F(ReplyEchoTest, EchoIsProvenByTwoRequestsDifferingInBothBytes) {
    const struct {
        std::vector<Named> echoed;
        bool proven;
    } cases[] = {
        {{kUserCount, kUserItem, kUserDelete}, false},
        {{kUserCount, kStandardCount, kRecordCount}, false},
        {{kUserCount, kStandardItem}, true},
        {{kRecordItem, kUserDelete}, true},
    };
    for (const auto& c : cases) {
        ForgetReplyEcho();
        for (const Named request : c.echoed) ASSERT_TRUE(Exchange(request, request));
        EXPECT_EQ(RepliesEchoRequests(), c.proven) << c.echoed.size() << " requests";
        ResetRxRing();  // as a reconnect does
        EXPECT_EQ(RepliesEchoRequests(), c.proven);
    }
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
