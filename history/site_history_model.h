// The history window's "사이트 전체": the site's rows of the filters, counted by the server and
// read a page at a time as the table shows them, never the whole period on this PC. A query
// runs on a thread of its own with a connection of its own, which then stays to read the pages
// the table asks for; a query the window replaces is cancelled on the server (SQLCancel) and its
// results are dropped. The window takes the results when told they have come.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "history/history_model.h"
#include "site/site_view.h"

// Called on the query's thread when results wait to be taken: the window posts itself a message.
using SiteResultsArrived = std::function<void()>;
// This PC's action on a site row, by identity, which the window gives: what the 조치 column shows
// where the site keeps no actions, and over the site's until the site has it. False when there
// is none.
using SiteActionLookup = std::function<bool(const Measurement& row, ActionState& state)>;
// Keeps an action recorded on a site row in this PC's archive, which then pushes it to the site.
using SiteActionRecorder =
    std::function<ArchiveStatus(const Measurement& row, const CorrectiveAction& action)>;
// The site's latest action on each row of a page, beside them; none when the site keeps none.
using SitePageActions = std::optional<std::vector<std::optional<CorrectiveAction>>>;

struct SiteQuery;

class SiteHistoryModel : public HistoryView {
public:
    SiteHistoryModel(std::string connection, SiteResultsArrived arrived,
                     SiteActionLookup actions = {}, SiteActionRecorder record = {});
    ~SiteHistoryModel() override;

    // Counts the rows of `choices` on the server for a plot about `chartColumns` pixels wide and
    // reads the first rows, then the standard and user names of the period when it is another
    // than the names' (after them, on a connection of their own, so that the pages the table asks
    // for meanwhile do not wait for them): the query under way, if any, is cancelled.
    void Query(const HistoryChoices& choices, int chartColumns);

    // What has come since last taken, on the window's thread.
    struct Taken {
        bool counted = false;  // the counts, the chart and the first rows: the table anew
        bool names = false;    // the names of the period, for the filters
        bool rows = false;     // pages of the table: drawn again
        std::optional<SiteStatus> failed;
    };
    Taken Take();
    // The last query's counts have come.
    bool Counted() const { return m_counted; }
    // The names offered are those of the last query's period.
    bool NamesOfPeriod() const;
    // Rows held on this PC now: a few pages, whatever the period.
    size_t RowsHeld() const;

    const FilterChoices& Names() const override { return m_names; }
    size_t RowCount() const override { return m_rows; }
    // Null, and the page asked for, while it has not come.
    const Measurement* Row(size_t index) override;
    void Hint(size_t first, size_t last) override;
    const VerdictCounts& Counts() const override { return m_counts; }
    const ActionState* ActionOf(size_t index) override;
    ArchiveStatus RecordAction(size_t index, const CorrectiveAction& action) override;
    std::string Summary(const HistoryTexts& texts) const override;

private:
    struct Page {
        size_t first = 0;
        std::vector<SiteListRow> rows;
        SitePageActions siteActions;                      // as the page was read
        std::vector<std::optional<ActionState>> actions;  // looked up when first drawn
        std::vector<bool> looked;
        uint64_t used = 0;
    };

    Page* Held(size_t first);
    void Ask(size_t first);
    void Keep(size_t first, std::vector<SiteListRow> rows, SitePageActions actions);
    void TakeCounts(SiteQuery& query);

    std::string m_connection;
    SiteResultsArrived m_arrived;
    SiteActionLookup m_actions;
    SiteActionRecorder m_record;
    std::shared_ptr<SiteQuery> m_query;
    FilterChoices m_names;
    std::optional<std::pair<int64_t, int64_t>> m_namesPeriod;  // the period of m_names
    VerdictCounts m_counts;
    size_t m_rows = 0;
    bool m_counted = false;
    std::vector<Page> m_pages;
    std::set<size_t> m_asked;  // pages asked for, not come yet
    uint64_t m_clock = 0;
};
