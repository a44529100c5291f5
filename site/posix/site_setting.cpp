#include "site/site_setting.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace {

std::string EnvironmentText(const char* name) {
    const char* setting = std::getenv(name);
    return setting ? setting : "";
}

}  // namespace

std::string SiteSettingOfPc() { return EnvironmentText(SITE_ENVIRONMENT_NAME); }

std::string BackupFolderOfPc() { return EnvironmentText(BACKUP_FOLDER_ENVIRONMENT_NAME); }

PcIdentity ThisPc() {
    PcIdentity identity;
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) == 0) identity.pc = name;
    if (const passwd* user = getpwuid(geteuid())) identity.user = user->pw_name;
    return identity;
}
