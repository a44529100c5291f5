// Where the site's engines differ in SQL, in one table: the types and defaults of the table of
// version 2, how a time is given as a parameter, how a time becomes seconds for counting by
// buckets on the server, and how a query asks for its first rows only (a page), or for the rows
// after some it skips (the history window's jump into its list). Everything else
// the program says in the SQL that all of them take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "site/site_engine.h"

struct SiteDialect {
    SiteEngine engine;
    const char* text;          // a text of up to % characters: "varchar(%)"
    const char* timestamp;     // a time to the second, without a zone
    const char* identity;      // the surrogate key's column type and constraint
    const char* utcNow;        // the server's current UTC time, as a column's default
    const char* hash;          // 64 hexadecimal digits, compared byte by byte
    const char* tableOptions;  // after the column list
    const char* seconds;       // seconds since 1970 of the timestamp %, as an integer
    const char* divide;        // integer division, the quotient rounded towards zero
    const char* firstRows;     // after ORDER BY: the first % rows only
    const char* skipRows;      // after ORDER BY: # rows skipped, then the first % rows only
    // Adding to a row of counts that may be there: after an INSERT's VALUES, the clause that
    // updates the row whose key (%) is taken instead, or none where only MERGE does it.
    const char* onConflict;
    const char* existing;  // in that clause, the column % of the row that is there
    const char* incoming;  // and of the row the INSERT gave
    const char* merge;     // otherwise: how MERGE INTO the table % begins, its row called t
    const char* schema;    // the schema a login's unqualified names are in, or none
    // Rows read to be changed by this transaction, locked until it ends: the words after the
    // table's name, and those after the query.
    const char* lockHint;
    const char* forUpdate;
    // After a query of a transaction that has read before: the words that make it read what
    // other transactions have committed since (MariaDB's reads repeat the transaction's first).
    const char* latestRead;
    // Said once on every connection, before anything else; none where nothing needs saying.
    const char* session;
};

const SiteDialect& DialectOf(SiteEngine engine);

// `pattern` of the table with its % replaced by `value`.
std::string Filled(const std::string& pattern, const std::string& value);

// The engine's type for a text of up to `characters` characters.
std::string TextType(const SiteDialect& dialect, int characters);

// The statements that make the table of version 2 and its indexes, in order.
std::vector<std::string> CreateTableV2(const SiteDialect& dialect);

// The statement that makes the table of corrective actions, ombrix_actions.
std::string CreateActionsTable(const SiteDialect& dialect);

// A marker for a time given as its text "YYYY-MM-DD HH:MM:SS", where the column is a timestamp.
std::string TimeMarker(const SiteDialect& dialect);

// Seconds since 1970-01-01 00:00:00 of `timestamp` (an expression of the engine's timestamp type),
// as a BIGINT on the server.
std::string SecondsOf(const SiteDialect& dialect, const std::string& timestamp);

// `expression` (a timestamp's seconds) as the number of the bucket of `width` seconds counted
// from `origin` that holds it; the expression must not be earlier than `origin`.
std::string BucketOf(const SiteDialect& dialect, const std::string& expression, int64_t origin,
                     int64_t width);

// The words after a query's ORDER BY that keep its first `rows` rows only.
std::string FirstRows(const SiteDialect& dialect, size_t rows);
// The words after a query's ORDER BY that skip its first `skip` rows and keep the next `rows`.
std::string RowsAfter(const SiteDialect& dialect, size_t skip, size_t rows);
