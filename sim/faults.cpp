#include "sim/faults.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

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
