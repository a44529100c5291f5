// The files that the CSV exports write and the list import reads, with the causes of failure
// that the operator is told.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

enum class FileError {
    None,
    Unknown,
    NotFound,
    BadPath,
    TooManyOpen,
    AccessDenied,
    InvalidHandle,
    DirectoryFull,
    Hardware,
    Sharing,
    Lock,
    DiskFull,
};

class OutputFile {
public:
    virtual ~OutputFile() = default;
    // Creates the file for writing only and without sharing; an existing one is emptied.
    // The path is UTF-8.
    virtual FileError Create(const std::string& path) = 0;
    // Writes all bytes at once; a short write counts as a full disk.
    virtual FileError Write(const char* bytes, size_t length) = 0;
    virtual void Close() = 0;
};

using OutputFileFactory = std::unique_ptr<OutputFile> (*)();

// The platform's file.
std::unique_ptr<OutputFile> MakeOutputFile();

// Reads a file from its start, `limit` bytes at the most; others may read it meanwhile, but
// not write it. The path is UTF-8.
FileError ReadFileUpTo(const std::string& path, size_t limit, std::string& bytes);

// Creates the file at `path` (UTF-8), writes `bytes` in one write and closes it.
FileError WriteWholeFile(OutputFile& file, const std::string& path, const std::string& bytes);

// The string-table text that names a cause, with "%1" for the path.
int FileErrorTextId(FileError error);
