#include <windows.h>

#include "link/comm_port_internal.h"

// A COM port that another program holds open answers ERROR_ACCESS_DENIED; a file that is no
// serial port refuses the communication calls as an invalid function.
PortCause CauseOfSystemError(int code) {
    switch (static_cast<DWORD>(code)) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DEV_NOT_EXIST:
            return PortCause::NotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return PortCause::InUse;
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
            return PortCause::NotSerial;
        case ERROR_INVALID_PARAMETER:
            return PortCause::SettingsRefused;
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_GEN_FAILURE:
        case ERROR_BAD_COMMAND:
        case ERROR_NOT_READY:
        case ERROR_INVALID_HANDLE:
            return PortCause::LineGone;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
        case ERROR_TOO_MANY_OPEN_FILES:
        case ERROR_NO_SYSTEM_RESOURCES:
            return PortCause::NoResources;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
            return PortCause::BadName;
        default:
            return PortCause::Other;
    }
}
