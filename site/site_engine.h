// The database servers a site may run on, and what their errors mean for the rows of a push:
// one table of SQLSTATEs (and native errors, where a state is shared) per engine.
#pragma once

#include <string>

enum class SiteEngine { PostgreSql, MariaDb, SqlServer, Other };

// The engine behind the driver's name of its product (SQL_DBMS_NAME).
SiteEngine EngineOfDbmsName(const std::string& dbmsName);

enum class SiteFault {
    AlreadyThere,  // a unique key: a row is stored already (a push cut short, another PC)
    TryAgain,      // a serialization failure or deadlock: the same rows may go a moment later
    RowRefused,    // the server refuses a row's content (a CHECK, a narrow column, a collation)
    Kept,          // anything else (the server down, a login refused, the table being changed)
};

SiteFault FaultOf(SiteEngine engine, const std::string& sqlState, long nativeError);
