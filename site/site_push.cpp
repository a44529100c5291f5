#include "site/site_push.h"

#include <vector>

#include "archive/push_queue.h"

PushOutcome PushWaiting(Archive& archive, SiteDatabase& site, const PcIdentity& from,
                        const std::function<bool()>& goOn) {
    PushOutcome outcome;
    std::vector<Measurement> rows;
    while (!goOn || goOn()) {
        int64_t lastId = 0;
        outcome.archive = ReadWaiting(archive, SITE_BATCH_ROWS, rows, lastId);
        if (!outcome.archive || rows.empty()) break;
        PushCount batch;
        outcome.site = site.Store(rows, from, batch);
        if (!outcome.site) break;
        outcome.archive = MarkPushed(archive, lastId);
        if (!outcome.archive) break;
        outcome.count.pushed += batch.pushed;
        outcome.count.already += batch.already;
    }
    const ArchiveStatus counted = CountWaiting(archive, outcome.waiting);
    if (outcome.archive) outcome.archive = counted;
    return outcome;
}

PushOutcome PushArchiveToSite(const std::string& archivePath, const std::string& connection,
                              const std::function<bool()>& goOn) {
    PushOutcome outcome;
    const auto archive = Archive::Open(archivePath, outcome.archive);
    if (!archive) return outcome;
    const auto site = SiteDatabase::Open(connection, outcome.site);
    if (!site) {
        outcome.archive = CountWaiting(*archive, outcome.waiting);
        return outcome;
    }
    return PushWaiting(*archive, *site, ThisPc(), goOn);
}
