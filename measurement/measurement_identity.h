// A measurement's identity as one text: what makes it one measurement wherever it is kept (the
// archive's unique row, the site's identity_hash, the key of its corrective actions).
#pragma once

#include <cstddef>
#include <string>

#include "measurement/measurement.h"

// The longest identity a corrective action is keyed by, in characters.
constexpr size_t MEASUREMENT_IDENTITY_MAX = 200;

// "2026-03-07 14:00:00|150|홍길동|101|2001|세균": time, value, user name, ID1, ID2 and standard
// name, an absent cell empty, a backslash before any `|` or `\` within a name.
std::string MeasurementIdentity(const Measurement& row);
