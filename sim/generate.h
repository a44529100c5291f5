// Made-up lists for load tests and benchmarks.
#pragma once

#include <cstddef>

#include "sim/device.h"

void AddGeneratedUsers(SimState& state, size_t count);
void AddGeneratedStandards(SimState& state, size_t count);
void AddGeneratedRecords(SimState& state, size_t count);
