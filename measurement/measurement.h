// One measurement as the archive keeps it and as its readers (the history window, the chart,
// the report, the command line) take it: a record list row, its time on a 24-hour clock, its
// texts in UTF-8. An empty text or an absent number is a cell the record list left empty.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The verdicts of the record list: 안전, 주의, 오염, and "-" for a record without a standard.
enum class Verdict { Safe, Caution, Contaminated, None };

struct Measurement {
    std::string measuredAt;     // "YYYY-MM-DD HH:MM:SS"
    std::optional<int> userNo;  // the device's user number; absent for imported rows
    std::string userName;
    std::optional<int64_t> id1, id2;
    std::optional<int> standardNo;  // the device's standard number; absent for imported rows
    std::string standardName;
    std::optional<int64_t> safetyIndex, dangerIndex;
    int value = 0;
    Verdict verdict = Verdict::None;
    std::string source;      // the port ("COM3") or the imported file's name
    std::string archivedAt;  // "YYYY-MM-DD HH:MM:SS", when it entered the archive
};
