// Faults the simulator can inject, so that tests meet what a real line and device can do.
#pragma once

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

struct ReplyOverride {
    uint8_t command = 0;
    uint8_t sub = 0;
    uint16_t status = 0;
    int count = -1;  // -1 keeps the device's count word
};

// What happened to one request's reply.
enum class SimFault {
    None,
    Silent,  // no reply (the device did what was asked)
    Late,    // the reply after lateMs
    Noise,   // a burst of random bytes, then the reply
    Half,    // the first half of the reply, then nothing
    Split,   // the reply in a few pieces with gaps
    HangUp,  // the line closed as the request came in: the device never saw it
};

const char* FaultName(SimFault fault);

// The reply arrives whole and in time, whatever came with it.
inline bool Delivered(SimFault fault) {
    return fault == SimFault::None || fault == SimFault::Noise || fault == SimFault::Split;
}

struct FaultPlan {
    std::set<int> silentRequests;  // 1-based request numbers that get no reply
    std::set<int> lateRequests;    // 1-based request numbers answered after lateMs
    int lateMs = 1300;             // past the PC's one-second time-out
    // A late reply also waits for the next request, and goes out just before that one's reply,
    // as from a device that answers in order: it then lands after the next request was written,
    // however quickly the PC writes it. Without a next request it never goes out.
    bool lateAfterNext = false;
    int delayMs = 0;              // before every reply
    std::vector<int> chunkSizes;  // split each reply into chunks of these sizes
    int chunkGapMs = 2;
    int strayBytes = 0;  // garbage sent in front of each reply
    std::vector<ReplyOverride> overrides;
    int hangUpAt = 0;             // the request at which the line hangs up; 0 for never
    std::set<int> noiseRequests;  // a burst of random bytes before these replies
    std::set<int> halfRequests;   // half of these replies, then silence
    // The seeded mix: every request meets one fault of the mix with this chance, in percent.
    int randomPercent = 0;
    uint32_t seed = 1;
    bool randomHangUps = true;  // whether the mix may hang the line up
};

// Picks the fault of each request in turn: the planned ones first, then the seeded mix.
class FaultPicker {
public:
    explicit FaultPicker(const FaultPlan& plan) : m_plan(plan), m_random(plan.seed) {}
    SimFault Pick(int request);
    // Random bytes for a noise burst, and how to split a reply.
    std::vector<uint8_t> Noise();
    std::vector<int> Pieces();

private:
    const FaultPlan& m_plan;
    std::mt19937 m_random;
};

// Parses "12:62=EEE3" or "12:62=EEE3,0" (hex command, sub-code and status; decimal count).
bool ParseReplyOverride(const std::string& text, ReplyOverride& out);
// Parses "10,20" into chunk sizes.
bool ParseChunkSizes(const std::string& text, std::vector<int>& out);
// Parses "2" or "2,5,7" into request numbers.
bool ParseRequestNumbers(const std::string& text, std::set<int>& out);
// Parses "SEED" or "SEED,PERCENT" of the seeded mix.
bool ParseRandomFaults(const std::string& text, FaultPlan& plan);
