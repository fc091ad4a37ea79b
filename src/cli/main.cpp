// quorvane-cli: the core's operations for scripts and large batches.
#include "cli/command_line.h"

int main(int argc, char** argv) {
    quorvane::cli::CommandLine commandLine;
    return commandLine.Run(argc, argv);
}
