// The simulated instrument: its three lists and its answer to every request frame.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "link/frame.h"

struct SimUser {
    int32_t id1 = 0;
    int32_t id2 = 0;
    std::string name;  // Johab bytes, at most 11
};

struct SimStandard {
    uint16_t safe = 0;
    uint16_t danger = 0;
    std::string name;  // Johab bytes, at most 11
};

struct SimRecord {
    uint8_t user = 0;      // 1-based position in the user list; 0 = none
    uint8_t standard = 0;  // 1-based position in the standard list; 0 = none
    uint16_t value = 0;
    uint8_t time[6] = {};  // year within the century, month, day, hour, minute, second
};

inline bool operator==(const SimUser& a, const SimUser& b) {
    return a.id1 == b.id1 && a.id2 == b.id2 && a.name == b.name;
}
inline bool operator==(const SimStandard& a, const SimStandard& b) {
    return a.safe == b.safe && a.danger == b.danger && a.name == b.name;
}
inline bool operator==(const SimRecord& a, const SimRecord& b) {
    return a.user == b.user && a.standard == b.standard && a.value == b.value &&
           std::equal(a.time, a.time + sizeof a.time, b.time);
}

struct SimState {
    std::vector<SimUser> users;
    std::vector<SimStandard> standards;
    std::vector<SimRecord> records;
};

constexpr size_t SIM_NAME_BYTES = 11;

// Status of a reply to a request the device cannot serve (unknown command, no such item).
constexpr uint16_t SIM_STATUS_REJECTED = 0xEEE2;

class SimDevice {
public:
    SimState state;
    // Test fault: every append after this many accepted ones (users and standards together)
    // is answered as "list full"; negative for none.
    int fullAfterAppends = -1;

    // Builds the reply to one well-formed request; returns true when the state changed.
    bool Handle(const Frame& request, Frame& reply);

private:
    bool HandleUsers(uint8_t sub, const Frame& request, Frame& reply);
    bool HandleStandards(uint8_t sub, const Frame& request, Frame& reply);
    bool HandleRecords(uint8_t sub, const Frame& request, Frame& reply);
    struct ListRules {
        size_t capacity;        // 0: the list takes no appends
        bool keptWhileRecords;  // delete-all refused while records exist
    };
    template <typename Item, typename Encode, typename Decode>
    bool HandleList(uint8_t sub, const Frame& request, Frame& reply, std::vector<Item>& list,
                    const ListRules& rules, Encode encode, Decode decode);
    bool AppendAllowed(size_t size, size_t capacity) const;

    int m_appends = 0;
};

void SetReplyEnvelope(uint8_t* frame);
bool IsRequestFrame(const uint8_t* bytes);
