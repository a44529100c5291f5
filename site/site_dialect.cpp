#include "site/site_dialect.h"

namespace {

const SiteDialect kDialects[] = {
    {SiteEngine::PostgreSql, "varchar(%)", "timestamp", "bigint GENERATED ALWAYS AS IDENTITY",
     // date_part's double rather than EXTRACT's numeric: cheaper for each of a year's rows.
     "(now() AT TIME ZONE 'utc')", "char(64)", "", "CAST(date_part('epoch', %) AS bigint)", "/",
     "LIMIT %", "LIMIT % OFFSET #", "ON CONFLICT (%) DO UPDATE SET", "ombrix_hourly_counts.%",
     "EXCLUDED.%", nullptr, "current_schema()", "", " FOR UPDATE", "", nullptr},
    // utf8mb4: every character (MariaDB's utf8 is utf8mb3); _bin: names compared as they are.
    {SiteEngine::MariaDb, "varchar(%)", "DATETIME", "BIGINT AUTO_INCREMENT", "(UTC_TIMESTAMP())",
     "CHAR(64) CHARACTER SET ascii COLLATE ascii_bin", " CHARACTER SET utf8mb4 COLLATE utf8mb4_bin",
     // TO_SECONDS counts from the year 0, 62167219200 at 1970: cheaper for each of a year's rows
     // than TIMESTAMPDIFF. `/` would give a decimal: DIV is MariaDB's integer division.
     "(TO_SECONDS(%) - 62167219200)", "DIV", "LIMIT %", "LIMIT % OFFSET #",
     // Its assignments see the columns assigned before them: each reads its own column only.
     "ON DUPLICATE KEY UPDATE", "%", "VALUES(%)", nullptr, "DATABASE()", "", " FOR UPDATE",
     // A locking read, rather than the session read committed: that would refuse every insert
     // where IT logs statements for replication (binlog_format STATEMENT).
     " LOCK IN SHARE MODE",
     // Else it turns NOT EXISTS into a table of every action's hash, built before the first row
     // of an open result's page (seconds on a large site) rather than looking up the few rows
     // the page needs.
     "SET SESSION optimizer_switch = 'exists_to_in=off'"},
    // nvarchar for Hangul whatever the database's collation; _BIN2 compares by code point.
    {SiteEngine::SqlServer, "nvarchar(%) COLLATE Latin1_General_100_BIN2", "datetime2(0)",
     "bigint IDENTITY(1,1)", "(SYSUTCDATETIME())", "char(64) COLLATE Latin1_General_100_BIN2", "",
     // DATEDIFF would overflow an int in 2038; no LIMIT: OFFSET ... FETCH after the ORDER BY.
     "DATEDIFF_BIG(SECOND, '1970-01-01', %)", "/", "OFFSET 0 ROWS FETCH NEXT % ROWS ONLY",
     "OFFSET # ROWS FETCH NEXT % ROWS ONLY", nullptr, "t.%", "n.%",
     // HOLDLOCK: two PCs adding the same missing row at once, one of them inserts it.
     "MERGE INTO % WITH (HOLDLOCK) AS t", "SCHEMA_NAME()", " WITH (UPDLOCK, ROWLOCK)", "", "",
     nullptr},
    // An engine not known here: the SQL standard's words.
    {SiteEngine::Other,
     "CHARACTER VARYING(%)",
     "TIMESTAMP",
     "BIGINT GENERATED ALWAYS AS IDENTITY",
     "CURRENT_TIMESTAMP",
     "CHARACTER(64)",
     "",
     "CAST(EXTRACT(EPOCH FROM %) AS BIGINT)",
     "/",
     "FETCH FIRST % ROWS ONLY",
     "OFFSET # ROWS FETCH FIRST % ROWS ONLY",
     nullptr,
     "t.%",
     "n.%",
     "MERGE INTO % AS t",
     nullptr,
     "",
     " FOR UPDATE",
     "",
     nullptr},
};

// Where a pattern of the table takes its value, and the rows skipped; no SQL word holds them.
constexpr char kPlaceholder = '%';
constexpr char kSkipPlaceholder = '#';

std::string FilledAt(const std::string& pattern, const std::string& value, char placeholder) {
    std::string text = pattern;
    if (const size_t at = text.find(placeholder); at != std::string::npos)
        text.replace(at, 1, value);
    return text;
}

}  // namespace

std::string Filled(const std::string& pattern, const std::string& value) {
    return FilledAt(pattern, value, kPlaceholder);
}

std::string TextType(const SiteDialect& dialect, int characters) {
    return Filled(dialect.text, std::to_string(characters));
}

const SiteDialect& DialectOf(SiteEngine engine) {
    for (const SiteDialect& dialect : kDialects)
        if (dialect.engine == engine) return dialect;
    return kDialects[sizeof kDialects / sizeof *kDialects - 1];
}

std::vector<std::string> CreateTableV2(const SiteDialect& d) {
    const std::string name = TextType(d, 50), longText = TextType(d, 255);
    std::string table = "CREATE TABLE ombrix_measurements (\n";
    table += "  id " + std::string(d.identity) + " PRIMARY KEY,\n";
    table += "  measured_at " + std::string(d.timestamp) + " NOT NULL,\n";
    table += "  user_no INTEGER,\n";
    table += "  user_name " + name + ",\n";
    table += "  id1 BIGINT,\n  id2 BIGINT,\n  standard_no INTEGER,\n";
    table += "  standard_name " + name + ",\n";
    table += "  safety_index INTEGER,\n  danger_index INTEGER,\n  value INTEGER NOT NULL,\n";
    table += "  verdict " + TextType(d, 4) + " NOT NULL,\n";
    table += "  source " + longText + ",\n";
    table += "  archived_at " + std::string(d.timestamp) + ",\n";
    table += "  pc " + longText + ",\n";
    table += "  windows_user " + longText + ",\n";
    table += "  received_at " + std::string(d.timestamp) + " DEFAULT " + d.utcNow + " NOT NULL,\n";
    table += "  identity_hash " + std::string(d.hash) + " NOT NULL,\n";
    table += "  CONSTRAINT ombrix_measurements_identity UNIQUE (identity_hash)\n)";
    table += d.tableOptions;
    const char* on = " ON ombrix_measurements ";
    // _time pages the rows in time order; _counting holds every column the counting by buckets
    // reads, so that a period is counted from the index alone (MariaDB reads a third of the
    // bytes); _source lets MariaDB find a period's sources by skipping from one to the next.
    return {table,
            std::string("CREATE INDEX ombrix_measurements_time") + on + "(measured_at)",
            std::string("CREATE INDEX ombrix_measurements_standard") + on +
                "(standard_name, measured_at)",
            std::string("CREATE INDEX ombrix_measurements_pc") + on + "(pc, measured_at)",
            std::string("CREATE INDEX ombrix_measurements_counting") + on +
                "(measured_at, standard_name, verdict, safety_index, danger_index, value)",
            std::string("CREATE INDEX ombrix_measurements_source") + on + "(source, measured_at)"};
}

std::string CreateActionsTable(const SiteDialect& d) {
    std::string table = "CREATE TABLE ombrix_actions (\n";
    table += "  id " + std::string(d.identity) + " PRIMARY KEY,\n";
    table += "  identity_hash " + std::string(d.hash) + " NOT NULL,\n";
    table += "  action_text " + TextType(d, 2000) + " NOT NULL,\n";
    table += "  action_by " + TextType(d, 255) + " NOT NULL,\n";
    table += "  action_at " + std::string(d.timestamp) + " NOT NULL,\n";
    table += "  pc " + TextType(d, 255) + ",\n";
    table += "  received_at " + std::string(d.timestamp) + " DEFAULT " + d.utcNow + " NOT NULL,\n";
    // A version is what one person wrote about one measurement at one second: pushed again
    // after a lost reply, or from a second PC that holds a copy of the archive, it is the same
    // version, so `pc` (the PC that pushed it first) is not part of it, nor is the text, which
    // no engine indexes at its length (the archive never keeps two versions of one person in one
    // second). The key leads with the measurement's hash: it is the index the report's look-ups
    // by measurement use, and a second index on the hash alone would only slow the inserts.
    table += "  CONSTRAINT ombrix_actions_version UNIQUE (identity_hash, action_at, action_by)\n)";
    return table + d.tableOptions;
}

std::string TimeMarker(const SiteDialect& dialect) {
    return std::string("CAST(? AS ") + dialect.timestamp + ")";
}

std::string SecondsOf(const SiteDialect& dialect, const std::string& timestamp) {
    return Filled(dialect.seconds, timestamp);
}

std::string BucketOf(const SiteDialect& dialect, const std::string& expression, int64_t origin,
                     int64_t width) {
    return "((" + expression + ") - " + std::to_string(origin) + ") " + dialect.divide + " " +
           std::to_string(width);
}

std::string FirstRows(const SiteDialect& dialect, size_t rows) {
    return Filled(dialect.firstRows, std::to_string(rows));
}

std::string RowsAfter(const SiteDialect& dialect, size_t skip, size_t rows) {
    return Filled(FilledAt(dialect.skipRows, std::to_string(skip), kSkipPlaceholder),
                  std::to_string(rows));
}
