#include "site/site_push.h"

#include <vector>

#include "archive/push_queue.h"

namespace {

// The rows waiting and set aside at the end; a failure before stays the one told.
PushOutcome& Counted(Archive& archive, PushOutcome& outcome) {
    ArchiveStatus counted = CountWaiting(archive, outcome.waiting);
    if (counted) counted = CountRefused(archive, outcome.refused);
    if (outcome.archive) outcome.archive = counted;
    return outcome;
}

}  // namespace

PushOutcome PushWaiting(Archive& archive, SiteDatabase& site, const PcIdentity& from,
                        const std::function<bool()>& goOn) {
    PushOutcome outcome;
    std::vector<Measurement> rows;
    std::vector<int64_t> ids;
    std::vector<SiteRefusal> refused;
    std::vector<QueueRefusal> setAside;
    while (!goOn || goOn()) {
        outcome.archive = ReadWaiting(archive, SITE_BATCH_ROWS, rows, ids);
        if (!outcome.archive || rows.empty()) break;
        PushCount batch;
        outcome.site = site.Store(rows, from, batch, refused);
        if (!outcome.site) break;
        setAside.clear();
        for (const SiteRefusal& refusal : refused)
            setAside.push_back({ids[refusal.index], refusal.reason});
        outcome.archive = SettleBatch(archive, ids.back(), setAside);
        if (!outcome.archive) break;
        outcome.count.pushed += batch.pushed;
        outcome.count.already += batch.already;
    }
    return Counted(archive, outcome);
}

PushOutcome PushArchiveToSite(const std::string& archivePath, const std::string& connection,
                              const std::function<bool()>& goOn, bool retryRefused) {
    PushOutcome outcome;
    const auto archive = Archive::Open(archivePath, outcome.archive);
    if (!archive) return outcome;
    const auto site = SiteDatabase::Open(connection, outcome.site);
    if (!site) return Counted(*archive, outcome);
    if (retryRefused && !(outcome.archive = RetryRefused(*archive))) return outcome;
    return PushWaiting(*archive, *site, ThisPc(), goOn);
}
