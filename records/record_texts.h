// What the record panel writes into its cells: the time text and the verdict, in code page 949.
#pragma once

#include <cstdint>
#include <string>

#include "measurement/record_words.h"
#include "measurement/time_text.h"

// "2011-03-07 12:05:09 오전" from the six time bytes; nothing is validated, so a year byte of
// 255 gives a longer text.
std::string RecordTimeText(const uint8_t time[6]);

// The verdict word of a value against the safety and danger index texts of its standard.
const char* RecordVerdictText(uint16_t value, const std::string& safeText,
                              const std::string& dangerText);
