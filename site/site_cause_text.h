// The words for why the site archive failed, from the string table shared by the window and
// ombrix.
#pragma once

#include "site/site_database.h"

// The string-table text that tells a failure: "%s" the site (its connection string masked),
// then the driver's words.
int SiteFailureTextId(const SiteStatus& status);

// The text of the rows waiting, "%d" of them, and of those set aside, "%s", when any is.
int SiteWaitingTextId(size_t refused);

// The same for the versions of corrective actions.
int SiteActionsWaitingTextId(size_t refused);
