#pragma once
// quorvane-cli end to end: runs of the built program on lame files that mutagen tags and reads.
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

inline std::string Text(const fs::path& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

// A temporary directory with a settings file of its own.
class CliTest : public ::testing::Test {
protected:
    CommandResult Run(const std::vector<std::string>& args) { return Cli(dir_ / "s.ini", args); }
    // "<exit status> <standard error>" of a run.
    std::string Outcome(const std::vector<std::string>& args) {
        const CommandResult r = Run(args);
        return std::to_string(r.status) + " " + r.err;
    }
    // dir/name made by lame (64 kbit/s, half a second), tagged ID3v2.`version` with `frames`.
    std::string Mp3(const std::string& name, const std::vector<std::string>& frames = {}, int version = 4) {
        fs::create_directories((dir_ / name).parent_path());
        MakeMp3(dir_ / name, {"-b", "64"}, 0.5);
        if (!frames.empty()) TagWithMutagen(dir_ / name, version, frames);
        return (dir_ / name).string();
    }
    TempDir dir_;
};

}  // namespace quorvane::test
