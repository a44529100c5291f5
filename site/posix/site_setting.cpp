#include "site/site_setting.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

std::string SiteSettingOfPc() {
    const char* setting = std::getenv(SITE_ENVIRONMENT_NAME);
    return setting ? setting : "";
}

PcIdentity ThisPc() {
    PcIdentity identity;
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) == 0) identity.pc = name;
    if (const passwd* user = getpwuid(geteuid())) identity.user = user->pw_name;
    return identity;
}
