// Where the site's engines differ in SQL, in one table: the types and defaults of the table of
// version 2, and how a time is given as a parameter. Everything else the program says in the
// SQL that all of them take.
#pragma once

#include <string>
#include <vector>

#include "site/site_engine.h"

struct SiteDialect {
    SiteEngine engine;
    const char* text;          // a text of up to N characters: "varchar(N)"
    const char* timestamp;     // a time to the second, without a zone
    const char* identity;      // the surrogate key's column type and constraint
    const char* utcNow;        // the server's current UTC time, as a column's default
    const char* hash;          // 64 hexadecimal digits, compared byte by byte
    const char* tableOptions;  // after the column list
};

const SiteDialect& DialectOf(SiteEngine engine);

// The statements that make the table of version 2 and its indexes, in order.
std::vector<std::string> CreateTableV2(const SiteDialect& dialect);

// A marker for a time given as its text "YYYY-MM-DD HH:MM:SS", where the column is a timestamp.
std::string TimeMarker(const SiteDialect& dialect);
