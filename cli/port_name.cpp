#include "cli/port_name.h"

#include <cctype>

bool IsComPortName(const std::string& name) {
    if (name.size() < 4 || name.size() > 6) return false;
    for (size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return false;
    if (name[3] == '0') return false;
    int number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
        number = number * 10 + (name[i] - '0');
    }
    return number >= 1 && number <= 256;
}
