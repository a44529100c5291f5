// Where the console program's exports go. The dialog's exports write code page 949 through a
// file made by an argument-less factory; for standard output or a UTF-8 file the program
// chooses here, once, before the export runs, and hands the dialog MakeChosenOutput.
#pragma once

#include <memory>

#include "app/file_io.h"

// The path that stands for standard output.
constexpr char STANDARD_OUTPUT_PATH[] = "-";

// UTF-8: written with a byte-order mark to a file, without one to standard output (always
// UTF-8); code page 949 otherwise, byte for byte what the window writes.
void ChooseOutput(bool utf8);

// Standard output when the path given to Create is STANDARD_OUTPUT_PATH, otherwise the
// platform's file, as chosen.
std::unique_ptr<OutputFile> MakeChosenOutput();
