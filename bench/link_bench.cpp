// Times the link against a device on a port: the mean of one exchange and the CPU the link
// takes while connected and idle. Not a test: it prints figures next to their budget.
//
//   link_bench PORT [EXCHANGES] [IDLE_SECONDS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "link/comm_port.h"
#include "link/exchange.h"
#include "link/frame.h"
#include "tests/support/process_stats.h"

namespace {

// The floor on a real line: the 5 ms pause and a 30-byte frame each way at 115200 bit/s (10
// bits a byte). A pseudo-terminal has no wire time, so a link at its best stays below it.
constexpr double kWireMs = 30 * 10 * 1000.0 / 115200;
constexpr double kBudgetMs = EXCHANGE_PAUSE_MS + 2 * kWireMs;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: link_bench PORT [EXCHANGES] [IDLE_SECONDS]\n");
        return 2;
    }
    const int exchanges = argc > 2 ? std::atoi(argv[2]) : 250;
    const int idleSeconds = argc > 3 ? std::atoi(argv[3]) : 10;
    CCommPort port;
    if (!port.OpenPort(argv[1], 115200)) {
        std::fprintf(stderr, "link_bench: cannot open %s\n", argv[1]);
        return 1;
    }
    SetRequestEnvelope(TxFrame);
    TxFrame[FRAME_CMD] = CMD_USERS;
    TxFrame[FRAME_SUB] = SUB_COUNT;

    int answered = 0;
    Frame reply;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < exchanges; ++i) answered += ExchangeFrame(port, reply) ? 1 : 0;
    const double totalMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const double meanMs = exchanges ? totalMs / exchanges : 0;
    std::printf(
        "exchanges: %d of %d answered, mean %.2f ms per exchange (a real line's floor %.1f ms: "
        "%s)\n",
        answered, exchanges, meanMs, kBudgetMs, meanMs <= kBudgetMs ? "below" : "above");

    const double cpuBefore = ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    std::printf("idle while connected: %.3f s CPU in %d s (%.2f%% of a core)\n", cpu, idleSeconds,
                idleSeconds ? 100.0 * cpu / idleSeconds : 0.0);
    port.ClosePort();
    return answered == exchanges ? 0 : 1;
}
