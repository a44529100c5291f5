// The chart model as SVG, for the report (inline in its HTML) or a file of its own. Small for any
// input: lines of one style, and marks of one shape and verdict, share one path each.
#pragma once

#include <string>

#include "chart/chart_model.h"

std::string ChartSvg(const ChartModel& model);
