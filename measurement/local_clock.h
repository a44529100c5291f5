// The PC's clock now, counted as the device's clock is: local time, in seconds of time_text.h.
#pragma once

#include <cstdint>

int64_t LocalNowSeconds();
