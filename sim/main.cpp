#include <cstdio>
#include <string>
#include <vector>

#include "sim/SimLoop.h"
#include "sim/SimOptions.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto options = tallix::ParseSimOptions(args, error);
    if (!options) {
        (void)std::fprintf(stderr, "tallix-sim: %s\n%s", error.c_str(), tallix::SimUsage().c_str());
        return 2;
    }
    if (options->help) {
        (void)std::fputs(tallix::SimUsage().c_str(), stdout);
        return 0;
    }
    return tallix::RunSim(*options);
}
