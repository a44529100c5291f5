// The real link, CCommPort and ExchangeFrame, against the simulator on a pseudo-terminal.
#include "link/comm_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "link/exchange.h"
#include "link/frame.h"
#include "tests/support/process_stats.h"
#include "tests/support/sim_on_pty.h"

namespace {

using Clock = std::chrono::steady_clock;

SimState ThreeUsers() {
    SimState state;
    for (int i = 1; i <= 3; ++i) state.users.push_back({i, 10 * i, "U" + std::to_string(i)});
    state.standards.push_back({100, 200, "S"});
    return state;
}

void Request(uint8_t command, uint8_t sub, uint16_t item = 0) {
    SetRequestEnvelope(TxFrame);
    TxFrame[FRAME_CMD] = command;
    TxFrame[FRAME_SUB] = sub;
    PutWord(TxFrame, FRAME_ITEM, item);
}

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        FrameReady = 0;
        ForgetReplyEcho();  // each test meets its device anew
    }
    void Open(SimOnPty& sim) { ASSERT_TRUE(port.OpenPort(sim.Path(), 115200)); }

    CCommPort port;
    Frame reply{};
};

TEST_F(LinkTest, CountAndItemReplies) {
    SimOnPty sim({}, ThreeUsers());
    Open(sim);
    Request(CMD_USERS, SUB_COUNT);
    ASSERT_TRUE(ExchangeFrame(port, reply));
    EXPECT_EQ(GetWord(reply, FRAME_STATUS), RX_STATUS_COUNT);
    EXPECT_EQ(GetWord(reply, FRAME_ITEM), 3);
    Request(CMD_USERS, SUB_READ_ITEM, 2);
    ASSERT_TRUE(ExchangeFrame(port, reply));
    EXPECT_EQ(GetLong(reply, 8), 2);
    EXPECT_EQ(GetLong(reply, 12), 20);
    EXPECT_STREQ(reinterpret_cast<const char*>(reply + 16), "U2");
    EXPECT_EQ(sim.Server().RequestCount(), 2);
}

TEST_F(LinkTest, RepliesInPiecesOrBehindNoiseArrive) {
    FaultPlan faults;
    faults.chunkSizes = {10, 20};
    faults.strayBytes = 3;
    faults.noiseRequests = {2, 4};  // random bytes on top of the three stray ones
    SimOnPty sim(faults, ThreeUsers());
    Open(sim);
    for (int i = 0; i < 5; ++i) {
        Request(CMD_STANDARDS, SUB_COUNT);
        ASSERT_TRUE(ExchangeFrame(port, reply)) << "exchange " << i;
        EXPECT_EQ(GetWord(reply, FRAME_ITEM), 1);
    }
}

TEST_F(LinkTest, MissingReplyTimesOutAfterAboutASecond) {
    FaultPlan faults;
    faults.silentRequests = {1};
    SimOnPty sim(faults, ThreeUsers());
    Open(sim);
    Request(CMD_USERS, SUB_COUNT);
    const auto start = Clock::now();
    EXPECT_FALSE(ExchangeFrame(port, reply));
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_GE(waited.count(), 1000);
    EXPECT_LT(waited.count(), 1600);
    ASSERT_TRUE(ExchangeFrame(port, reply));  // the next one is answered
}

TEST_F(LinkTest, ALateReplyIsNotTakenAsTheNextAnswer) {
    FaultPlan faults;
    faults.lateRequests = {1};
    faults.lateMs = 1200;
    SimOnPty sim(faults, ThreeUsers());
    Open(sim);
    Request(CMD_USERS, SUB_COUNT);
    EXPECT_FALSE(ExchangeFrame(port, reply));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));  // the late reply lands now
    Request(CMD_STANDARDS, SUB_COUNT);
    ASSERT_TRUE(ExchangeFrame(port, reply));
    EXPECT_EQ(reply[FRAME_CMD], CMD_STANDARDS);
    EXPECT_EQ(GetWord(reply, FRAME_ITEM), 1);
}

// The device answers in order, so a late reply comes just before the next one: after the next
// request was written. Once its replies have echoed their requests, the late one names another
// request and is dropped; so it is when it comes as the first reply after a reconnect.
TEST_F(LinkTest, ALateReplyAfterTheNextRequestIsDroppedOnceRepliesEcho) {
    for (const bool reconnect : {false, true}) {
        SCOPED_TRACE(reconnect ? "across a reconnect" : "on one connection");
        ForgetReplyEcho();
        FaultPlan faults;
        faults.lateRequests = {3};
        faults.lateMs = 1200;
        faults.lateAfterNext = true;
        SimState state = ThreeUsers();
        state.records.resize(40);
        SimOnPty sim(faults, state);
        Open(sim);
        Request(CMD_USERS, SUB_READ_ITEM, 1);
        ASSERT_TRUE(ExchangeFrame(port, reply));
        Request(CMD_STANDARDS, SUB_COUNT);
        ASSERT_TRUE(ExchangeFrame(port, reply));
        Request(CMD_RECORDS, SUB_COUNT);
        EXPECT_FALSE(ExchangeFrame(port, reply));
        if (reconnect) {
            port.ClosePort();
            Open(sim);
        }
        Request(CMD_USERS, SUB_COUNT);
        ASSERT_TRUE(ExchangeFrame(port, reply));
        EXPECT_EQ(reply[FRAME_CMD], CMD_USERS);
        EXPECT_EQ(GetWord(reply, FRAME_ITEM), 3);  // not the 40 records
        Request(CMD_USERS, SUB_READ_ITEM, 3);      // nothing of the two replies is left over
        ASSERT_TRUE(ExchangeFrame(port, reply));
        EXPECT_EQ(GetLong(reply, 8), 3);
        EXPECT_EQ(sim.Server().RequestCount(), 5);
        port.ClosePort();
    }
}

TEST_F(LinkTest, WhatTheRepliesShowedIsKeptForThePortAndNotForAnother) {
    SimOnPty first({}, ThreeUsers()), second({}, ThreeUsers());
    Open(first);
    Request(CMD_USERS, SUB_READ_ITEM, 1);
    ASSERT_TRUE(ExchangeFrame(port, reply));
    Request(CMD_STANDARDS, SUB_COUNT);
    ASSERT_TRUE(ExchangeFrame(port, reply));
    EXPECT_TRUE(RepliesEchoRequests());
    port.ClosePort();
    Open(first);
    EXPECT_TRUE(RepliesEchoRequests());
    port.ClosePort();
    Open(second);
    EXPECT_FALSE(RepliesEchoRequests());
}

TEST_F(LinkTest, TheDeviceRestsAtLeastThePauseAfterEachReply) {
    SimOnPty sim({}, ThreeUsers());
    Open(sim);
    std::vector<Clock::time_point> taken;  // no earlier than each reply's capture
    for (int i = 0; i < 20; ++i) {
        Request(CMD_USERS, SUB_COUNT);
        ASSERT_TRUE(ExchangeFrame(port, reply));
        taken.push_back(Clock::now());
    }
    const auto received = sim.Server().RequestTimes();
    ASSERT_EQ(received.size(), taken.size());
    for (size_t i = 1; i < received.size(); ++i)
        EXPECT_GE(received[i] - taken[i - 1], std::chrono::milliseconds(EXCHANGE_PAUSE_MS))
            << "request " << i;
}

TEST_F(LinkTest, DisconnectAndConnectAtFullSpeed) {
    SimOnPty sim({}, ThreeUsers());
    for (int i = 0; i < 20; ++i) {
        Open(sim);
        port.ClosePort();
    }
    Open(sim);
    for (uint16_t k = 1; k <= 3; ++k) {
        Request(CMD_USERS, SUB_READ_ITEM, k);
        ASSERT_TRUE(ExchangeFrame(port, reply));
        EXPECT_EQ(GetLong(reply, 8), k);
    }
}

TEST_F(LinkTest, ClosingWhileTheWatcherWaitsReturnsAtOnce) {
    SimOnPty sim;
    Open(sim);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = Clock::now();
    port.ClosePort();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(),
              200);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(sim.Server().RequestCount(), 0);
}

TEST_F(LinkTest, AMissingPortFailsAndTheObjectStaysUsable) {
    EXPECT_FALSE(port.OpenPort("/dev/nonexistent-ombrix-port", 115200));
    EXPECT_FALSE(port.OpenPort("/dev/null", 115200));  // not a serial line
    SimOnPty sim({}, ThreeUsers());
    EXPECT_FALSE(port.OpenPort(sim.Path(), 115201));  // not a speed of the list: refused
    EXPECT_FALSE(port.OpenPort(sim.Path(), 0));
    EXPECT_FALSE(port.IsOpen());
    Open(sim);
    Request(CMD_USERS, SUB_COUNT);
    EXPECT_TRUE(ExchangeFrame(port, reply));
}

TEST_F(LinkTest, APortInUseCannotBeOpenedTwice) {
    SimOnPty sim;
    Open(sim);
    CCommPort second;
    EXPECT_FALSE(second.OpenPort(sim.Path(), 115200));
}

// The exclusive lock alone, as another program takes it: TIOCEXCL does not stop root.
TEST_F(LinkTest, ALockHeldElsewhereKeepsThePortShutUntilReleased) {
    SimOnPty sim;
    const int other = open(sim.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(port.OpenPort(sim.Path(), 115200));
    flock(other, LOCK_UN);
    EXPECT_TRUE(port.OpenPort(sim.Path(), 115200));
    close(other);
}

TEST_F(LinkTest, LeftoverBytesOfTheLastConnectionAreDropped) {
    SimOnPty sim({}, ThreeUsers());
    Open(sim);
    port.ClosePort();
    // A half frame left in the ring from before must not join the next connection's bytes.
    const uint8_t half[12] = {RX_HEAD0, RX_HEAD1, 0x99};
    AssembleRx(half, sizeof half);
    Open(sim);
    EXPECT_EQ(RxRingPos.count, 0);
}

// The device's end closes as the second request comes in, during a read.
TEST_F(LinkTest, ALineThatHangsUpEndsTheWatcherAndEveryExchangeTimesOut) {
    FaultPlan faults;
    faults.hangUpAt = 2;
    auto sim = std::make_unique<SimOnPty>(faults, ThreeUsers());
    Open(*sim);
    Request(CMD_USERS, SUB_COUNT);
    ASSERT_TRUE(ExchangeFrame(port, reply));
    Request(CMD_USERS, SUB_READ_ITEM, 1);
    EXPECT_FALSE(ExchangeFrame(port, reply));
    EXPECT_FALSE(port.IsWatching());  // a second later, long gone

    const double cpuBefore = ProcessCpuSeconds();
    const auto start = Clock::now();
    EXPECT_EQ(port.WriteComm(TxFrame, FRAME_SIZE), 0u);  // the write fails
    EXPECT_FALSE(ExchangeFrame(port, reply));            // and so does the next exchange
    const double waited = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GE(waited, 1.0);
    EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 0.1 * waited);  // nothing spins meanwhile
    EXPECT_TRUE(port.IsOpen());                                // until the operator disconnects

    port.ClosePort();
    sim = std::make_unique<SimOnPty>(FaultPlan{}, ThreeUsers());  // the device is back
    Open(*sim);
    Request(CMD_USERS, SUB_READ_ITEM, 3);
    ASSERT_TRUE(ExchangeFrame(port, reply));
    EXPECT_EQ(GetLong(reply, 8), 3);
}

TEST_F(LinkTest, HalfAReplyThenSilenceLeavesTheNextReplyWhole) {
    FaultPlan faults;
    faults.halfRequests = {1};
    SimOnPty sim(faults, ThreeUsers());
    Open(sim);
    Request(CMD_USERS, SUB_READ_ITEM, 1);
    EXPECT_FALSE(ExchangeFrame(port, reply));
    Request(CMD_USERS, SUB_READ_ITEM, 2);
    ASSERT_TRUE(ExchangeFrame(port, reply));
    EXPECT_EQ(GetLong(reply, 8), 2);
    EXPECT_EQ(GetLong(reply, 12), 20);
}

}  // namespace
