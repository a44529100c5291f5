#include "site/site_view.h"

#include <string>
#include <vector>

namespace {

// Rows held before they go into the view: a batch, in one transaction.
constexpr size_t kRowsPerBatch = 20000;

class HeldRows : public MeasurementFeed {
public:
    explicit HeldRows(std::vector<Measurement>& rows) : m_rows(rows) {}
    Step Next(Measurement& row) override {
        if (m_at == m_rows.size()) return End;
        row = std::move(m_rows[m_at++]);
        return Row;
    }

private:
    std::vector<Measurement>& m_rows;
    size_t m_at = 0;
};

}  // namespace

std::unique_ptr<Archive> OpenSiteViewArchive(ArchiveStatus& status) {
    return Archive::Open(":memory:", status);
}

SiteViewCopy CopySiteRows(SiteDatabase& site, const SiteFilter& filter, Archive& view) {
    SiteViewCopy copy;
    std::vector<Measurement> held;
    std::string source;
    const auto flush = [&] {
        HeldRows feed(held);
        BatchCount count;
        copy.archive = view.AddBatch(source, feed, count);
        copy.rows += count.rows;
        held.clear();
        return bool(copy.archive);
    };
    copy.site = site.ForEach(
        filter,
        [&](const Measurement& row) {
            if ((row.source != source || held.size() == kRowsPerBatch) && !held.empty() && !flush())
                return false;
            source = row.source;
            held.push_back(row);
            return true;
        },
        RowOrder::OldestFirst, SiteOrder::BySourceFirst);
    if (copy && !held.empty()) flush();
    return copy;
}
