// The console program's commands of the archive alone: import, history and report.
#pragma once

struct Arguments;
class RecordArchive;

// Keeps the record CSV files named on the command line, each whole or not at all.
int RunImport(const Arguments& arguments, RecordArchive& archive);

// Writes the archived measurements of the filter, newest first, as the record CSV.
int RunHistory(const Arguments& arguments, RecordArchive& archive);

// Writes the audit report of the filter's measurements as one HTML file.
int RunReport(const Arguments& arguments, RecordArchive& archive);
