// The audit report of the site archive's rows, every PC's (or one PC's): the same report as the
// local archive's, its figures counted by the server (GROUP BY) and only the newest "오염" rows
// read, so that a year of ten million rows never comes to this PC; the site's corrective actions
// (every PC's) counted there too, and the latest beside each row listed.
#pragma once

#include "report/report.h"
#include "site/site_database.h"

// Fills `input` as LoadReport does for the local archive.
SiteStatus LoadSiteReport(SiteDatabase& site, const SiteFilter& filter, ReportInput& input);
