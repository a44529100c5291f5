// The console program's commands of the archive alone: import, backup, history and report (of the
// archive, or with --site of the site archive), note, which records a corrective action, and
// sync, which pushes to the site archive.
#pragma once

struct Arguments;
class RecordArchive;

// Keeps the record CSV files and archives named on the command line, each whole or not at all.
int RunImport(const Arguments& arguments, RecordArchive& archive);

// Copies the archive, in use or not, to one checked file (--replace: over an existing one).
int RunBackup(const Arguments& arguments, RecordArchive& archive);

// Writes the archived measurements of the filter, newest first, as the record CSV.
int RunHistory(const Arguments& arguments, RecordArchive& archive);

// Writes the audit report of the filter's measurements as one HTML file.
int RunReport(const Arguments& arguments, RecordArchive& archive);

// Records the action on the one measurement of --at, --standard and --user.
int RunNote(const Arguments& arguments, RecordArchive& archive);

// Pushes every archived measurement that the site archive lacks.
int RunSync(const Arguments& arguments, RecordArchive& archive);
