#pragma once
// One command of quorvane-cli: its name, its one-line usage and its entry point.
// A command returns the process exit status: 0 when every file went well, 1 when a
// file reported an error, 2 for usage errors.
#include <string>
#include <vector>

namespace quorvane::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFileError = 1;
inline constexpr int kExitUsage = 2;

struct CliCommand {
    const char* name;
    const char* usage;
    int (*run)(const std::vector<std::string>& args);
};

// Entry points, one per command file.
int RunInfo(const std::vector<std::string>& args);
int RunList(const std::vector<std::string>& args);
int RunShow(const std::vector<std::string>& args);
int RunSet(const std::vector<std::string>& args);
int RunRemoveV1(const std::vector<std::string>& args);
int RunRemoveV2(const std::vector<std::string>& args);
int RunConfig(const std::vector<std::string>& args);
int RunRegexTest(const std::vector<std::string>& args);

}  // namespace quorvane::cli
