#include "site/site_push.h"

#include <vector>

#include "archive/push_queue.h"
#include "site/sha256.h"

namespace {

// The rows waiting and set aside at the end; a failure before stays the one told.
PushOutcome& Counted(Archive& archive, PushOutcome& outcome) {
    ArchiveStatus counted = CountWaiting(archive, outcome.waiting);
    if (counted) counted = CountRefused(archive, outcome.refused);
    if (counted) counted = CountWaitingActions(archive, outcome.actionsWaiting);
    if (counted) counted = CountRefusedActions(archive, outcome.actionsRefused);
    if (outcome.archive) outcome.archive = counted;
    return outcome;
}

std::vector<QueueRefusal> SetAside(const std::vector<SiteRefusal>& refused,
                                   const std::vector<int64_t>& ids) {
    std::vector<QueueRefusal> setAside;
    for (const SiteRefusal& refusal : refused)
        setAside.push_back({ids[refusal.index], refusal.reason});
    return setAside;
}

// The versions of actions whose measurements are on the site, a batch at a time.
void PushActions(Archive& archive, SiteDatabase& site, const PcIdentity& from,
                 const std::function<bool()>& goOn, PushOutcome& outcome) {
    std::vector<QueuedAction> queued;
    std::vector<SiteAction> versions;
    std::vector<int64_t> ids;
    std::vector<SiteRefusal> refused;
    while (!goOn || goOn()) {
        outcome.archive = ReadWaitingActions(archive, SITE_BATCH_ROWS, queued, ids);
        if (!outcome.archive || queued.empty()) break;
        versions.clear();
        for (const QueuedAction& q : queued) versions.push_back({Sha256Hex(q.identity), q.action});
        PushCount batch;
        outcome.actionsSite = site.StoreActions(versions, from, batch, refused);
        if (!outcome.actionsSite) break;
        outcome.archive = SettleActions(archive, ids, SetAside(refused, ids));
        if (!outcome.archive) break;
        outcome.actions.pushed += batch.pushed;
        outcome.actions.already += batch.already;
    }
}

}  // namespace

PushOutcome PushWaiting(Archive& archive, SiteDatabase& site, const PcIdentity& from,
                        const std::function<bool()>& goOn) {
    PushOutcome outcome;
    std::vector<Measurement> rows;
    std::vector<int64_t> ids;
    std::vector<SiteRefusal> refused;
    while (!goOn || goOn()) {
        outcome.archive = ReadWaiting(archive, SITE_BATCH_ROWS, rows, ids);
        if (!outcome.archive || rows.empty()) break;
        PushCount batch;
        outcome.site = site.Store(rows, from, batch, refused);
        if (!outcome.site) break;
        outcome.archive = SettleBatch(archive, ids.back(), SetAside(refused, ids));
        if (!outcome.archive) break;
        outcome.count.pushed += batch.pushed;
        outcome.count.already += batch.already;
    }
    // The actions only after every row went: an action's measurement is there before it.
    if (outcome.archive && outcome.site) PushActions(archive, site, from, goOn, outcome);
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
