// quorvane-cli: the core's operations for scripts and large batches.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "platform/text_codec.h"
#include "platform/user_prompts.h"

namespace {

using quorvane::cli::CliCommand;

const CliCommand kCommands[] = {
    {"info", "info [--json] PATH...", &quorvane::cli::RunInfo},
    {"list", "list [--json] PATH...", &quorvane::cli::RunList},
    {"show", "show [--json] PATH...", &quorvane::cli::RunShow},
    {"set", "set [--title T] [--artist A] [--album A] [--year Y] [--track N] [--genre G] [--v1-title T] [--v1-artist A] [--v1-album A] [--v1-year Y] [--v1-comment C] [--v1-track N] [--v1-genre NAME] PATH...", &quorvane::cli::RunSet},
    {"remove-v1", "remove-v1 PATH...", &quorvane::cli::RunRemoveV1},
    {"remove-v2", "remove-v2 PATH...", &quorvane::cli::RunRemoveV2},
    {"config", "config get NAME | config set NAME VALUE... | config list", &quorvane::cli::RunConfig},
    {"regex-test", "regex-test --regex R [--json] SUBJECT...", &quorvane::cli::RunRegexTest},
};

void PrintUsage(FILE* out) {
    std::fprintf(out, "usage: quorvane-cli [--settings FILE] [--no-recurse] [--dry-run] [--yes] COMMAND [OPTIONS] PATH...\n\ncommands:\n");
    for (const CliCommand& c : kCommands) std::fprintf(out, "  %s\n", c.usage);
}

}  // namespace

int main(int argc, char** argv) {
    // Global options may also come before the command; they are handed to it.
    std::vector<std::string> global;
    int first = 1;
    while (first < argc) {
        const std::string a = argv[first];
        if (a == "--no-recurse" || a == "--dry-run" || a == "--yes") {
            global.push_back(a);
            ++first;
        } else if (a == "--settings" && first + 1 < argc) {
            global.push_back(a);
            global.push_back(argv[first + 1]);
            first += 2;
        } else {
            break;
        }
    }
    if (argc - first < 1) {
        PrintUsage(stderr);
        return quorvane::cli::kExitUsage;
    }
    const std::string name = argv[first];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return 0;
    }
    if (name == "--version") {
        std::printf("%s\n", quorvane::U8(quorvane::ProgramTitle()).c_str());
        return 0;
    }
    for (const CliCommand& c : kCommands) {
        if (name == c.name) {
            std::vector<std::string> args = global;
            args.insert(args.end(), argv + first + 1, argv + argc);
            return c.run(args);
        }
    }
    std::fprintf(stderr, "quorvane-cli: unknown command '%s'\n", name.c_str());
    PrintUsage(stderr);
    return quorvane::cli::kExitUsage;
}
