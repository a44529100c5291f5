#include <cstdlib>

#include "archive/archive_path.h"

std::string DefaultArchivePath() {
    const char* data = std::getenv("XDG_DATA_HOME");
    // The XDG rules ignore a relative folder.
    std::string folder = data && data[0] == '/' ? data : "";
    if (folder.empty()) {
        const char* home = std::getenv("HOME");
        folder = std::string(home ? home : "") + "/.local/share";
    }
    return folder + "/ombrix/archive.sqlite3";
}
