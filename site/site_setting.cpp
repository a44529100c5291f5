#include "site/site_setting.h"

#include "archive/archive_actions.h"

namespace {

using namespace site_setting_platform;

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

bool IsBlankLine(const std::string& text, size_t from) {
    return text.find_first_not_of(" \t\r\n", from) == std::string::npos;
}

}  // namespace

bool OneSiteLine(std::string bytes, std::string& line) {
    if (bytes.rfind(kByteOrderMark, 0) == 0) bytes.erase(0, sizeof kByteOrderMark - 1);
    const size_t end = bytes.find('\n');
    line = bytes.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return !line.empty() && (end == std::string::npos || IsBlankLine(bytes, end));
}

SiteSource ReadSiteFile(const std::string& path) {
    SiteSource source;
    source.place = path;
    std::string bytes, reason;
    if (!ReadPrivateFile(path, bytes, reason))
        source.refusal = path + ": " + reason;
    else if (!OneSiteLine(bytes, source.connection))
        source.refusal = path + ": the file holds no connection string, or more than one line";
    if (!source.refusal.empty()) source.connection.clear();
    return source;
}

SiteSource ChosenSite(const std::string& site, const std::string& siteFile) {
    if (!site.empty()) return {site, "--site", ""};
    if (!siteFile.empty()) return ReadSiteFile(siteFile);
    if (std::string text = EnvironmentText(SITE_ENVIRONMENT_NAME); !text.empty())
        return {text, SITE_ENVIRONMENT_NAME, ""};
    if (const std::string path = EnvironmentText(SITE_FILE_ENVIRONMENT_NAME); !path.empty()) {
        SiteSource source = ReadSiteFile(path);
        source.place = std::string(SITE_FILE_ENVIRONMENT_NAME) + " (" + path + ")";
        return source;
    }
    return StoredSetting();
}

std::string SiteSettingOfPc() { return ChosenSite("", "").connection; }

int64_t RetestWindowOfPc() {
    return RetestWindowOf(RetestHoursOfPc()).value_or(DEFAULT_RETEST_WINDOW_SECONDS);
}
