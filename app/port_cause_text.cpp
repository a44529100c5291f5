#include "app/port_cause_text.h"

#include "res/resource.h"

int PortCauseTextId(PortCause cause) {
    switch (cause) {
        case PortCause::None:
            return 0;
        case PortCause::NotFound:
            return IDS_PORT_NOT_FOUND;
        case PortCause::InUse:
            return IDS_PORT_IN_USE;
        case PortCause::AccessDenied:
            return IDS_PORT_ACCESS_DENIED;
        case PortCause::NotSerial:
            return IDS_PORT_NOT_SERIAL;
        case PortCause::SpeedRefused:
            return IDS_PORT_SPEED_REFUSED;
        case PortCause::SettingsRefused:
            return IDS_PORT_SETTINGS_REFUSED;
        case PortCause::LineGone:
            return IDS_PORT_LINE_GONE;
        case PortCause::NoResources:
            return IDS_PORT_NO_RESOURCES;
        case PortCause::BadName:
            return IDS_PORT_BAD_NAME;
        default:
            return IDS_PORT_OTHER;
    }
}
