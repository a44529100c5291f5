#include "app/port_name.h"

#include <cctype>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

int ComPortNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6) return 0;
    for (size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
    if (name[3] == '0') return 0;
    int number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
        number = number * 10 + (name[i] - '0');
    }
    return number <= MAX_PORT_NUMBER ? number : 0;
}

int PortNumberInField(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    std::string name = text.substr(begin, end - begin);
    if (name.size() > 3) {
        size_t digits = 3;
        while (digits < name.size() && IsBlank(name[digits])) ++digits;
        name.erase(3, digits - 3);
    }
    return ComPortNumber(name);
}

std::string ComPortName(int number) { return "COM" + std::to_string(number); }
