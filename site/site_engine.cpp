#include "site/site_engine.h"

#include <optional>

namespace {

// What a failure means, by engine: the first rule whose engine, state (a whole SQLSTATE, or its
// class of two characters) and native error (0: any) match decides.
struct FaultRule {
    std::optional<SiteEngine> engine;  // none: every engine
    const char* state;
    long native;
    SiteFault fault;
};

const FaultRule kFaultRules[] = {
    {SiteEngine::PostgreSql, "23505", 0, SiteFault::AlreadyThere},
    // MariaDB and SQL Server give every constraint 23000; their own numbers tell a duplicate.
    {SiteEngine::MariaDb, "23000", 1062, SiteFault::AlreadyThere},
    {SiteEngine::SqlServer, "23000", 2627, SiteFault::AlreadyThere},
    {SiteEngine::SqlServer, "23000", 2601, SiteFault::AlreadyThere},
    // An engine not known here: any constraint may be the identity, stored meanwhile.
    {SiteEngine::Other, "23", 0, SiteFault::AlreadyThere},
    {std::nullopt, "40", 0, SiteFault::TryAgain},
    // Data exceptions (too long, out of range, not a character) and the other constraints.
    {std::nullopt, "22", 0, SiteFault::RowRefused},
    {std::nullopt, "23", 0, SiteFault::RowRefused},
    // MariaDB's strict mode: a text its column's character set cannot hold.
    {SiteEngine::MariaDb, "HY000", 1366, SiteFault::RowRefused},
};

bool StateMatches(const char* rule, const std::string& state) {
    return state.compare(0, std::char_traits<char>::length(rule), rule) == 0;
}

}  // namespace

SiteEngine EngineOfDbmsName(const std::string& dbmsName) {
    if (dbmsName.find("PostgreSQL") != std::string::npos) return SiteEngine::PostgreSql;
    if (dbmsName.find("MariaDB") != std::string::npos ||
        dbmsName.find("MySQL") != std::string::npos)
        return SiteEngine::MariaDb;
    if (dbmsName.find("SQL Server") != std::string::npos) return SiteEngine::SqlServer;
    return SiteEngine::Other;
}

SiteFault FaultOf(SiteEngine engine, const std::string& sqlState, long nativeError) {
    for (const FaultRule& rule : kFaultRules) {
        if ((!rule.engine || *rule.engine == engine) && StateMatches(rule.state, sqlState) &&
            (rule.native == 0 || rule.native == nativeError))
            return rule.fault;
    }
    return SiteFault::Kept;
}
