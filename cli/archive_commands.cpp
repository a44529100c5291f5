#include "cli/archive_commands.h"

#include <memory>

#include "app/file_io.h"
#include "cli/arguments.h"
#include "cli/console.h"
#include "cli/output_target.h"
#include "cli/string_table.h"
#include "history/archive_file.h"
#include "history/archive_query.h"
#include "history/archive_report.h"
#include "history/history_export.h"
#include "history/local_clock.h"
#include "history/record_cells.h"
#include "history/record_import.h"
#include "history/time_text.h"
#include "text/utf8.h"

namespace {

void Say(const std::string& line) { WriteText(Stream::Err, line + "\n"); }

int ArchiveFailed(const std::string& path, const ArchiveStatus& status) {
    Say(BoxLineWithPath(ArchiveCauseTextId(status.cause), path));
    return EXIT_ARCHIVE;
}

// The CSV's bytes, gathered and written a block at a time, to a file or standard output.
class CsvTarget {
public:
    explicit CsvTarget(const std::string& path) : m_path(path) {}

    FileError Open(bool byteOrderMark) {
        if (m_path == STANDARD_OUTPUT_PATH) return FileError::None;
        m_file = MakeOutputFile();
        const FileError error = m_file->Create(m_path);
        if (error == FileError::None && byteOrderMark) m_buffer = UTF8_BOM;
        return error;
    }

    FileError Write(const std::string& bytes) {
        m_buffer += bytes;
        return m_buffer.size() < kBlock ? FileError::None : Flush();
    }

    FileError Close() {
        const FileError error = Flush();
        if (m_file) m_file->Close();
        return error;
    }

private:
    static constexpr size_t kBlock = 1 << 16;

    FileError Flush() {
        FileError error = FileError::None;
        if (m_file)
            error = m_file->Write(m_buffer.data(), m_buffer.size());
        else if (!WriteText(Stream::Out, m_buffer))
            error = FileError::Unknown;
        m_buffer.clear();
        return error;
    }

    std::string m_path;
    std::unique_ptr<OutputFile> m_file;  // none for standard output
    std::string m_buffer;
};

}  // namespace

int RunImport(const Arguments& arguments, RecordArchive& archive) {
    int status = EXIT_DONE;
    for (const std::string& path : arguments.files) {
        const ImportOutcome outcome = ImportRecordFile(archive, path);
        const ImportMessage message = MessageOfImport(outcome, path, archive);
        Say(BoxLineWithPath(message.textId, message.path, message.first, message.second));
        if (outcome.kind == ImportOutcome::ArchiveFailed) return EXIT_ARCHIVE;
        if (outcome.kind != ImportOutcome::Kept) status = EXIT_FILE;
    }
    return status;
}

int RunHistory(const Arguments& arguments, RecordArchive& archiveFile) {
    ArchiveStatus status;
    const auto archive = Archive::Open(archiveFile.Path(), status);
    if (!archive) return ArchiveFailed(archiveFile.Path(), status);
    // A file is written as the window writes it unless --utf8; standard output is UTF-8.
    const bool toFile = arguments.csv != STANDARD_OUTPUT_PATH;
    const CellEncoding encoding =
        toFile && !arguments.utf8 ? CellEncoding::Korean : CellEncoding::Utf8;
    CsvTarget target(arguments.csv);
    FileError error = target.Open(toFile && arguments.utf8);
    if (error == FileError::None)
        status = ForEachRecordCsvLine(*archive, arguments.filter, encoding,
                                      [&](const std::string& line) {
                                          error = target.Write(line);
                                          return error == FileError::None;
                                      });
    const FileError closed = target.Close();
    if (error == FileError::None) error = closed;
    if (!status) return ArchiveFailed(archiveFile.Path(), status);
    if (error != FileError::None) {
        Say(BoxLineWithPath(FileErrorTextId(error), arguments.csv));
        return EXIT_FILE;
    }
    return EXIT_DONE;
}

int RunReport(const Arguments& arguments, RecordArchive& archiveFile) {
    ArchiveStatus status;
    const auto archive = Archive::Open(archiveFile.Path(), status);
    if (!archive) return ArchiveFailed(archiveFile.Path(), status);
    ReportInput input;
    input.filters = ReportFiltersOf(arguments.filter);
    input.createdAt = TimeText(LocalNowSeconds());
    status = LoadReport(*archive, arguments.filter, input);
    if (!status) return ArchiveFailed(archiveFile.Path(), status);
    if (const FileError error =
            WriteWholeFile(*MakeOutputFile(), arguments.html, ReportHtml(input));
        error != FileError::None) {
        Say(BoxLineWithPath(FileErrorTextId(error), arguments.html));
        return EXIT_FILE;
    }
    return EXIT_DONE;
}
