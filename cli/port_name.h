// The port that --port names.
#pragma once

#include <string>

// "COM1" to "COM256", in any case, as Windows names serial ports.
bool IsComPortName(const std::string& name);

// Whether `port` can name a port here, written as the platform writes it (COM3 on Windows; a
// device path on POSIX is taken as it is); false with a one-line reason otherwise.
bool CheckPortName(std::string& port, std::string& error);
