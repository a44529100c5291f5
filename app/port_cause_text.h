// The operator's words for why a port failed.
#pragma once

#include "link/comm_port.h"

// The string-table text of a cause; IDS_PORT_OTHER ("%d" the system's code, "%s" the step)
// for a cause of no name, 0 for none.
int PortCauseTextId(PortCause cause);
