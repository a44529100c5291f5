// Where a read or an import is kept: the dialog and the console program see only this, so that
// a test can hand them an archive that fails.
#pragma once

#include <string>

#include "archive/archive.h"
#include "archive/forced_clears.h"

class RecordArchive {
public:
    virtual ~RecordArchive() = default;
    // Keeps the rows of one read or import as Archive::AddBatch does.
    virtual ArchiveStatus Keep(const std::string& source, MeasurementFeed& feed,
                               BatchCount& count) = 0;
    // Keeps a clear of the device's log forced past the question, before its delete is sent.
    virtual ArchiveStatus KeepForcedClear(const ForcedClear& clear) = 0;
    // The file, UTF-8, as the operator is told it.
    virtual const std::string& Path() const = 0;
};

// The archive file, opened for each batch: a file that was locked, missing or replaced at one
// read is found as it is at the next.
class ArchiveFile : public RecordArchive {
public:
    explicit ArchiveFile(std::string path, int busyTimeoutMs = ARCHIVE_BUSY_TIMEOUT_MS)
        : m_path(std::move(path)), m_busyTimeoutMs(busyTimeoutMs) {}

    ArchiveStatus Keep(const std::string& source, MeasurementFeed& feed,
                       BatchCount& count) override {
        ArchiveStatus status;
        const auto archive = Archive::Open(m_path, status, m_busyTimeoutMs);
        return archive ? archive->AddBatch(source, feed, count) : status;
    }
    ArchiveStatus KeepForcedClear(const ForcedClear& clear) override {
        ArchiveStatus status;
        const auto archive = Archive::Open(m_path, status, m_busyTimeoutMs);
        return archive ? ::KeepForcedClear(*archive, clear) : status;
    }
    const std::string& Path() const override { return m_path; }

private:
    std::string m_path;
    int m_busyTimeoutMs;
};
