#include "site/site_setting.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// ${XDG_CONFIG_HOME:-~/.config}/ombrix: the folder of the stored setting.
std::string ConfigFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/ombrix";
    const char* home = std::getenv("HOME");
    if (!home || !home[0]) {
        const passwd* user = getpwuid(geteuid());
        home = user ? user->pw_dir : "";
    }
    return std::string(home) + "/.config/ombrix";
}

std::string StoredPath() { return ConfigFolder() + "/site"; }

std::string SystemWords(int error) { return std::strerror(error); }

bool WriteAll(int fd, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

namespace site_setting_platform {

bool ReadPrivateFile(const std::string& path, std::string& bytes, std::string& reason) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        reason = SystemWords(errno);
        return false;
    }
    struct stat status {};
    bool ok = fstat(fd, &status) == 0;
    if (!ok) {
        reason = SystemWords(errno);
    } else if (status.st_mode & (S_IRGRP | S_IROTH)) {
        reason = "its group or others may read it; it holds a password: chmod 600 it";
        ok = false;
    }
    char block[4096];
    for (ssize_t got = 0; ok && (got = read(fd, block, sizeof block)) != 0;) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            reason = SystemWords(errno);
            ok = false;
        } else {
            bytes.append(block, static_cast<size_t>(got));
        }
    }
    close(fd);
    return ok;
}

std::string EnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

SiteSource StoredSetting() {
    const std::string path = StoredPath();
    if (access(path.c_str(), F_OK) != 0) return {};
    return ReadSiteFile(path);
}

}  // namespace site_setting_platform

// Written beside the setting and renamed over it, readable by its owner alone from the start.
std::string StoreSiteSetting(const std::string& connection, bool machine, std::string& place) {
    place = StoredPath();
    if (machine) return "a machine's setting is stored in the Windows registry only";
    const std::string folder = ConfigFolder();
    const size_t parent = folder.rfind('/');
    if (parent != std::string::npos && parent > 0) mkdir(folder.substr(0, parent).c_str(), 0700);
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return folder + ": " + SystemWords(errno);
    const std::string temporary = place + ".new";
    unlink(temporary.c_str());
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return temporary + ": " + SystemWords(errno);
    const bool written = WriteAll(fd, connection + "\n") && fsync(fd) == 0;
    const int error = errno;
    close(fd);
    if (!written || rename(temporary.c_str(), place.c_str()) != 0) {
        const std::string why = place + ": " + SystemWords(written ? errno : error);
        unlink(temporary.c_str());
        return why;
    }
    return "";
}

bool CanStoreMachineSetting() { return false; }

std::string BackupFolderOfPc() {
    return site_setting_platform::EnvironmentText(BACKUP_FOLDER_ENVIRONMENT_NAME);
}

std::string RetestHoursOfPc() {
    return site_setting_platform::EnvironmentText(RETEST_HOURS_ENVIRONMENT_NAME);
}

PcIdentity ThisPc() {
    PcIdentity identity;
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) == 0) identity.pc = name;
    if (const passwd* user = getpwuid(geteuid())) identity.user = user->pw_name;
    return identity;
}
