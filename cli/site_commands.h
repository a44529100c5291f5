// The console program's site command: `site set` stores the connection string where the program
// finds it (from standard input or --site-file, never from its own arguments), `site show` says
// which one is used, masked, and `site test` connects and says what it reached.
#pragma once

#include <string>

#include "site/site_database.h"

struct Arguments;
class RecordArchive;

int RunSite(const Arguments& arguments, RecordArchive& archive);

// Says why the site failed, its connection string masked: the exit status.
int SiteFailed(const std::string& connection, const SiteStatus& status);
