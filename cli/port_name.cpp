#include "cli/port_name.h"

#include "app/port_name.h"

bool IsComPortName(const std::string& name) { return ComPortNumber(name) != 0; }
