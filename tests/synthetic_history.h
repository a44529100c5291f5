// Measurements made up for the report's sample, its tests and its bench: a few standards over a
// period, values that rise in summer and scatter around each standard's level, now and then far
// above it, and a few zeros. The same seed gives the same rows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "measurement/measurement.h"
#include "report/report.h"

struct SyntheticPlan {
    std::string from = "2026-01-01", to = "2026-03-31";  // the first and the last day
    int64_t count = 600;
    uint32_t seed = 1;
    std::vector<std::string> sources = {"COM3"};
};

// Calls `each` with every measurement, oldest first.
void ForEachSyntheticMeasurement(const SyntheticPlan& plan,
                                 const std::function<void(const Measurement&)>& each);

// A report over the plan's measurements, tallied as the archive would count them.
ReportInput SyntheticReport(const SyntheticPlan& plan);
