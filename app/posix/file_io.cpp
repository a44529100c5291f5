#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "app/file_io.h"

namespace {

FileError FromErrno(int error) {
    switch (error) {
        case ENOENT:
            return FileError::NotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case EISDIR:
        case ELOOP:
            return FileError::BadPath;
        case EMFILE:
        case ENFILE:
            return FileError::TooManyOpen;
        case EACCES:
        case EPERM:
        case EROFS:
            return FileError::AccessDenied;
        case EBADF:
            return FileError::InvalidHandle;
        case EIO:
            return FileError::Hardware;
        case EWOULDBLOCK:
            return FileError::Sharing;
        case ENOLCK:
            return FileError::Lock;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return FileError::DiskFull;
        default:
            return FileError::Unknown;
    }
}

// An exclusive lock stands in for Windows' "no sharing", a shared one for "share reading".
class PosixFile : public OutputFile {
public:
    ~PosixFile() override { Close(); }

    FileError Create(const std::string& path) override {
        m_fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0) return FromErrno(errno);
        if (flock(m_fd, LOCK_EX | LOCK_NB) != 0 || ftruncate(m_fd, 0) != 0) {
            const FileError error = FromErrno(errno);
            Close();
            return error;
        }
        return FileError::None;
    }

    FileError Write(const char* bytes, size_t length) override {
        const ssize_t written = write(m_fd, bytes, length);
        if (written < 0) return FromErrno(errno);
        return static_cast<size_t>(written) == length ? FileError::None : FileError::DiskFull;
    }

    void Close() override {
        if (m_fd >= 0) close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

}  // namespace

std::unique_ptr<OutputFile> MakeOutputFile() { return std::make_unique<PosixFile>(); }

FileError ReadFileUpTo(const std::string& path, size_t limit, std::string& bytes) {
    bytes.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return FromErrno(errno);
    FileError error = FileError::None;
    if (flock(fd, LOCK_SH | LOCK_NB) != 0) error = FromErrno(errno);
    // As much as the file holds, and a byte more to tell a file that is over the limit; not
    // the limit itself, which may be far larger than the file.
    struct stat status {};
    if (fstat(fd, &status) == 0 && static_cast<uint64_t>(status.st_size) < limit)
        limit = static_cast<size_t>(status.st_size) + 1;
    bytes.resize(limit);
    size_t got = 0;
    while (error == FileError::None && got < limit) {
        const ssize_t read_ = read(fd, bytes.data() + got, limit - got);
        if (read_ < 0) error = FromErrno(errno);
        if (read_ <= 0) break;
        got += static_cast<size_t>(read_);
    }
    close(fd);
    bytes.resize(got);
    return error;
}
