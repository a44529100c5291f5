#include "sim/faults.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "link/frame.h"

namespace {

bool ParseIntList(const std::string& text, std::vector<int>& out) {
    std::istringstream in(text);
    std::string item;
    std::vector<int> values;
    while (std::getline(in, item, ',')) {
        char* end = nullptr;
        const long value = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || value <= 0) return false;
        values.push_back(static_cast<int>(value));
    }
    if (values.empty()) return false;
    out = values;
    return true;
}

}  // namespace

bool ParseReplyOverride(const std::string& text, ReplyOverride& out) {
    unsigned command, sub, status;
    int count = -1;
    char tail = 0;
    const int fields =
        std::sscanf(text.c_str(), "%x:%x=%x,%d%c", &command, &sub, &status, &count, &tail);
    if (fields < 3 || fields > 4 || command > 0xFF || sub > 0xFF || status > 0xFFFF) return false;
    if (fields == 4 && (count < 0 || count > 0xFFFF)) return false;
    out = {static_cast<uint8_t>(command), static_cast<uint8_t>(sub), static_cast<uint16_t>(status),
           fields == 4 ? count : -1};
    return true;
}

bool ParseChunkSizes(const std::string& text, std::vector<int>& out) {
    return ParseIntList(text, out);
}

bool ParseRequestNumbers(const std::string& text, std::set<int>& out) {
    std::vector<int> values;
    if (!ParseIntList(text, values)) return false;
    out.insert(values.begin(), values.end());
    return true;
}

bool ParseRandomFaults(const std::string& text, FaultPlan& plan) {
    unsigned long seed = 0;
    int percent = 5;
    char tail = 0;
    const int fields = std::sscanf(text.c_str(), "%lu,%d%c", &seed, &percent, &tail);
    if (fields < 1 || fields > 2 || percent < 1 || percent > 100 || seed > 0xFFFFFFFFul)
        return false;
    plan.seed = static_cast<uint32_t>(seed);
    plan.randomPercent = percent;
    return true;
}

const char* FaultName(SimFault fault) {
    switch (fault) {
        case SimFault::None:
            return "none";
        case SimFault::Silent:
            return "silent";
        case SimFault::Late:
            return "late";
        case SimFault::Noise:
            return "noise";
        case SimFault::Half:
            return "half";
        case SimFault::Split:
            return "split";
        case SimFault::HangUp:
            return "hang-up";
    }
    return "?";
}

SimFault FaultPicker::Pick(int request) {
    if (request == m_plan.hangUpAt) return SimFault::HangUp;
    if (m_plan.silentRequests.count(request)) return SimFault::Silent;
    if (m_plan.lateRequests.count(request)) return SimFault::Late;
    if (m_plan.noiseRequests.count(request)) return SimFault::Noise;
    if (m_plan.halfRequests.count(request)) return SimFault::Half;
    if (m_plan.randomPercent <= 0) return SimFault::None;
    if (std::uniform_int_distribution<int>(1, 100)(m_random) > m_plan.randomPercent)
        return SimFault::None;
    static const SimFault kMix[] = {SimFault::Silent, SimFault::Late,  SimFault::Noise,
                                    SimFault::Half,   SimFault::Split, SimFault::HangUp};
    const int kinds = m_plan.randomHangUps ? 6 : 5;
    return kMix[std::uniform_int_distribution<int>(0, kinds - 1)(m_random)];
}

std::vector<uint8_t> FaultPicker::Noise() {
    std::vector<uint8_t> bytes(std::uniform_int_distribution<size_t>(1, 64)(m_random));
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 255)(m_random));
    return bytes;
}

std::vector<int> FaultPicker::Pieces() {
    std::vector<int> pieces;
    for (int left = FRAME_SIZE; left > 0;) {
        const int piece = std::uniform_int_distribution<int>(1, left)(m_random);
        pieces.push_back(piece);
        left -= piece;
    }
    return pieces;
}
