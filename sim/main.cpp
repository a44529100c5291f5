// ombrix-sim: plays the instrument on a serial line. See --help.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "sim/faults.h"
#include "sim/generate.h"
#include "sim/line.h"
#include "sim/server.h"
#include "sim/state_file.h"

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop = true; }

const char kUsage[] =
    "usage: ombrix-sim [options]\n"
    "Plays the instrument on a serial line. Without --port it opens a new pseudo-terminal\n"
    "and prints \"PTY <slave path>\" on the first line of its output.\n"
    "\n"
    "  --port NAME        serve on an existing serial device (a tty path, or COMn on Windows)\n"
    "  --link PATH        make PATH a symbolic link to the pseudo-terminal (removed at exit)\n"
    "  --state FILE       load users, standards and records from FILE (a text file)\n"
    "  --save FILE        write the state to FILE after every change\n"
    "  --users N          add N generated users (at most the device's 250 in all)\n"
    "  --standards N      add N generated standards (at most 50)\n"
    "  --records N        add N generated records (at most 65535)\n"
    "  --log FILE         log frames to FILE instead of standard error\n"
    "  --swap-at N        another instrument on the line from the Nth request on (1-based),\n"
    "                     holding the state of --swap-state FILE (empty without it)\n"
    "  --swap-state FILE\n"
    "  --quiet            log nothing\n"
    "faults:\n"
    "  --silent N[,N..]   leave the Nth request (1-based) unanswered\n"
    "  --late N[,N..]     answer the Nth request after --late-ms (default 1300, past the "
    "time-out)\n"
    "  --late-ms MS\n"
    "  --late-after-next  hold each late reply also until the next request has come in, then\n"
    "                     send it before that one's reply (it lands after the next request)\n"
    "  --delay MS         wait MS before every reply\n"
    "  --chunks A,B,..    send each reply in pieces of A, B, .. bytes\n"
    "  --stray N          send N stray bytes before each reply\n"
    "  --reply CC:SS=WORD[,COUNT]  answer command CC, sub-code SS (hex) with this status word\n"
    "                     (hex) and count (decimal)\n"
    "  --full-after N     report the list full after N appends\n"
    "  --hang-up N        close the line as the Nth request comes in, and end\n"
    "  --noise N[,N..]    send a burst of random bytes before the Nth reply\n"
    "  --half N[,N..]     send half of the Nth reply, then nothing\n"
    "  --random-faults SEED[,PERCENT]\n"
    "                     give every request one of the faults above (and split replies) at\n"
    "                     random with PERCENT chance (default 5); the same seed, the same faults\n"
    "  --no-random-hang-up  leave hang-ups out of the random faults\n";

struct Options {
    std::string port, link, stateFile, saveFile, logFile, swapStateFile;
    bool quiet = false, noRandomHangUp = false;
    size_t users = 0, standards = 0, records = 0;
    int fullAfter = -1;
    int swapAt = 0;
    FaultPlan faults;
};

bool ParseCount(const char* text, long max, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return *text && *end == '\0' && value >= 0 && value <= max;
}

bool ParseArguments(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quiet" || arg == "--no-random-hang-up") {
            (arg == "--quiet" ? options.quiet : options.noRandomHangUp) = true;
            continue;
        }
        if (arg == "--late-after-next") {
            options.faults.lateAfterNext = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = arg == "--help" ? "" : "unknown option or missing value: " + arg;
            return false;
        }
        const char* value = argv[++i];
        long number = 0;
        bool ok = true;
        if (arg == "--port")
            options.port = value;
        else if (arg == "--link")
            options.link = value;
        else if (arg == "--state")
            options.stateFile = value;
        else if (arg == "--save")
            options.saveFile = value;
        else if (arg == "--log")
            options.logFile = value;
        else if (arg == "--swap-state")
            options.swapStateFile = value;
        else if (arg == "--swap-at")
            ok = ParseCount(value, 1 << 30, number) && number > 0, options.swapAt = number;
        else if (arg == "--users")
            ok = ParseCount(value, MAX_USERS, number), options.users = number;
        else if (arg == "--standards")
            ok = ParseCount(value, MAX_STANDARDS, number), options.standards = number;
        else if (arg == "--records")
            ok = ParseCount(value, MAX_RECORDS, number), options.records = number;
        else if (arg == "--full-after")
            ok = ParseCount(value, MAX_RECORDS, number), options.fullAfter = number;
        else if (arg == "--delay")
            ok = ParseCount(value, 60000, number), options.faults.delayMs = number;
        else if (arg == "--late-ms")
            ok = ParseCount(value, 60000, number), options.faults.lateMs = number;
        else if (arg == "--stray")
            ok = ParseCount(value, 1000, number), options.faults.strayBytes = number;
        else if (arg == "--silent")
            ok = ParseRequestNumbers(value, options.faults.silentRequests);
        else if (arg == "--late")
            ok = ParseRequestNumbers(value, options.faults.lateRequests);
        else if (arg == "--hang-up")
            ok = ParseCount(value, MAX_RECORDS, number) && number > 0,
            options.faults.hangUpAt = number;
        else if (arg == "--noise")
            ok = ParseRequestNumbers(value, options.faults.noiseRequests);
        else if (arg == "--half")
            ok = ParseRequestNumbers(value, options.faults.halfRequests);
        else if (arg == "--random-faults")
            ok = ParseRandomFaults(value, options.faults);
        else if (arg == "--chunks")
            ok = ParseChunkSizes(value, options.faults.chunkSizes);
        else if (arg == "--reply") {
            ReplyOverride override;
            ok = ParseReplyOverride(value, override);
            options.faults.overrides.push_back(override);
        } else {
            error = "unknown option: " + arg;
            return false;
        }
        if (!ok) {
            error = "bad value for " + arg + ": " + value;
            return false;
        }
    }
    options.faults.randomHangUps = !options.noRandomHangUp;
    return true;
}

bool BuildDevice(const Options& options, SimDevice& device, std::string& error) {
    if (!options.stateFile.empty() && !LoadSimState(options.stateFile, device.state, error))
        return false;
    AddGeneratedUsers(device.state, options.users);
    AddGeneratedStandards(device.state, options.standards);
    AddGeneratedRecords(device.state, options.records);
    device.fullAfterAppends = options.fullAfter;
    return true;
}

std::unique_ptr<SimLine> OpenLine(const Options& options, std::string& error) {
    if (!options.port.empty()) return OpenSerialDevice(options.port, error);
    auto line = OpenPseudoTerminal(error);
    if (line && !options.link.empty()) {
        const std::filesystem::path link = std::filesystem::u8path(options.link);
        std::error_code failure;
        std::filesystem::remove(link, failure);
        std::filesystem::create_symlink(line->PeerName(), link, failure);
        if (failure) {
            error = "cannot create the link " + options.link + ": " + failure.message();
            return nullptr;
        }
    }
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!ParseArguments(argc, argv, options, error)) {
        std::fprintf(stderr, "ombrix-sim: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    SimDevice device;
    SimState swapped;
    if (!BuildDevice(options, device, error) ||
        (!options.swapStateFile.empty() && !LoadSimState(options.swapStateFile, swapped, error))) {
        std::fprintf(stderr, "ombrix-sim: %s\n", error.c_str());
        return 1;
    }
    auto line = OpenLine(options, error);
    if (!line) {
        std::fprintf(stderr, "ombrix-sim: %s\n", error.c_str());
        return 1;
    }
    std::FILE* log = options.quiet ? nullptr : stderr;
    if (!options.logFile.empty() && !options.quiet) {
        log = std::fopen(options.logFile.c_str(), "a");
        if (!log) {
            std::fprintf(stderr, "ombrix-sim: cannot write the log %s: %s\n",
                         options.logFile.c_str(), std::strerror(errno));
            return 1;
        }
    }
    std::printf("PTY %s\n", line->PeerName().c_str());
    std::fflush(stdout);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    SimServer server(device, *line, options.faults);
    server.SetLog(log);
    if (options.swapAt > 0) server.SwapAt(options.swapAt, std::move(swapped));
    auto save = [&] {
        std::string failure;
        if (!options.saveFile.empty() && !SaveSimState(options.saveFile, device.state, failure))
            std::fprintf(stderr, "ombrix-sim: cannot save the state: %s\n", failure.c_str());
    };
    server.SetOnChange(save);
    save();
    server.Run(g_stop);
    if (!line->Failure().empty())
        std::fprintf(stderr, "ombrix-sim: the line failed: %s\n", line->Failure().c_str());
    save();
    if (!options.link.empty()) {
        std::error_code ignored;  // the link may be gone already
        std::filesystem::remove(std::filesystem::u8path(options.link), ignored);
    }
    return 0;
}
