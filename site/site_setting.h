// Which site archive this PC pushes to, and who it is there; where its archive is copied daily. The
// connection string is an ODBC connection string (a DSN, or a driver with its server); empty: no
// site, nothing is tried.
#pragma once

#include <string>

// The registry's key and value, under HKEY_LOCAL_MACHINE (set by IT for the machine) and then
// HKEY_CURRENT_USER.
constexpr char SITE_SETTING_KEY[] = "Software\\Kavenor\\Ombrix_Tessaly";
constexpr char SITE_SETTING_VALUE[] = "SiteArchive";
constexpr char SITE_ENVIRONMENT_NAME[] = "OMBRIX_SITE";

// The environment's OMBRIX_SITE, else the registry's SiteArchive (Windows only); UTF-8.
std::string SiteSettingOfPc();

// The folder of the archive's daily copies (archive/daily_backup.h), named as the site is: the
// environment's OMBRIX_BACKUP_FOLDER, else the registry's BackupFolder; empty: no daily copy.
constexpr char BACKUP_FOLDER_VALUE[] = "BackupFolder";
constexpr char BACKUP_FOLDER_ENVIRONMENT_NAME[] = "OMBRIX_BACKUP_FOLDER";
std::string BackupFolderOfPc();

// The command line's --site when given, else the PC's setting.
inline std::string SiteSetting(const std::string& commandLine) {
    return commandLine.empty() ? SiteSettingOfPc() : commandLine;
}

// The computer's name and the signed-in user's, as the site's rows name where they came from.
struct PcIdentity {
    std::string pc, user;
};
PcIdentity ThisPc();
