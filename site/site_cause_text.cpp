#include "site/site_cause_text.h"

#include "res/resource.h"

int SiteFailureTextId(const SiteStatus& status) {
    return status.kind == SiteStatus::Unreachable ? IDS_SITE_UNREACHABLE : IDS_SITE_REFUSED;
}
