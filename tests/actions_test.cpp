// Corrective actions and likely retests on a real archive: which measurement counts as the
// retest of a result, when a result is open, and that every version of an action is kept.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>

#include "archive/archive_actions.h"
#include "archive/archive_schema.h"
#include "report/archive_report.h"
#include "tests/support/list_feed.h"

namespace {

struct Reading {
    const char* at;
    const char* standard;
    const char* source;
    Verdict verdict;
};

// A day of one standard on two ports, another standard beside it, and the window's edges.
const Reading kReadings[] = {
    {"2026-03-07 10:00:00", "세균", "COM3", Verdict::Contaminated},
    {"2026-03-07 10:10:00", "세균", "COM4", Verdict::Safe},     // another instrument
    {"2026-03-07 10:20:00", "곰팡이", "COM3", Verdict::Safe},   // another standard
    {"2026-03-07 10:30:00", "세균", "COM3", Verdict::Caution},  // a retest that failed again
    {"2026-03-07 11:00:00", "세균", "COM3", Verdict::Safe},
    {"2026-03-09 08:00:00", "세균", "COM3", Verdict::Contaminated},
    {"2026-03-10 08:00:00", "세균", "COM3", Verdict::Safe},  // exactly 24 h later
    {"2026-03-12 08:00:00", "세균", "COM3", Verdict::Contaminated},
    {"2026-03-13 08:00:01", "세균", "COM3", Verdict::Safe},  // a second past the window
    {"2026-03-15 09:00:00", "세균", "COM3", Verdict::Contaminated},
    {"2026-03-15 09:10:00", "세균", "COM3", Verdict::Contaminated},
    {"2026-03-15 09:20:00", "세균", "COM3", Verdict::Safe},
};

Measurement Row(const Reading& r) {
    Measurement m;
    m.measuredAt = r.at;
    m.value = 100 + static_cast<int>(r.verdict) * 50;
    m.userName = "홍길동";
    m.id1 = 101;
    m.standardName = r.standard;
    m.safetyIndex = 100, m.dangerIndex = 200;
    m.verdict = r.verdict;
    m.source = r.source;
    return m;
}

class ActionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir =
            std::filesystem::temp_directory_path() / ("ombrix-actions-" + std::to_string(getpid()));
        std::filesystem::remove_all(dir);
        ArchiveStatus status;
        archive = Archive::Open((dir / "archive.sqlite3").string(), status);
        ASSERT_TRUE(archive) << status.detail;
        for (const Reading& r : kReadings) {
            ListFeed feed({Row(r)});
            BatchCount count;
            ASSERT_TRUE(archive->AddBatch(r.source, feed, count));
        }
    }
    void TearDown() override {
        archive.reset();
        std::filesystem::remove_all(dir);
    }

    // The row of the archive measured at `at` with the first reading's standard and source.
    Measurement At(const char* at) {
        for (const Reading& r : kReadings)
            if (std::string(r.at) == at) return Row(r);
        ADD_FAILURE() << at;
        return {};
    }

    std::vector<std::string> Query(const char* sql) {
        std::vector<std::string> rows;
        sqlite3_exec(
            archive->Handle(), sql,
            [](void* out, int n, char** values, char**) {
                std::string row;
                for (int i = 0; i < n; ++i)
                    row += std::string(i ? "|" : "") + (values[i] ? values[i] : "NULL");
                static_cast<std::vector<std::string>*>(out)->push_back(row);
                return 0;
            },
            &rows, nullptr);
        return rows;
    }

    std::filesystem::path dir;
    std::unique_ptr<Archive> archive;
};

TEST_F(ActionsTest, TheLikelyRetestIsTheNextOfTheSameStandardAndSourceWithinTheWindow) {
    const int64_t day = DEFAULT_RETEST_WINDOW_SECONDS;
    const struct {
        const char* failure;
        int64_t window;
        const char* retest;  // "" for none
        Verdict verdict;
    } cases[] = {
        // Another port's and another standard's readings in between are passed over, and a
        // retest that fails again is the retest all the same.
        {"2026-03-07 10:00:00", day, "2026-03-07 10:30:00", Verdict::Caution},
        {"2026-03-07 10:30:00", day, "2026-03-07 11:00:00", Verdict::Safe},
        // The window's end belongs to it; a second later does not.
        {"2026-03-09 08:00:00", day, "2026-03-10 08:00:00", Verdict::Safe},
        {"2026-03-12 08:00:00", day, "", Verdict::None},
        {"2026-03-07 10:00:00", 30 * SECONDS_PER_MINUTE, "2026-03-07 10:30:00", Verdict::Caution},
        {"2026-03-07 10:00:00", 30 * SECONDS_PER_MINUTE - 1, "", Verdict::None},
        // Two failures before one retest: the first is retested by the second.
        {"2026-03-15 09:00:00", day, "2026-03-15 09:10:00", Verdict::Contaminated},
        {"2026-03-15 09:10:00", day, "2026-03-15 09:20:00", Verdict::Safe},
        // The last of a standard has none.
        {"2026-03-15 09:20:00", day, "", Verdict::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.failure) + " within " + std::to_string(c.window));
        std::optional<Measurement> retest;
        ASSERT_TRUE(LikelyRetest(*archive, At(c.failure), c.window, retest));
        EXPECT_EQ(retest ? retest->measuredAt : "", c.retest);
        if (retest) {
            EXPECT_EQ(retest->verdict, c.verdict);
            EXPECT_EQ(retest->source, "COM3");
        }
    }
}

TEST_F(ActionsTest, TheRetestsOfManyRowsAreThoseFoundOneByOne) {
    // Every row, in an order that is not the archive's, and one row twice.
    std::vector<Measurement> rows;
    for (const Reading& r : kReadings) rows.insert(rows.begin(), Row(r));
    rows.push_back(Row(kReadings[0]));
    std::vector<const Measurement*> pointers;
    for (const Measurement& row : rows) pointers.push_back(&row);
    for (int64_t window : {DEFAULT_RETEST_WINDOW_SECONDS, 30 * SECONDS_PER_MINUTE - 1,
                           30 * SECONDS_PER_MINUTE, 3 * SECONDS_PER_DAY}) {
        SCOPED_TRACE(window);
        std::vector<std::optional<Measurement>> retests;
        ASSERT_TRUE(LikelyRetests(*archive, pointers, window, retests));
        ASSERT_EQ(retests.size(), rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            std::optional<Measurement> one;
            ASSERT_TRUE(LikelyRetest(*archive, rows[i], window, one));
            EXPECT_EQ(retests[i] ? retests[i]->measuredAt : "", one ? one->measuredAt : "")
                << rows[i].measuredAt << " " << rows[i].source;
            if (retests[i] && one) {
                EXPECT_EQ(retests[i]->value, one->value);
            }
        }
    }
    // A row the archive does not hold has none.
    Measurement stranger = Row(kReadings[0]);
    stranger.source = "COM9";
    std::vector<std::optional<Measurement>> retests;
    ASSERT_TRUE(LikelyRetests(*archive, {&stranger}, DEFAULT_RETEST_WINDOW_SECONDS, retests));
    EXPECT_FALSE(retests.at(0));
}

TEST_F(ActionsTest, TheLatestActionsOfManyRowsAreThoseFoundOneByOne) {
    const Measurement first = At("2026-03-07 10:00:00"), second = At("2026-03-09 08:00:00");
    ASSERT_TRUE(RecordAction(*archive, first, {"재세척", "kim", 1}));
    ASSERT_TRUE(RecordAction(*archive, first, {"2차 세척", "lee", 2}));
    ASSERT_TRUE(RecordAction(*archive, second, {"폐기", "kim", 3}));
    const Measurement open = At("2026-03-12 08:00:00");
    std::vector<std::optional<CorrectiveAction>> actions;
    ASSERT_TRUE(LatestActions(*archive, {&open, &first, &second, &first}, actions));
    ASSERT_EQ(actions.size(), 4u);
    EXPECT_FALSE(actions[0]);
    for (size_t i : {1u, 3u}) {
        ASSERT_TRUE(actions[i]);
        EXPECT_EQ(actions[i]->text, "2차 세척");
        EXPECT_EQ(actions[i]->by, "lee");
    }
    ASSERT_TRUE(actions[2]);
    EXPECT_EQ(actions[2]->at, 3);
}

TEST(RetestSetting, WholeHoursFromOneToAMonthAndNothingElse) {
    const struct {
        const char* hours;
        std::optional<int64_t> window;
    } cases[] = {
        {"48", 48 * SECONDS_PER_HOUR},
        {"1", SECONDS_PER_HOUR},
        {"720", 720 * SECONDS_PER_HOUR},
        {"024", 24 * SECONDS_PER_HOUR},
        {"0", std::nullopt},
        {"721", std::nullopt},
        {"1000000000000000000000", std::nullopt},
        {"", std::nullopt},
        {"하루", std::nullopt},
        {"24h", std::nullopt},
        {" 24", std::nullopt},
        {"-5", std::nullopt},
        {"2.5", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(RetestWindowOf(c.hours), c.window) << c.hours;
}

TEST_F(ActionsTest, ARetestThirtyHoursLaterCountsWithinFortyEightHoursOnly) {
    Measurement failure = Row(kReadings[0]), retest = Row(kReadings[4]);
    failure.measuredAt = "2026-03-20 00:00:00";
    retest.measuredAt = "2026-03-21 06:00:00";
    ListFeed feed({failure, retest});
    BatchCount count;
    ASSERT_TRUE(archive->AddBatch("COM3", feed, count));
    ArchiveFilter filter;
    SetFilterDays("2026-03-20", "2026-03-21", filter);
    const struct {
        std::optional<int64_t> window;
        const char* retest;
    } cases[] = {
        {RetestWindowOf("48"), "2026-03-21 06:00:00"},
        {DEFAULT_RETEST_WINDOW_SECONDS, ""},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.window);
        ReportInput input;
        ASSERT_TRUE(LoadReport(*archive, filter, *c.window, input));
        ASSERT_EQ(input.contaminated.size(), 1u);
        const std::optional<Measurement>& found = input.actions->contaminated.at(0).retest;
        EXPECT_EQ(found ? found->measuredAt : "", c.retest) << *c.window;
        const std::optional<Measurement>& open = input.actions->openFollowUps.at(0).retest;
        EXPECT_EQ(open ? open->measuredAt : "", c.retest) << *c.window;
    }
}

TEST_F(ActionsTest, AResultIsOpenUntilAnActionIsRecorded) {
    const CorrectiveAction some{"재세척", "kim", 0};
    const struct {
        Verdict verdict;
        bool acted;
        bool open;
    } cases[] = {
        {Verdict::Contaminated, false, true}, {Verdict::Caution, false, true},
        {Verdict::Contaminated, true, false}, {Verdict::Caution, true, false},
        {Verdict::Safe, false, false},        {Verdict::None, false, false},
    };
    for (const auto& c : cases) {
        Measurement row;
        row.verdict = c.verdict;
        EXPECT_EQ(IsOpen(row, c.acted ? std::optional(some) : std::nullopt), c.open)
            << static_cast<int>(c.verdict) << (c.acted ? " acted" : "");
    }

    // Six results ask for an action; a 안전 retest closes none of them.
    ActionCounts counts;
    ASSERT_TRUE(CountActions(*archive, {}, counts));
    EXPECT_EQ(counts.needing, 6u);
    EXPECT_EQ(counts.open, 6u);

    const Measurement failure = At("2026-03-09 08:00:00");
    std::optional<CorrectiveAction> action;
    ASSERT_TRUE(LatestAction(*archive, failure, action));
    EXPECT_FALSE(action);
    ASSERT_TRUE(RecordAction(*archive, failure, {"표면 재세척", "kim", 1773043200}));
    ASSERT_TRUE(LatestAction(*archive, failure, action));
    ASSERT_TRUE(action);
    EXPECT_EQ(action->text, "표면 재세척");
    EXPECT_FALSE(IsOpen(failure, action));

    ASSERT_TRUE(CountActions(*archive, {}, counts));
    EXPECT_EQ(counts.open, 5u);
    EXPECT_EQ(counts.answered(), 1u);

    // The open ones alone, through the history's filter.
    ArchiveFilter open;
    open.openOnly = true;
    std::vector<std::string> times;
    ASSERT_TRUE(ForEachMeasurement(*archive, open, [&](const Measurement& m) {
        times.push_back(m.measuredAt);
        return true;
    }));
    EXPECT_EQ(times.size(), 5u);
    EXPECT_EQ(std::count(times.begin(), times.end(), failure.measuredAt), 0);

    // The window's held period answers as the archive, before and after another action.
    SetFilterDays("2026-03-01", "2026-03-31", open);
    PeriodCache cache;
    for (int round = 0; round < 2; ++round) {
        FilteredView held, read;
        ASSERT_TRUE(cache.Load(*archive, open, *open.from, SECONDS_PER_DAY, held));
        ASSERT_TRUE(LoadFiltered(*archive, open, *open.from, SECONDS_PER_DAY, read));
        EXPECT_EQ(held.list.Size(), 5u - round);
        EXPECT_EQ(held.list.Size(), read.list.Size());
        EXPECT_EQ(held.counts.Of(Verdict::Caution), read.counts.Of(Verdict::Caution));
        size_t heldOpen = 0, readOpen = 0;
        ASSERT_TRUE(OpenResults(*archive, open, held, heldOpen));
        ASSERT_TRUE(OpenResults(*archive, open, read, readOpen));
        EXPECT_EQ(heldOpen, 5u - round);
        EXPECT_EQ(heldOpen, readOpen);
        ASSERT_TRUE(RecordAction(*archive, At("2026-03-07 10:30:00"), {"재세척", "kim", 0}));
    }
}

TEST_F(ActionsTest, ACorrectionIsANewVersionAndTheViewsShowTheLatestAndAll) {
    Measurement failure = At("2026-03-07 10:00:00");
    // A name with the identity's separator and escape is still one measurement's.
    ASSERT_TRUE(RecordAction(*archive, failure, {"재세척", "kim", 1772877600}));
    ASSERT_TRUE(
        RecordAction(*archive, failure, {"재세척 후 재측정 주의: 2차 세척", "lee", 1772881200}));
    EXPECT_EQ(Query("SELECT * FROM actions"),
              (std::vector<std::string>{"2026-03-07 10:00:00|세균|홍길동|200|오염|재세척 후 재측정 "
                                        "주의: 2차 세척|lee|2026-03-07 11:00:00"}));
    EXPECT_EQ(
        Query("SELECT action_text, action_by, action_at FROM action_history ORDER BY "
              "action_at"),
        (std::vector<std::string>{"재세척|kim|2026-03-07 10:00:00",
                                  "재세척 후 재측정 주의: 2차 세척|lee|2026-03-07 11:00:00"}));

    Measurement odd = failure;
    odd.userName = "a|b\\c";
    odd.measuredAt = "2026-03-20 12:00:00";
    ListFeed feed({odd});
    BatchCount count;
    ASSERT_TRUE(archive->AddBatch("COM3", feed, count));
    ASSERT_TRUE(RecordAction(*archive, odd, {"폐기", "kim", 1773993600}));
    EXPECT_EQ(Query("SELECT user_name, action_text FROM actions WHERE measured_at LIKE "
                    "'2026-03-20%'"),
              (std::vector<std::string>{"a|b\\c|폐기"}));
}

TEST_F(ActionsTest, TheReportAnswersWhatWasDoneAboutEachFailure) {
    const auto html = [&] {
        ReportInput input;
        EXPECT_TRUE(LoadReport(*archive, {}, DEFAULT_RETEST_WINDOW_SECONDS, input));
        return ReportHtml(input);
    };
    const auto has = [](const std::string& page, const std::string& part) {
        return page.find(part) != std::string::npos;
    };
    ASSERT_TRUE(RecordAction(*archive, At("2026-03-07 10:00:00"), {"재세척", "kim", 1772881200}));
    std::string page = html();
    EXPECT_TRUE(has(page, "오염·주의 6건 중 조치 기록 1건, 미조치 5건"));
    // The open results come first, each with its likely retest.
    EXPECT_TRUE(has(page, "<h2>미조치 결과</h2>"));
    EXPECT_LT(page.find("<h2>미조치 결과</h2>"), page.find("<h2>요약</h2>"));
    EXPECT_TRUE(has(page, "<th>재측정<th>조치</thead>"));
    // The acted-on 오염 row: its retest (주의 itself) and its action; the next one open.
    EXPECT_TRUE(has(page,
                    "<td class=v1>2026-03-07 10:30:00 · 150 · 주의 (추정)<td>재세척 — kim, "
                    "2026-03-07 11:00:00\n"));
    EXPECT_TRUE(
        has(page, "<td class=v0>2026-03-10 08:00:00 · 100 · 안전 (추정)<td class=open>미조치\n"));
    EXPECT_TRUE(has(page, "<td class=v2>오염<td>\n"));  // the window's end passed: no retest

    ArchiveFilter failed;
    failed.verdicts = VerdictBit(Verdict::Caution) | VerdictBit(Verdict::Contaminated);
    std::vector<Measurement> rows;
    ForEachMeasurement(*archive, failed, [&](const Measurement& m) {
        rows.push_back(m);
        return true;
    });
    for (const Measurement& row : rows)
        ASSERT_TRUE(RecordAction(*archive, row, {"폐기", "lee", 0}));
    page = html();
    EXPECT_TRUE(has(page, "오염·주의 6건 중 조치 기록 6건, 미조치 0건"));
    EXPECT_FALSE(has(page, "미조치 결과"));
}

// One person's versions of one result stay apart by their time, which tells them apart on the
// site: a correction within the same second (or after the clock went back) is kept a second after
// the version before; another person's, or another result's, keeps its own time.
TEST_F(ActionsTest, OnePersonsVersionsOfOneResultAreASecondApartAtLeast) {
    const Measurement failure = At("2026-03-07 10:00:00");
    for (const char* text : {"재세척", "재세척 후 폐기", "폐기"})
        ASSERT_TRUE(RecordAction(*archive, failure, {text, "kim", 1772877600}));
    ASSERT_TRUE(RecordAction(*archive, failure, {"확인", "kim", 1772877000}));  // clock back
    ASSERT_TRUE(RecordAction(*archive, failure, {"확인", "lee", 1772877600}));
    ASSERT_TRUE(RecordAction(*archive, At("2026-03-07 10:30:00"), {"재세척", "kim", 1772877600}));
    EXPECT_EQ(Query("SELECT action_text, action_by, action_at FROM action_history ORDER BY "
                    "measured_at, action_by, action_at"),
              (std::vector<std::string>{
                  "재세척|kim|2026-03-07 10:00:00", "재세척 후 폐기|kim|2026-03-07 10:00:01",
                  "폐기|kim|2026-03-07 10:00:02", "확인|kim|2026-03-07 10:00:03",
                  "확인|lee|2026-03-07 10:00:00", "재세척|kim|2026-03-07 10:00:00"}));
}

TEST_F(ActionsTest, TheActionsStepRunsAgainWithoutHarmWhereverItIsNumbered) {
    ASSERT_TRUE(RecordAction(*archive, At("2026-03-07 10:00:00"), {"재세척", "kim", 0}));
    // The actions' step (6) and their queue's refusals (7), each run again.
    for (size_t step = 5; step < ARCHIVE_VERSION; ++step)
        EXPECT_EQ(
            sqlite3_exec(archive->Handle(), ARCHIVE_MIGRATIONS[step], nullptr, nullptr, nullptr),
            SQLITE_OK)
            << step + 1;
    EXPECT_EQ(Query("SELECT count(*) FROM action_history"), (std::vector<std::string>{"1"}));
}

}  // namespace
