// Which site archive this PC pushes to, and who it is there; where its archive is copied daily. The
// connection string is an ODBC connection string (a DSN, or a driver with its server); empty: no
// site, nothing is tried.
//
// A password in it must never sit on a command line (every local user sees the process list,
// the shell keeps its history): besides the command line's --site, it comes from a file only its
// owner may read (--site-file, OMBRIX_SITE_FILE), or from where `ombrix site set` stored it: on
// Windows the registry value SiteArchive, protected with DPAPI; elsewhere the owner's file
// ${XDG_CONFIG_HOME:-~/.config}/ombrix/site.
#pragma once

#include <cstdint>
#include <string>

// The registry's key and value, under HKEY_LOCAL_MACHINE (set by IT for the machine) and then
// HKEY_CURRENT_USER.
constexpr char SITE_SETTING_KEY[] = "Software\\Kavenor\\Ombrix_Tessaly";
constexpr char SITE_SETTING_VALUE[] = "SiteArchive";
constexpr char SITE_ENVIRONMENT_NAME[] = "OMBRIX_SITE";
constexpr char SITE_FILE_ENVIRONMENT_NAME[] = "OMBRIX_SITE_FILE";

// A connection string and where it came from ("--site-file /etc/ombrix/site", "OMBRIX_SITE",
// "HKCU\...\SiteArchive (DPAPI)"). `refusal` says why a file or value named for it was not taken;
// the connection is empty then.
struct SiteSource {
    std::string connection;
    std::string place;
    std::string refusal;
};

// The one line of a site file's or standard input's bytes (UTF-8; a byte-order mark and the line's
// end taken off); false when they hold none or more than one.
bool OneSiteLine(std::string bytes, std::string& line);

// The connection string of a file: its one line, UTF-8 (a byte-order mark and the line's end
// taken off). Refused when it cannot be read, holds no line or more than one, or (POSIX) its
// group or others may read it.
SiteSource ReadSiteFile(const std::string& path);

// The command line's --site, else its --site-file, else the PC's: OMBRIX_SITE, the file
// OMBRIX_SITE_FILE names, the stored setting (on Windows the registry's SiteArchive, HKLM then
// HKCU, protected or plain; elsewhere the owner's file). All empty when none is set.
SiteSource ChosenSite(const std::string& site, const std::string& siteFile);

// The PC's connection string (ChosenSite without a command line); empty when none is set or it
// was refused.
std::string SiteSettingOfPc();

// The folder of the archive's daily copies (archive/daily_backup.h), named as the site is: the
// environment's OMBRIX_BACKUP_FOLDER, else the registry's BackupFolder; empty: no daily copy.
constexpr char BACKUP_FOLDER_VALUE[] = "BackupFolder";
constexpr char BACKUP_FOLDER_ENVIRONMENT_NAME[] = "OMBRIX_BACKUP_FOLDER";
std::string BackupFolderOfPc();

// The likely retest's window in hours (archive/archive_actions.h RetestWindowOf), named as the
// backup folder is: the environment's OMBRIX_RETEST_HOURS, else the registry's RetestHours
// (REG_DWORD or REG_SZ); empty when none is set.
constexpr char RETEST_HOURS_VALUE[] = "RetestHours";
constexpr char RETEST_HOURS_ENVIRONMENT_NAME[] = "OMBRIX_RETEST_HOURS";
std::string RetestHoursOfPc();
// The window in seconds that setting gives; the default where it is not set or not valid.
int64_t RetestWindowOfPc();

// The command line's --site when given, else the PC's setting.
inline std::string SiteSetting(const std::string& commandLine) {
    return commandLine.empty() ? SiteSettingOfPc() : commandLine;
}

// Stores `connection` as this user's setting (`machine`: the machine's, Windows only) where
// SiteSetting finds it, protected: "" when done, else why not.
std::string StoreSiteSetting(const std::string& connection, bool machine, std::string& place);

// Whether a machine's setting (for every account of the PC) can be stored: Windows only.
bool CanStoreMachineSetting();

// The computer's name and the signed-in user's, as the site's rows name where they came from.
struct PcIdentity {
    std::string pc, user;
};
PcIdentity ThisPc();

// The platform's halves of the above.
namespace site_setting_platform {
// A file's bytes; false with the reason when it cannot be read or (POSIX) is not its owner's
// alone.
bool ReadPrivateFile(const std::string& path, std::string& bytes, std::string& reason);
// The environment's value, UTF-8; empty when not set.
std::string EnvironmentText(const char* name);
// The stored setting, when there is one.
SiteSource StoredSetting();
}  // namespace site_setting_platform
