// The console program: the command line in, the exit status out.
#pragma once

#include <string>
#include <vector>

// `words` are the arguments after the program's name, in UTF-8.
int RunOmbrix(const std::vector<std::string>& words);
