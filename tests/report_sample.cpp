// Writes a sample audit report of made-up measurements: three months of four standards. The
// browser test renders it; the guide's picture of a report is taken from it.
//
//   report_sample FILE.html [COUNT] [--log]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "tests/synthetic_history.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: report_sample FILE.html [COUNT] [--log]\n");
        return 2;
    }
    SyntheticPlan plan;
    ValueAxis axis = ValueAxis::Linear;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--log") == 0) {
            axis = ValueAxis::Logarithmic;
        } else {
            plan.count = std::atoll(argv[i]);
        }
    }
    ReportInput input = SyntheticReport(plan);
    input.axis = axis;
    std::ofstream file(argv[1], std::ios::binary);
    file << ReportHtml(input);
    if (!file.flush()) {
        std::fprintf(stderr, "report_sample: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
