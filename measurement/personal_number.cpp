#include "measurement/personal_number.h"

namespace {

bool ContinuesCharacter(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

std::string MaskedPersonalNumber(const std::string& utf8) {
    size_t first = utf8.empty() ? 0 : 1;
    while (first < utf8.size() && ContinuesCharacter(utf8[first])) ++first;
    std::string masked = utf8.substr(0, first);
    for (size_t i = first; i < utf8.size(); ++i)
        if (!ContinuesCharacter(utf8[i])) masked += '*';
    return masked;
}
