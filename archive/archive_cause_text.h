// The words for why the archive failed, from the string table shared by the window and ombrix.
#pragma once

#include "archive/archive.h"

// The string-table text (IDS_ARCHIVE_*, "%1" the file) that tells a cause.
int ArchiveCauseTextId(ArchiveCause cause);
