// The SQL of a history filter and the walk over a statement's rows, shared by the archive's
// readers (the history's list, counts and chart; the report).
#pragma once

#include <sqlite3.h>

#include <string>

#include "archive/archive.h"
#include "archive/archive_query.h"
#include "archive/sqlite_statement.h"

// The filter's conditions on `readings r`, " WHERE ..."; its values are bound by BindFilter.
std::string WhereOf(const ArchiveFilter& filter);
void BindFilter(Statement& statement, const ArchiveFilter& filter);

// The ids of the readings that have a corrective action recorded, a query; and conditions on
// `readings r`: it asks for an action; one is recorded for it.
extern const char ACTED_READINGS_SQL[];
extern const char NEEDS_ACTION_SQL[];
std::string HasActionSql();

// The columns of the view, from the tables behind it, for ReadMeasurement: "SELECT ... FROM
// readings r JOIN ...", to be followed by the conditions.
extern const char MEASUREMENT_COLUMNS[];
// The row's columns from `first` on.
void ReadMeasurement(const Statement& row, Measurement& m, int first = 0);

// The verdict stored as its code.
Verdict VerdictOf(int64_t code);

// Runs a statement to its end, handing each row to `visit`, which returns false to stop.
template <class Visit>
ArchiveStatus EachRow(Archive& archive, Statement& statement, Visit visit) {
    if (statement.Prepared() != SQLITE_OK) return StatusOf(archive.Handle(), statement.Prepared());
    int result;
    while ((result = statement.Step()) == SQLITE_ROW)
        if (!visit(statement)) return {};
    return StatusOf(archive.Handle(), result);
}
