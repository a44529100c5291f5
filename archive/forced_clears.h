// The clears of the device's log that an operator forced past the question that its records
// were not all in the archive: each is kept, so that an audit sees every deletion of records
// the archive may not hold.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"

struct ForcedClear {
    std::string clearedAt;     // "YYYY-MM-DD HH:MM:SS" on the PC's clock
    std::optional<int> count;  // the records the device counted; absent when it gave no count
    std::string user;          // the signed-in (Windows) user
    std::string source;        // the port ("COM3")
};

// Keeps one forced clear; an empty `clearedAt` is now.
ArchiveStatus KeepForcedClear(Archive& archive, const ForcedClear& clear);

// The forced clears within [from, until) of the PC's clock (either end open), oldest first.
ArchiveStatus LoadForcedClears(Archive& archive, std::optional<int64_t> from,
                               std::optional<int64_t> until, std::vector<ForcedClear>& clears);
