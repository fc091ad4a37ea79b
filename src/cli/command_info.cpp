#include "cli/cli_command.h"

#include <cstdio>

namespace quorvane::cli {

// Filled in with the stream analysis.
int RunInfo(const std::vector<std::string>& args) {
    (void)args;
    std::fprintf(stderr, "quorvane-cli info: not built yet\n");
    return kExitUsage;
}

}  // namespace quorvane::cli
