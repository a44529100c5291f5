// Names in frames: 11 bytes of Johab on the device, code page 949 in the lists.
#pragma once

#include <string>

#include "link/frame.h"

constexpr int DEVICE_NAME_BYTES = 11;

// The name at `offset` of a reply, converted for the list (up to its first zero byte).
std::string NameFromFrame(const uint8_t* frame, int offset);
// Puts a list name into a request at `offset`: converted, its first 11 bytes, zero-padded.
void PutNameInFrame(uint8_t* frame, int offset, const std::string& name);
