// The audit report of the site archive's rows, every PC's (or one PC's): the same report as the
// local archive's, tallied from the rows streamed once, oldest first.
#pragma once

#include "report/report.h"
#include "site/site_database.h"

// Fills `input` as LoadReport does for the local archive.
SiteStatus LoadSiteReport(SiteDatabase& site, const SiteFilter& filter, ReportInput& input);
