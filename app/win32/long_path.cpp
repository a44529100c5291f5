#include "app/win32/long_path.h"

#include <windows.h>

#include "text/win32/utf16.h"

namespace {

const wchar_t kExtended[] = L"\\\\?\\";
const wchar_t kExtendedUnc[] = L"\\\\?\\UNC\\";

std::wstring AbsolutePath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring absolute(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, absolute.data(), nullptr);
    absolute.resize(length < size ? length : 0);
    return absolute;
}

}  // namespace

bool SystemPath(const std::string& utf8, std::wstring& path) {
    std::wstring wide;
    if (!WideFromExactly(utf8, CP_UTF8, wide)) return false;
    if (wide.size() < MAX_PATH || wide.rfind(kExtended, 0) == 0) {
        path = wide;
        return path.size() <= LONGEST_PATH;
    }
    const std::wstring absolute = AbsolutePath(wide);
    if (absolute.empty()) return false;
    const bool unc = absolute.rfind(L"\\\\", 0) == 0;
    path = unc ? kExtendedUnc + absolute.substr(2) : kExtended + absolute;
    return path.size() <= LONGEST_PATH;
}
