#include "site/site_view.h"

#include <map>
#include <string>
#include <vector>

namespace {

// Rows of one source held before they go into the view: a batch, in one transaction.
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
    std::map<std::string, std::vector<Measurement>> held;  // by source
    const auto flush = [&](const std::string& source, std::vector<Measurement>& rows) {
        HeldRows feed(rows);
        BatchCount count;
        copy.archive = view.AddBatch(source, feed, count);
        copy.rows += count.rows;
        rows.clear();
        return bool(copy.archive);
    };
    copy.site = site.ForEach(
        filter,
        [&](const Measurement& row) {
            std::vector<Measurement>& rows = held[row.source];
            rows.push_back(row);
            return rows.size() < kRowsPerBatch || flush(row.source, rows);
        },
        RowOrder::OldestFirst);
    for (auto& [source, rows] : held)
        if (copy && !rows.empty()) flush(source, rows);
    return copy;
}
