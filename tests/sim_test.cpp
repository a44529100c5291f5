#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "link/frame.h"
#include "sim/device.h"
#include "sim/faults.h"
#include "sim/state_file.h"

namespace {

struct Exchange {
    uint16_t status;
    uint16_t count;
};

class SimDeviceTest : public ::testing::Test {
protected:
    Exchange Send(uint8_t command, uint8_t sub, uint16_t item = 0) {
        Frame request{};
        SetRequestEnvelope(request);
        request[FRAME_CMD] = command;
        request[FRAME_SUB] = sub;
        PutWord(request, FRAME_ITEM, item);
        std::copy(payload, payload + 20, request + FRAME_PAYLOAD);
        device.Handle(request, reply);
        return {GetWord(reply, FRAME_STATUS), GetWord(reply, FRAME_ITEM)};
    }

    SimDevice device;
    Frame reply{};
    uint8_t payload[20] = {};
};

TEST_F(SimDeviceTest, AppendedUsersAreReadBackInOrder) {
    PutLong(payload, 0, 123);
    PutLong(payload, 4, -1);
    std::memcpy(payload + 8, "ABCDEFGHIJK", 11);
    EXPECT_EQ(Send(CMD_USERS, SUB_APPEND).status, RX_STATUS_COUNT);
    EXPECT_EQ(Send(CMD_USERS, SUB_COUNT).count, 1);
    Send(CMD_USERS, SUB_READ_ITEM, 1);
    EXPECT_EQ(GetLong(reply, 8), 123);
    EXPECT_EQ(GetLong(reply, 12), -1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reply + 16), 11), "ABCDEFGHIJK");
    EXPECT_EQ(reply[28], RX_TAIL0);
    EXPECT_EQ(reply[29], RX_TAIL1);
}

TEST_F(SimDeviceTest, UsersAndStandardsStayWhileRecordsExist) {
    device.state.users.push_back({1, 2, "A"});
    device.state.records.push_back({});
    EXPECT_EQ(Send(CMD_USERS, SUB_DELETE_ALL).status, RX_STATUS_DELETE);
    EXPECT_EQ(Send(CMD_STANDARDS, SUB_DELETE_ALL).status, RX_STATUS_DELETE);
    EXPECT_EQ(device.state.users.size(), 1u);
    const Exchange cleared = Send(CMD_RECORDS, SUB_DELETE_ALL);
    EXPECT_EQ(cleared.status, RX_STATUS_COUNT);
    EXPECT_EQ(cleared.count, 0);
    EXPECT_EQ(Send(CMD_USERS, SUB_DELETE_ALL).status, RX_STATUS_COUNT);
    EXPECT_TRUE(device.state.users.empty());
}

TEST_F(SimDeviceTest, ListsReportFullAtCapacityOrAfterTheFault) {
    for (size_t i = 0; i < size_t{MAX_STANDARDS}; ++i)
        ASSERT_EQ(Send(CMD_STANDARDS, SUB_APPEND).status, RX_STATUS_COUNT);
    EXPECT_EQ(Send(CMD_STANDARDS, SUB_APPEND).status, RX_STATUS_FULL);

    SimDevice limited;
    limited.fullAfterAppends = 2;
    device = limited;
    EXPECT_EQ(Send(CMD_USERS, SUB_APPEND).status, RX_STATUS_COUNT);
    EXPECT_EQ(Send(CMD_USERS, SUB_APPEND).status, RX_STATUS_COUNT);
    EXPECT_EQ(Send(CMD_USERS, SUB_APPEND).status, RX_STATUS_FULL);
}

TEST_F(SimDeviceTest, RecordsCarryUserStandardValueAndTime) {
    SimRecord record{3, 2, 65535, {11, 3, 7, 0, 5, 9}};
    device.state.records.push_back(record);
    Send(CMD_RECORDS, SUB_READ_ITEM, 1);
    EXPECT_EQ(reply[8], 3);
    EXPECT_EQ(reply[9], 2);
    EXPECT_EQ(GetWord(reply, 10), 65535);
    EXPECT_EQ(reply[12], 11);
    EXPECT_EQ(reply[17], 9);
}

TEST_F(SimDeviceTest, UnknownItemsAndCommandsAreRejected) {
    EXPECT_EQ(Send(CMD_USERS, SUB_READ_ITEM, 1).status, SIM_STATUS_REJECTED);
    EXPECT_EQ(Send(0x55, SUB_COUNT).status, SIM_STATUS_REJECTED);
    EXPECT_EQ(Send(CMD_RECORDS, SUB_APPEND).status, SIM_STATUS_REJECTED);
}

TEST(SimStateFile, RoundTripKeepsEveryField) {
    const std::string text =
        "# a comment\n"
        "user 123 -1 홍길동\n"
        "user 7 8 A\\\\B\\xFF\n"
        "standard 100 65535 세균\n"
        "record 1 0 150 2011-03-07 00:05:09\n"
        "record 0 1 7 2255-12-31 23:59:59\n";
    SimState state;
    std::string error;
    ASSERT_TRUE(ParseSimStateText(text, state, error)) << error;
    ASSERT_EQ(state.users.size(), 2u);
    EXPECT_EQ(state.users[0].id2, -1);
    EXPECT_EQ(state.users[0].name, "\xD1\xB7\x8B\xA9\x95\xB7");
    EXPECT_EQ(state.users[1].name, "A\\B\xFF");
    EXPECT_EQ(state.standards[0].danger, 65535);
    EXPECT_EQ(state.records[1].time[0], 255);

    SimState again;
    ASSERT_TRUE(ParseSimStateText(FormatSimStateText(state), again, error)) << error;
    EXPECT_EQ(FormatSimStateText(again), FormatSimStateText(state));
    EXPECT_EQ(again.users[1].name, state.users[1].name);
}

TEST(SimStateFile, ABadLineIsNamedAndNothingIsLoaded) {
    SimState state;
    state.users.push_back({1, 1, "keep"});
    std::string error;
    EXPECT_FALSE(ParseSimStateText("user 1 2 A\nstandard x y\n", state, error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
    EXPECT_EQ(state.users.size(), 1u);
    EXPECT_EQ(state.users[0].name, "keep");
}

TEST(SimStateFile, LongNamesAreCutToElevenBytes) {
    EXPECT_EQ(NameFromFileText("ABCDEFGHIJKLMN"), "ABCDEFGHIJK");
}

TEST(SimFaults, OptionValues) {
    ReplyOverride override;
    ASSERT_TRUE(ParseReplyOverride("12:62=EEE3,0", override));
    EXPECT_EQ(override.command, 0x12);
    EXPECT_EQ(override.sub, 0x62);
    EXPECT_EQ(override.status, 0xEEE3);
    EXPECT_EQ(override.count, 0);
    ASSERT_TRUE(ParseReplyOverride("13:64=EEE1", override));
    EXPECT_EQ(override.count, -1);
    EXPECT_FALSE(ParseReplyOverride("13:64", override));
    EXPECT_FALSE(ParseReplyOverride("13:64=EEE0,70000", override));

    std::vector<int> chunks;
    EXPECT_TRUE(ParseChunkSizes("10,20", chunks));
    EXPECT_EQ(chunks, (std::vector<int>{10, 20}));
    EXPECT_FALSE(ParseChunkSizes("10,,20", chunks));
    std::set<int> numbers;
    EXPECT_TRUE(ParseRequestNumbers("2,5", numbers));
    EXPECT_EQ(numbers.count(5), 1u);
}

}  // namespace
