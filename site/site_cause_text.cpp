#include "site/site_cause_text.h"

#include "res/resource.h"

int SiteFailureTextId(const SiteStatus& status) {
    return status.kind == SiteStatus::Unreachable ? IDS_SITE_UNREACHABLE : IDS_SITE_REFUSED;
}

int SiteWaitingTextId(size_t refused) {
    return refused > 0 ? IDS_SITE_WAITING_REFUSED : IDS_SITE_WAITING;
}

int SiteActionsWaitingTextId(size_t refused) {
    return refused > 0 ? IDS_SITE_ACTIONS_WAITING_REFUSED : IDS_SITE_ACTIONS_WAITING;
}
