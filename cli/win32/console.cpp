#include <windows.h>

#include <algorithm>

#include "cli/console.h"
#include "text/win32/utf16.h"

namespace {

HANDLE Handle(Stream stream) {
    return GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

bool IsTerminal(Stream stream) { return IsConsole(Handle(stream)); }

bool WriteText(Stream stream, const std::string& utf8) {
    const HANDLE handle = Handle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    if (IsConsole(handle)) {
        const std::wstring wide = WideFrom(utf8, CP_UTF8);
        for (size_t done = 0; done < wide.size();) {
            DWORD written = 0;
            const DWORD length = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 8192));
            if (!WriteConsoleW(handle, wide.data() + done, length, &written, nullptr) ||
                written == 0)
                return false;
            done += written;
        }
        return true;
    }
    for (size_t done = 0; done < utf8.size();) {
        DWORD written = 0;
        const DWORD length = static_cast<DWORD>(std::min<size_t>(utf8.size() - done, 1 << 20));
        if (!WriteFile(handle, utf8.data() + done, length, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}
