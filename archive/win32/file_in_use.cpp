#include <windows.h>

#include "archive/file_in_use.h"

bool IsFileInUseError(int systemError) {
    return systemError == ERROR_SHARING_VIOLATION || systemError == ERROR_LOCK_VIOLATION;
}
