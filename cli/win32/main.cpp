#include <windows.h>

#include <string>
#include <vector>

#include "app/win32/dll_search.h"
#include "app/win32/in_use_marker.h"
#include "cli/run.h"
#include "text/win32/utf16.h"

// The arguments arrive in UTF-16, so that a Hangul file name survives any code page.
int wmain(int argc, wchar_t** argv) {
    LoadLibrariesFromSystemOnly();
    MarkProgramInUse();  // an installer run meanwhile waits for it
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) words.push_back(NarrowFrom(argv[i], CP_UTF8));
    return RunOmbrix(words);
}
