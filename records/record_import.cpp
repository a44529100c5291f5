#include "records/record_import.h"

#include <algorithm>
#include <filesystem>

#include "archive/archive_cause_text.h"
#include "archive/archive_source.h"
#include "measurement/time_text.h"
#include "res/resource.h"

namespace {

std::string FileNameOf(const std::string& path) {
    return std::filesystem::u8path(path).filename().u8string();
}

// Passes another feed's rows on and notes the span of their measured times, so that whoever
// shows the archive afterwards can show the rows just imported, however old.
class SpanningFeed : public MeasurementFeed {
public:
    explicit SpanningFeed(MeasurementFeed& inner) : m_inner(inner) {}

    Step Next(Measurement& row) override {
        const Step step = m_inner.Next(row);
        if (step != Row) return step;
        if (const auto at = SecondsFromTimeText(row.measuredAt)) {
            if (!m_span) m_span = MeasuredSpan{*at, *at};
            m_span->first = std::min(m_span->first, *at);
            m_span->last = std::max(m_span->last, *at);
        }
        return step;
    }
    const std::optional<MeasuredSpan>& Span() const { return m_span; }

private:
    MeasurementFeed& m_inner;
    std::optional<MeasuredSpan> m_span;
};

// The rows of `feed` kept under the file's name, and their span once they are.
ArchiveStatus KeepSpanned(RecordArchive& archive, const std::string& path, MeasurementFeed& feed,
                          ImportOutcome& outcome) {
    SpanningFeed spanning(feed);
    const ArchiveStatus status = archive.Keep(FileNameOf(path), spanning, outcome.count);
    if (status) outcome.measured = spanning.Span();
    return status;
}

// Every measurement of another archive, each kept once however often it is imported.
ImportOutcome ImportArchiveFile(RecordArchive& archive, const std::string& path) {
    ImportOutcome outcome;
    const auto source = ArchiveSource::Open(path, outcome.archive);
    if (!source) {
        outcome.kind = ImportOutcome::SourceFailed;
        return outcome;
    }
    outcome.archive = KeepSpanned(archive, path, *source, outcome);
    if (!source->Failure()) {
        outcome.kind = ImportOutcome::SourceFailed;
        outcome.archive = source->Failure();
        outcome.count = {};
        outcome.measured.reset();
    } else if (!outcome.archive) {
        outcome.kind = ImportOutcome::ArchiveFailed;
    }
    return outcome;
}

}  // namespace

ImportOutcome ImportRecordFile(RecordArchive& archive, const std::string& path) {
    ImportOutcome outcome;
    std::string bytes;
    outcome.fileError = ReadFileUpTo(path, SQLITE_FILE_HEADER_SIZE, bytes);
    if (outcome.fileError == FileError::None && IsSqliteHeader(bytes))
        return ImportArchiveFile(archive, path);
    if (outcome.fileError == FileError::None)
        outcome.fileError = ReadFileUpTo(path, RECORD_FILE_MAX_BYTES + 1, bytes);
    if (outcome.fileError != FileError::None) {
        outcome.kind = ImportOutcome::FileFailed;
        return outcome;
    }
    if (bytes.size() > RECORD_FILE_MAX_BYTES) {
        outcome.kind = ImportOutcome::Refused;
        outcome.refusal.kind = RecordFileRefusal::NotARecordFile;
        return outcome;
    }
    RecordCsvFeed feed(bytes);
    outcome.archive = KeepSpanned(archive, path, feed, outcome);
    if (feed.Refusal().kind != RecordFileRefusal::None) {
        outcome.kind = ImportOutcome::Refused;
        outcome.refusal = feed.Refusal();
        outcome.count = {};
        outcome.measured.reset();
    } else if (!outcome.archive) {
        outcome.kind = ImportOutcome::ArchiveFailed;
    }
    return outcome;
}

ImportMessage MessageOfImport(const ImportOutcome& outcome, const std::string& path,
                              const RecordArchive& archive) {
    ImportMessage message;
    message.path = path;
    switch (outcome.kind) {
        case ImportOutcome::Kept:
            message.textId = IDS_IMPORT_DONE;
            message.first = std::to_string(outcome.count.added);
            message.second = std::to_string(outcome.count.rows);
            return message;
        case ImportOutcome::FileFailed:
            message.textId = FileErrorTextId(outcome.fileError);
            break;
        case ImportOutcome::Refused:
            if (outcome.refusal.kind == RecordFileRefusal::BadCell) {
                message.textId = IDS_IMPORT_BAD_CELL;
                message.first = std::to_string(outcome.refusal.line);
                message.second = outcome.refusal.column;
            } else {
                message.textId = IDS_IMPORT_NOT_RECORD_FILE;
            }
            break;
        case ImportOutcome::ArchiveFailed:
            message.textId = ArchiveCauseTextId(outcome.archive.cause);
            message.path = archive.Path();
            break;
        case ImportOutcome::SourceFailed:
            message.textId = ArchiveCauseTextId(outcome.archive.cause);
            break;
    }
    message.isError = true;
    return message;
}
