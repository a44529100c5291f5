// The ODBC headers need windows.h's types before them.
#pragma once

#include <windows.h>
// windows.h first
#include <sql.h>
#include <sqlext.h>
