#include "link/device_names.h"

#include <cstring>

#include "text/code_page.h"

std::string NameFromFrame(const uint8_t* frame, int offset) {
    char buffer[NAME_BUFFER_SIZE] = {};
    std::memcpy(buffer, frame + offset, DEVICE_NAME_BYTES);
    ConvertCodePage(buffer, CP_JOHAB, CP_KOREAN);
    return buffer;
}

void PutNameInFrame(uint8_t* frame, int offset, const std::string& name) {
    char buffer[NAME_BUFFER_SIZE] = {};
    std::memcpy(buffer, name.data(),
                name.size() < NAME_BUFFER_SIZE - 1 ? name.size() : NAME_BUFFER_SIZE - 1);
    ConvertCodePage(buffer, CP_KOREAN, CP_JOHAB);
    std::memcpy(frame + offset, buffer, DEVICE_NAME_BYTES);
}
