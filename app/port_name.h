// Serial port names as Windows gives them: "COM1" to "COM256".
#pragma once

#include <string>

constexpr int MAX_PORT_NUMBER = 256;

// The number of "COMn" (any case, n from 1 to 256 without leading zeros); 0 for anything else.
int ComPortNumber(const std::string& name);

// The number of a port name typed into the port field, where blanks before, after and between
// "COM" and the number are the operator's and mean nothing; 0 when the text names no port.
int PortNumberInField(const std::string& text);

// "COMn".
std::string ComPortName(int number);
