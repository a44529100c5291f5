// The Windows link under Wine, against the simulator on a pseudo-terminal mapped as COM1 and
// COM10. scripts/wine-link-check.sh starts the simulator with the faults each sequence expects:
//   link_check            --users 3 --standards 2 --stray 3 --chunks 10,20 --silent 4 --late 6
//                         --late-ms 1200
//   link_check dead-line  --users 3 --half 1 --hang-up 3, and once that simulator has ended,
//                         a new one with --users 3
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "link/comm_port.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "tests/support/process_stats.h"
#include "tests/win/check.h"
#include "text/code_page.h"

namespace {

void Request(uint8_t command, uint8_t sub, uint16_t item = 0) {
    SetRequestEnvelope(TxFrame);
    TxFrame[FRAME_CMD] = command;
    TxFrame[FRAME_SUB] = sub;
    PutWord(TxFrame, FRAME_ITEM, item);
}

long long MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

std::string Convert(const std::string& name, unsigned from, unsigned to) {
    char buffer[NAME_BUFFER_SIZE] = {};
    std::memcpy(buffer, name.data(), name.size());
    ConvertCodePage(buffer, from, to);
    return buffer;
}

void CheckExchanges(CCommPort& port) {
    Frame reply{};
    Request(CMD_USERS, SUB_COUNT);
    Check(ExchangeFrame(port, reply) && GetWord(reply, FRAME_ITEM) == 3,
          "users count behind stray bytes, in two chunks");
    Request(CMD_USERS, SUB_READ_ITEM, 2);
    Check(ExchangeFrame(port, reply) && GetLong(reply, 8) == 100002, "user 2 read");
    Request(CMD_STANDARDS, SUB_COUNT);
    Check(ExchangeFrame(port, reply) && GetWord(reply, FRAME_ITEM) == 2, "standards count");

    Request(CMD_USERS, SUB_COUNT);
    auto start = std::chrono::steady_clock::now();
    const bool answered = ExchangeFrame(port, reply);
    const long long waited = MsSince(start);
    Check(!answered && waited >= 1000 && waited < 1300, "missing reply times out after 1 s");
    std::printf("      (waited %lld ms)\n", waited);

    Request(CMD_USERS, SUB_COUNT);
    Check(ExchangeFrame(port, reply), "next request answered");

    Request(CMD_USERS, SUB_COUNT);
    Check(!ExchangeFrame(port, reply), "late reply times out");
    Sleep(400);
    Request(CMD_STANDARDS, SUB_COUNT);
    Check(ExchangeFrame(port, reply) && reply[FRAME_CMD] == CMD_STANDARDS,
          "late reply is not taken as the next answer");
}

void CheckReconnect(CCommPort& port) {
    bool allOpened = true;
    for (int i = 0; i < 10; ++i) {
        port.ClosePort();
        allOpened = port.OpenPort("COM1", 115200) && allOpened;
    }
    Frame reply{};
    int answered = 0;
    for (uint16_t k = 1; k <= 3; ++k) {
        Request(CMD_USERS, SUB_READ_ITEM, k);
        answered += ExchangeFrame(port, reply) && GetLong(reply, 8) == 100000 + k;
    }
    Check(allOpened && answered == 3, "disconnect, connect, read at full speed");

    auto start = std::chrono::steady_clock::now();
    port.ClosePort();
    Check(MsSince(start) < 300 && !port.IsOpen(), "ClosePort ends the watcher at once");
}

void CheckPorts() {
    CCommPort port;
    Frame reply{};
    Check(port.OpenPort("COM10", 115200), "COM10 opens");
    Request(CMD_STANDARDS, SUB_COUNT);
    Check(ExchangeFrame(port, reply), "COM10 answers");
    Check(port.PortName() == "COM10", "port name kept as COM10");
    port.ClosePort();
    Check(!port.OpenPort("COM2", 115200), "an unmapped port fails");
    Check(port.OpenPort("COM10", 115200), "the object opens again after a failure");
    port.ClosePort();
}

void CheckConversion() {
    const std::string korean =
        "\xB0\xA1\xB3\xAA\xB4\xD9\xB6\xF3\xB8\xB6"
        "A";
    const std::string johab =
        "\x88\x61\x90\x61\x94\x61\x9C\x61\xA0\x61"
        "A";
    Check(Convert(korean, CP_KOREAN, CP_JOHAB) == johab, "949 to 1361, 11 bytes");
    Check(Convert(johab, CP_JOHAB, CP_KOREAN) == korean, "1361 to 949, 11 bytes");
    const std::string slashKorean = "\xC7\xD1\xB1\xDB\\A";
    const std::string slashJohab = "\xD0\x65\x8B\x69\\A";
    Check(Convert(slashKorean, CP_KOREAN, CP_JOHAB) == slashJohab, "backslash kept in 1361");
    Check(Convert(slashJohab, CP_JOHAB, CP_KOREAN) == slashKorean, "backslash kept in 949");
    Check(Convert("", CP_JOHAB, CP_KOREAN).empty(), "empty name");
}

// Half a reply then silence, a good reply, then the device's end closes during a read.
int CheckDeadLine() {
    CCommPort port;
    Frame reply{};
    Check(port.OpenPort("COM1", 115200), "COM1 opens");
    Request(CMD_USERS, SUB_READ_ITEM, 1);
    Check(!ExchangeFrame(port, reply), "half a reply times out");
    Request(CMD_USERS, SUB_READ_ITEM, 2);
    Check(ExchangeFrame(port, reply) && GetLong(reply, 8) == 100002, "the next reply is whole");

    Request(CMD_USERS, SUB_READ_ITEM, 3);
    Check(!ExchangeFrame(port, reply), "the read times out when the line hangs up");
    Sleep(200);
    Check(!port.IsWatching(), "the watcher has ended");
    const double cpuBefore = ProcessCpuSeconds();
    auto start = std::chrono::steady_clock::now();
    Check(port.WriteComm(TxFrame, FRAME_SIZE) == 0, "a write fails");
    Check(!ExchangeFrame(port, reply), "the next exchange times out too");
    const long long waited = MsSince(start);
    Sleep(1000);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    std::printf("      (%.3f s CPU in %.1f s with the line gone)\n", cpu, (waited + 1000) / 1000.0);
    Check(cpu < 0.1 * (waited + 1000) / 1000.0, "nothing spins with the line gone");
    Check(port.IsOpen(), "the port stays open until closed");
    port.ClosePort();

    bool back = false;  // the script starts a new device once the old one has ended
    for (int i = 0; i < 100 && !back; ++i) {
        back = port.OpenPort("COM1", 115200);
        if (!back) Sleep(100);
    }
    Request(CMD_USERS, SUB_READ_ITEM, 3);
    Check(back && ExchangeFrame(port, reply) && GetLong(reply, 8) == 100003,
          "a new open after the device is back reads right");
    return CheckSummary();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "dead-line") == 0) return CheckDeadLine();
    CCommPort port;
    Check(port.OpenPort("COM1", 115200), "COM1 opens");
    if (port.IsOpen()) {
        CheckExchanges(port);
        CheckReconnect(port);
    }
    CheckPorts();
    CheckConversion();
    return CheckSummary();
}
