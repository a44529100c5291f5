#include "sim/generate.h"

#include <string>

#include "sim/state_file.h"

namespace {

const char* const kSurnames[] = {"김", "이", "박", "최", "정", "강", "조", "윤"};
const char* const kAgents[] = {"세균", "곰팡이", "대장균", "바이러스", "잔류물"};

}  // namespace

void AddGeneratedUsers(SimState& state, size_t count) {
    for (size_t i = 0; i < count && state.users.size() < size_t{MAX_USERS}; ++i) {
        const size_t n = state.users.size() + 1;
        const std::string name = std::string(kSurnames[n % 8]) + "측정" + std::to_string(n);
        state.users.push_back({static_cast<int32_t>(100000 + n), static_cast<int32_t>(1000000 + n),
                               NameFromFileText(name)});
    }
}

void AddGeneratedStandards(SimState& state, size_t count) {
    for (size_t i = 0; i < count && state.standards.size() < size_t{MAX_STANDARDS}; ++i) {
        const size_t n = state.standards.size() + 1;
        const std::string name = std::string(kAgents[n % 5]) + std::to_string(n);
        state.standards.push_back({static_cast<uint16_t>(100 + 10 * n),
                                   static_cast<uint16_t>(200 + 20 * n), NameFromFileText(name)});
    }
}

void AddGeneratedRecords(SimState& state, size_t count) {
    for (size_t i = 0; i < count && state.records.size() < size_t{MAX_RECORDS}; ++i) {
        const size_t n = state.records.size();
        SimRecord record;
        record.user = state.users.empty() ? 0 : static_cast<uint8_t>(n % state.users.size() + 1);
        record.standard =
            state.standards.empty() ? 0 : static_cast<uint8_t>(n % state.standards.size() + 1);
        record.value = static_cast<uint16_t>((n * 37) % 400);
        const size_t seconds = n * 97;
        const uint8_t time[6] = {11,
                                 3,
                                 static_cast<uint8_t>(7 + seconds / 86400 % 20),
                                 static_cast<uint8_t>(seconds / 3600 % 24),
                                 static_cast<uint8_t>(seconds / 60 % 60),
                                 static_cast<uint8_t>(seconds % 60)};
        std::copy(time, time + 6, record.time);
        state.records.push_back(record);
    }
}
