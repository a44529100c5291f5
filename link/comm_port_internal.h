// For the platforms' CCommPort implementations only.
#pragma once

#include <cstdint>
#include <string>

// The write time-out's share of a byte at a supported speed: 2 ms at 115200.
uint32_t WriteMsPerByte(uint32_t speed);

// Hands WatcherErrorText(portName) to the application's handler.
void ReportWatcherError(const std::string& portName);
