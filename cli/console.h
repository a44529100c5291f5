// Standard output and standard error of the console program. Texts are UTF-8: a Windows
// console is written in UTF-16, so that Hangul shows whatever its code page; a pipe, a file
// or a POSIX terminal gets the bytes.
#pragma once

#include <string>

enum class Stream { Out, Err };

bool IsTerminal(Stream stream);

// False when not everything could be written.
bool WriteText(Stream stream, const std::string& utf8);
