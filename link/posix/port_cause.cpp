#include <cerrno>

#include "link/comm_port_internal.h"

// A terminal that another program holds for itself refuses the open as busy, or the lock as
// would-block (EAGAIN); one whose device has gone reads EIO.
PortCause CauseOfSystemError(int code) {
    switch (code) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return PortCause::NotFound;
        case EBUSY:
        case EWOULDBLOCK:
            return PortCause::InUse;
        case EACCES:
        case EPERM:
        case EROFS:
            return PortCause::AccessDenied;
        case ENOTTY:
            return PortCause::NotSerial;
        case EINVAL:
            return PortCause::SettingsRefused;
        case EIO:
        case EPIPE:
            return PortCause::LineGone;
        case ENOMEM:
        case EMFILE:
        case ENFILE:
            return PortCause::NoResources;
        case ENAMETOOLONG:
        case ENOTDIR:
        case ELOOP:
            return PortCause::BadName;
        default:
            return PortCause::Other;
    }
}
