#include "text/code_page.h"

#include <cstring>

void ConvertCodePage(char* buffer, unsigned fromCodePage, unsigned toCodePage) {
    const size_t length = strnlen(buffer, NAME_BUFFER_SIZE);
    const std::string converted =
        ConvertText(std::string(buffer, length), fromCodePage, toCodePage);
    std::memset(buffer, 0, NAME_BUFFER_SIZE);
    // The last byte stays zero so that the buffer is always terminated.
    std::memcpy(buffer, converted.data(),
                converted.size() < NAME_BUFFER_SIZE ? converted.size() : NAME_BUFFER_SIZE - 1);
}
