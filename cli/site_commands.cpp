#include "cli/site_commands.h"

#include <iostream>
#include <sstream>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/string_table.h"
#include "res/resource.h"
#include "site/odbc.h"
#include "site/site_cause_text.h"
#include "site/site_secret.h"
#include "site/site_setting.h"

namespace {

void Say(const std::string& line) { WriteText(Stream::Err, "ombrix: " + line + "\n"); }

// The connection string of --site-file, else the one line of standard input.
bool ConnectionToStore(const Arguments& arguments, std::string& connection) {
    connection = arguments.site;
    if (!connection.empty()) return true;
    std::ostringstream input;
    input << std::cin.rdbuf();
    return OneSiteLine(input.str(), connection);
}

int Set(const Arguments& arguments) {
    if (arguments.machine && !CanStoreMachineSetting()) {
        Say("--machine stores the machine's setting in the Windows registry: not here");
        return EXIT_USAGE;
    }
    std::string connection, place;
    if (!ConnectionToStore(arguments, connection)) {
        Say("site set reads one line, the connection string, from standard input or --site-file: "
            "none given");
        return EXIT_USAGE;
    }
    if (const std::string failed = StoreSiteSetting(connection, arguments.machine, place);
        !failed.empty()) {
        Say(failed);
        return EXIT_FILE;
    }
    WriteText(Stream::Out, place + ": " + MaskSecrets(connection) + "\n");
    return EXIT_DONE;
}

// The site that sync would use: the command line's (--site-file already read), else the PC's.
bool ChooseSite(const Arguments& arguments, SiteSource& source, int& status) {
    source = ChosenSite(arguments.site, "");
    if (!arguments.siteFile.empty()) source.place = arguments.siteFile;
    if (!source.refusal.empty()) {
        Say(source.refusal);
        status = EXIT_USAGE;
    } else if (source.connection.empty()) {
        WriteText(Stream::Err, BoxLine(IDS_SITE_NOT_SET) + "\n");
        status = EXIT_USAGE;
    }
    return status == EXIT_DONE;
}

int Show(const Arguments& arguments) {
    SiteSource source;
    int status = EXIT_DONE;
    if (!ChooseSite(arguments, source, status)) return status;
    WriteText(Stream::Out, source.place + ": " + MaskSecrets(source.connection) + "\n");
    return EXIT_DONE;
}

// Connects and asks the driver where it arrived; creates nothing on the server.
int Test(const Arguments& arguments) {
    SiteSource source;
    int status = EXIT_DONE;
    if (!ChooseSite(arguments, source, status)) return status;
    std::string diagnostic;
    const auto connection =
        OdbcConnection::Connect(source.connection, SITE_TIMEOUT_SECONDS, diagnostic);
    if (!connection) return SiteFailed(source.connection, {SiteStatus::Unreachable, diagnostic});
    const OdbcConnection::Reach reach = connection->Reached();
    const auto named = [](const std::string& name) { return name.empty() ? "(not named)" : name; };
    WriteText(Stream::Out, "reached server " + named(reach.server) + ", database " +
                               named(reach.database) + ", login " + named(reach.user) + " (" +
                               source.place + ")\n");
    return EXIT_DONE;
}

}  // namespace

int SiteFailed(const std::string& connection, const SiteStatus& status) {
    WriteText(
        Stream::Err,
        BoxLine(SiteFailureTextId(status), MaskSecrets(connection), status.diagnostic) + "\n");
    return EXIT_SITE;
}

int RunSite(const Arguments& arguments, RecordArchive&) {
    if (arguments.siteAction == "set") return Set(arguments);
    if (arguments.siteAction == "show") return Show(arguments);
    return Test(arguments);
}
