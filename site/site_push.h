// Pushing the archive's waiting rows to the site archive, a batch at a time: each batch is
// stored on the site in one transaction and only then marked pushed in the archive, so that a
// server that goes away mid-push loses nothing and doubles nothing (a batch stored whose mark
// was lost is found there at the next push and counted as already there). The versions of
// corrective actions go after the rows, the same way, each once its measurement is there.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "archive/archive.h"
#include "site/site_database.h"

// Rows a batch holds: one transaction on the site, one on the archive.
constexpr size_t SITE_BATCH_ROWS = 2000;

struct PushOutcome {
    PushCount count;
    size_t waiting = 0;     // rows still waiting at the end
    size_t refused = 0;     // rows set aside, refused by the site for their content
    ArchiveStatus archive;  // the archive failed
    SiteStatus site;        // the site failed
    // The versions of corrective actions: pushed, waiting and set aside as the rows; and the
    // site's failure for them alone (ombrix_actions not made: no right to create it), which
    // leaves them waiting while the rows go.
    PushCount actions;
    size_t actionsWaiting = 0, actionsRefused = 0;
    SiteStatus actionsSite;
    bool Done() const { return archive && site && waiting == 0; }
};

// Pushes every waiting row of `archive` to `site`, then every waiting version of an action whose
// measurement the site holds; a row or version the site refuses is set aside with the server's
// reason, and those after it go on. `goOn` is asked before every batch (a program that closes
// stops there).
PushOutcome PushWaiting(Archive& archive, SiteDatabase& site, const PcIdentity& from,
                        const std::function<bool()>& goOn = {});

// The same from the archive's file and the site's connection string, both opened here; the
// waiting rows are counted even when the site cannot be reached. `retryRefused`: the rows set
// aside go again, once the site is reached.
PushOutcome PushArchiveToSite(const std::string& archivePath, const std::string& connection,
                              const std::function<bool()>& goOn = {}, bool retryRefused = false);
