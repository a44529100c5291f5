#include <windows.h>

#include "app/file_io.h"
#include "app/win32/long_path.h"

namespace {

FileError FromLastError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return FileError::NotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_DIRECTORY:
        case ERROR_FILENAME_EXCED_RANGE:
            return FileError::BadPath;
        case ERROR_TOO_MANY_OPEN_FILES:
            return FileError::TooManyOpen;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return FileError::AccessDenied;
        case ERROR_INVALID_HANDLE:
            return FileError::InvalidHandle;
        case ERROR_CANNOT_MAKE:
            return FileError::DirectoryFull;
        case ERROR_GEN_FAILURE:
        case ERROR_CRC:
        case ERROR_SEEK:
        case ERROR_SECTOR_NOT_FOUND:
        case ERROR_WRITE_FAULT:
        case ERROR_READ_FAULT:
        case ERROR_IO_DEVICE:
            return FileError::Hardware;
        case ERROR_SHARING_VIOLATION:
            return FileError::Sharing;
        case ERROR_LOCK_VIOLATION:
            return FileError::Lock;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return FileError::DiskFull;
        default:
            return FileError::Unknown;
    }
}

class Win32File : public OutputFile {
public:
    ~Win32File() override { Close(); }

    FileError Create(const std::string& path) override {
        std::wstring name;
        if (!SystemPath(path, name)) return FileError::BadPath;
        m_file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        return m_file == INVALID_HANDLE_VALUE ? FromLastError(GetLastError()) : FileError::None;
    }

    FileError Write(const char* bytes, size_t length) override {
        DWORD written = 0;
        if (!WriteFile(m_file, bytes, static_cast<DWORD>(length), &written, nullptr))
            return FromLastError(GetLastError());
        return written == length ? FileError::None : FileError::DiskFull;
    }

    void Close() override {
        if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<OutputFile> MakeOutputFile() { return std::make_unique<Win32File>(); }

FileError ReadFileUpTo(const std::string& path, size_t limit, std::string& bytes) {
    bytes.clear();
    std::wstring name;
    if (!SystemPath(path, name)) return FileError::BadPath;
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FromLastError(GetLastError());
    // As much as the file holds, and a byte more to tell a file that is over the limit.
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && static_cast<uint64_t>(size.QuadPart) < limit)
        limit = static_cast<size_t>(size.QuadPart) + 1;
    bytes.resize(limit);
    size_t got = 0;
    FileError error = FileError::None;
    while (got < limit) {
        DWORD read = 0;
        if (!ReadFile(file, bytes.data() + got, static_cast<DWORD>(limit - got), &read, nullptr)) {
            error = FromLastError(GetLastError());
            break;
        }
        if (read == 0) break;
        got += read;
    }
    CloseHandle(file);
    bytes.resize(got);
    return error;
}
