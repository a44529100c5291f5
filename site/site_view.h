// The site's rows for the history window's "사이트 전체": the rows of a period copied from the
// site archive into an archive of the window's own (in memory), which the window then shows,
// filters, charts, saves and reports exactly as it does this PC's archive.
#pragma once

#include <cstddef>
#include <memory>

#include "archive/archive.h"
#include "site/site_database.h"

// An archive in memory, for the copy; null only when SQLite cannot make one.
std::unique_ptr<Archive> OpenSiteViewArchive(ArchiveStatus& status);

struct SiteViewCopy {
    SiteStatus site;
    ArchiveStatus archive;
    size_t rows = 0;
    explicit operator bool() const { return site && archive; }
};

// Copies the site's rows of `filter` into `view`, a batch per source (the port or file each
// came from), in a bounded number of rows held at a time.
SiteViewCopy CopySiteRows(SiteDatabase& site, const SiteFilter& filter, Archive& view);
