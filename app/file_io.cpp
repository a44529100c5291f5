#include "app/file_io.h"

#include "res/resource.h"

FileError WriteWholeFile(OutputFile& file, const std::string& path, const std::string& bytes) {
    FileError error = file.Create(path);
    if (error == FileError::None) error = file.Write(bytes.data(), bytes.size());
    file.Close();
    return error;
}

int FileErrorTextId(FileError error) {
    switch (error) {
        case FileError::NotFound:
            return IDS_FILE_NOT_FOUND;
        case FileError::BadPath:
            return IDS_FILE_BAD_PATH;
        case FileError::TooManyOpen:
            return IDS_FILE_TOO_MANY_OPEN;
        case FileError::AccessDenied:
            return IDS_FILE_ACCESS_DENIED;
        case FileError::InvalidHandle:
            return IDS_FILE_INVALID_HANDLE;
        case FileError::DirectoryFull:
            return IDS_FILE_DIRECTORY_FULL;
        case FileError::Hardware:
            return IDS_FILE_HARDWARE;
        case FileError::Sharing:
            return IDS_FILE_SHARING;
        case FileError::Lock:
            return IDS_FILE_LOCK;
        case FileError::DiskFull:
            return IDS_FILE_DISK_FULL;
        default:
            return IDS_FILE_UNKNOWN;
    }
}
