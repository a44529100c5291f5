// The simulator's state as a plain text file that a person can read and edit:
//
//   # comment
//   user 123 4567 홍길동          ID1, ID2, name (UTF-8; \xNN for a raw Johab byte, \\ for \)
//   standard 100 200 세균         safety index, danger index, name
//   record 1 2 150 2011-03-07 00:05:09   user no., standard no., value, time (year 2000..2255)
#pragma once

#include <string>

#include "sim/device.h"

// Reads a state file; on failure returns false and says why in `error` (file and line).
// Paths are UTF-8.
bool LoadSimState(const std::string& path, SimState& state, std::string& error);
// Writes a new file beside it and puts that in its place, so that a reader never sees half a
// state; on failure returns false and says why.
bool SaveSimState(const std::string& path, const SimState& state, std::string& error);

bool ParseSimStateText(const std::string& text, SimState& state, std::string& error);
std::string FormatSimStateText(const SimState& state);

// Names travel in Johab; the file holds them in UTF-8.
std::string NameFromFileText(const std::string& text);
std::string NameToFileText(const std::string& johab);
