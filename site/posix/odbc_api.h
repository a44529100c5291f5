// unixODBC's headers (unixodbc-dev).
#pragma once

#include <sql.h>
#include <sqlext.h>
