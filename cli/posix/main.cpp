#include <csignal>
#include <string>
#include <vector>

#include "cli/run.h"

int main(int argc, char** argv) {
    // A closed pipe on standard output is a write error, reported as such, not a silent end.
    std::signal(SIGPIPE, SIG_IGN);
    return RunOmbrix(std::vector<std::string>(argv + 1, argv + argc));
}
