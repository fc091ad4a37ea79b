#pragma once
// quorvane-cli end to end: runs of the built program; mutagen tags and reads the files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/mutagen_support.h"
#include "support/test_support.h"

namespace quorvane::test {

namespace fs = std::filesystem;

// quorvane-cli with `args`, then "--settings FILE": global options after the command.
inline CommandResult Cli(const fs::path& settings, std::vector<std::string> args) {
    args.insert(args.begin(), CliPath());
    args.insert(args.end(), {"--settings", settings.string()});
    return RunCommand(args);
}

// Tags `path` with mutagen (TagWithMutagen).
inline void Tag(const fs::path& path, int version, const std::vector<std::string>& frames, bool v1 = false) {
    TagWithMutagen(path, version, frames, v1);
}

}  // namespace quorvane::test
