// The archive through a program killed as it writes: `ombrix import` of a large file, and the
// window's write of a read (the dialog's own code in a child process). Whatever the moment, the
// archive opens, SQLite finds it whole, and each batch is in it wholly or not at all.
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <map>
#include <thread>

#include "archive/archive_file.h"
#include "measurement/time_text.h"
#include "records/record_cells.h"
#include "tests/dialog_fixture.h"
#include "tests/support/list_feed.h"
#include "tests/support/run_program.h"
#include "text/utf8.h"

namespace {

// `count` rows a second apart from `start`, without user or standard.
std::vector<Measurement> RowsFrom(const std::string& start, size_t count) {
    std::vector<Measurement> rows(count);
    const int64_t first = *SecondsFromTimeText(start);
    for (size_t i = 0; i < count; ++i) {
        rows[i].measuredAt = TimeText(first + static_cast<int64_t>(i));
        rows[i].value = static_cast<int>(i % 60000);
    }
    return rows;
}

// Rows large enough that SQLite writes pages of the open transaction to the write-ahead log
// before its commit (its page cache holds 2 MB).
constexpr size_t kLargeBatch = 150000;

int64_t FileSize(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? static_cast<int64_t>(status.st_size) : -1;
}

class ArchiveCrashTest : public DialogTest {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("ombrix-crash-" + std::to_string(getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        path = (dir / "archive.sqlite3").string();
    }
    void TearDown() override {
        DialogTest::TearDown();
        std::filesystem::remove_all(dir);
    }

    // A batch committed before the crash.
    void KeepFirstBatch() {
        ListFeed feed(RowsFrom("2019-01-01 00:00:00", 3));
        BatchCount count;
        ASSERT_TRUE(ArchiveFile(path).Keep("COM1", feed, count));
    }

    // After the crash: the archive opens, passes SQLite's integrity check, and holds the rows of
    // each batch it holds: the first batch's 3, and the killed one's all or none (its rows are
    // never in another batch: they are new).
    void ExpectWholeBatches(size_t killedRows, bool killedMayStay) {
        ArchiveStatus status;
        auto archive = Archive::Open(path, status);
        ASSERT_TRUE(archive) << status.detail;
        sqlite3* db = archive->Handle();
        sqlite3_stmt* statement = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr),
                  SQLITE_OK);
        ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
        EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), "ok");
        sqlite3_finalize(statement);

        std::map<int64_t, size_t> rowsOfBatch;
        sqlite3_prepare_v2(db, "SELECT batch_id, count(*) FROM readings GROUP BY batch_id", -1,
                           &statement, nullptr);
        while (sqlite3_step(statement) == SQLITE_ROW)
            rowsOfBatch[sqlite3_column_int64(statement, 0)] =
                static_cast<size_t>(sqlite3_column_int64(statement, 1));
        sqlite3_finalize(statement);
        ASSERT_FALSE(rowsOfBatch.empty());
        EXPECT_EQ(rowsOfBatch.begin()->second, 3u);
        if (rowsOfBatch.size() == 2 && killedMayStay)
            EXPECT_EQ(rowsOfBatch.rbegin()->second, killedRows);
        else
            EXPECT_EQ(rowsOfBatch.size(), 1u);
    }

    std::filesystem::path dir;
    std::string path;
};

TEST_F(ArchiveCrashTest, AnImportKilledAsItWritesLeavesEachBatchWholeOrAbsent) {
    KeepFirstBatch();
    RecordCsvLines lines(CellEncoding::Utf8);
    std::string file = UTF8_BOM + lines.Header();
    for (const Measurement& row : RowsFrom("2020-01-01 00:00:00", kLargeBatch))
        file += lines.Next(row);
    const std::string csv = (dir / "large.csv").string();
    std::ofstream(csv, std::ios::binary) << file;

    const pid_t import =
        StartProgram({OMBRIX_PROGRAM, "--archive", path, "import", csv}, dir, "-import");
    ASSERT_GT(import, 0);
    // Killed once its batch's pages reach the write-ahead log: it is writing.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(50);
    int status = 0;
    bool ended = false;
    while (FileSize(path + "-wal") < (int64_t{1} << 20) && !ended &&
           std::chrono::steady_clock::now() < deadline) {
        ended = waitpid(import, &status, WNOHANG) == import;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(ended) << "the import ended before it was seen writing";
    kill(import, SIGKILL);
    ASSERT_EQ(waitpid(import, &status, 0), import);
    EXPECT_TRUE(WIFSIGNALED(status));
    ExpectWholeBatches(kLargeBatch, true);

    // The same file again: kept whole this time.
    const Ran again = RunProgram({OMBRIX_PROGRAM, "--archive", path, "import", csv}, dir);
    EXPECT_EQ(again.status, 0) << again.err;
    ExpectWholeBatches(kLargeBatch, true);
}

// The window's archive, in the child: the read's rows go to the archive followed by as many
// made-up rows as a full device's log, and the write stops before its commit, telling the test.
class StoppingArchive : public RecordArchive {
public:
    StoppingArchive(const std::string& path, int told) : m_file(path), m_told(told) {}

    ArchiveStatus Keep(const std::string& source, MeasurementFeed& feed,
                       BatchCount& count) override {
        StoppingFeed stopping(feed, m_told);
        return m_file.Keep(source, stopping, count);
    }
    ArchiveStatus KeepForcedClear(const ForcedClear& clear) override {
        return m_file.KeepForcedClear(clear);
    }
    const std::string& Path() const override { return m_file.Path(); }

private:
    class StoppingFeed : public MeasurementFeed {
    public:
        StoppingFeed(MeasurementFeed& read, int told)
            : m_read(read), m_more(RowsFrom("2021-01-01 00:00:00", kLargeBatch)), m_told(told) {}
        Step Next(Measurement& row) override {
            if (!m_readEnded && m_read.Next(row) == Row) return Row;
            m_readEnded = true;
            if (m_more.Next(row) == Row) return Row;
            const char byte = 1;
            if (write(m_told, &byte, 1) == 1)
                for (;;) pause();  // until killed, the transaction open
            return Stop;
        }

    private:
        MeasurementFeed& m_read;
        ListFeed m_more;
        int m_told;
        bool m_readEnded = false;
    };

    ArchiveFile m_file;
    int m_told;
};

TEST_F(ArchiveCrashTest, TheWindowKilledAsItWritesAReadLeavesTheArchiveAsBefore) {
    KeepFirstBatch();
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t window = fork();
    ASSERT_GE(window, 0);
    if (window == 0) {
        close(pipeEnds[0]);
        StoppingArchive archive(path, pipeEnds[1]);
        dialog.SetArchive(&archive);
        SimState device;
        device.records = {SimRecord{0, 0, 150, {24, 5, 1, 13, 0, 1}}};
        Connect(device);
        if (!HasFatalFailure()) dialog.OnReadRecords();
        _exit(1);  // the write did not reach its end
    }
    close(pipeEnds[1]);
    pollfd told{pipeEnds[0], POLLIN, 0};
    const bool writing = poll(&told, 1, 60000) == 1 && (told.revents & POLLIN);
    char byte = 0;
    EXPECT_TRUE(writing && read(pipeEnds[0], &byte, 1) == 1) << "the window did not write";
    EXPECT_GT(FileSize(path + "-wal"), 0);  // pages of the open transaction
    kill(window, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(window, &status, 0), window);
    close(pipeEnds[0]);
    ExpectWholeBatches(0, false);
}

}  // namespace
