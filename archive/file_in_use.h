// Whether a system error code says that another program holds a file (Windows' sharing and
// lock violations), which SQLite reports only as a file it cannot open.
#pragma once

bool IsFileInUseError(int systemError);
