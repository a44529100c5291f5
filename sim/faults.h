// Faults the simulator can inject, so that tests meet what a real line and device can do.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct ReplyOverride {
    uint8_t command = 0;
    uint8_t sub = 0;
    uint16_t status = 0;
    int count = -1;  // -1 keeps the device's count word
};

struct FaultPlan {
    std::set<int> silentRequests;  // 1-based request numbers that get no reply
    std::set<int> lateRequests;    // 1-based request numbers answered after lateMs
    int lateMs = 1300;             // past the PC's one-second time-out
    int delayMs = 0;               // before every reply
    std::vector<int> chunkSizes;   // split each reply into chunks of these sizes
    int chunkGapMs = 2;
    int strayBytes = 0;  // garbage sent in front of each reply
    std::vector<ReplyOverride> overrides;
};

// Parses "12:62=EEE3" or "12:62=EEE3,0" (hex command, sub-code and status; decimal count).
bool ParseReplyOverride(const std::string& text, ReplyOverride& out);
// Parses "10,20" into chunk sizes.
bool ParseChunkSizes(const std::string& text, std::vector<int>& out);
// Parses "2" or "2,5,7" into request numbers.
bool ParseRequestNumbers(const std::string& text, std::set<int>& out);
