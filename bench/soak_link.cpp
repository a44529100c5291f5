// A thousand reconnects and a dead line, on the link alone: connects and disconnects CYCLES
// times (an exchange every hundredth time), printing the process's handles (Windows) or open
// file descriptors (POSIX) and threads before and after; then exchanges until the device hangs
// up (the simulator runs with --hang-up) and prints the CPU the process takes in IDLE_SECONDS
// with the line gone and the port still open. Not a test: it prints figures.
//
//   soak_link PORT [CYCLES [IDLE_SECONDS]]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "link/comm_port.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "tests/support/process_stats.h"

namespace {

bool ReadUserCount(CCommPort& port) {
    SetRequestEnvelope(TxFrame);
    TxFrame[FRAME_CMD] = CMD_USERS;
    TxFrame[FRAME_SUB] = SUB_COUNT;
    Frame reply;
    return ExchangeFrame(port, reply) && GetWord(reply, FRAME_STATUS) == RX_STATUS_COUNT;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: soak_link PORT [CYCLES [IDLE_SECONDS]]\n");
        return 2;
    }
    const int cycles = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int idleSeconds = argc > 3 ? std::atoi(argv[3]) : 10;
    CCommPort port;
    // The first connect sets up what the platform keeps for good (Wine's port services).
    if (!port.OpenPort(argv[1], 115200) || !ReadUserCount(port)) {
        std::fprintf(stderr, "soak_link: no device on %s\n", argv[1]);
        return 1;
    }
    port.ClosePort();
    const ProcessCounts start = CountProcessResources();
    int failed = 0;
    for (int i = 1; i <= cycles; ++i) {
        failed += !port.OpenPort(argv[1], 115200);
        if (i % 100 == 0) failed += !ReadUserCount(port);
        port.ClosePort();
    }
    const ProcessCounts end = CountProcessResources();
    std::printf("%d reconnects (%d failed): %s %ld -> %ld, threads %ld -> %ld\n", cycles, failed,
                PROCESS_HANDLES_NAME, start.handles, end.handles, start.threads, end.threads);

    if (!port.OpenPort(argv[1], 115200)) return 1;
    int exchanges = 0;
    while (exchanges < 1000 && ReadUserCount(port)) ++exchanges;
    const double cpuBefore = ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    std::printf(
        "the line gone after %d exchanges, the port open: %.3f s CPU in %d s (%.2f%% of a "
        "core), watcher %s\n",
        exchanges, cpu, idleSeconds, idleSeconds ? 100.0 * cpu / idleSeconds : 0.0,
        port.IsWatching() ? "still running" : "ended");
    port.ClosePort();
    const bool flat = end.handles == start.handles && end.threads == start.threads;
    return failed == 0 && flat ? 0 : 1;
}
