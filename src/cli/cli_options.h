#pragma once
// What the batch commands share: the global options, the settings file, the files named
// on the command line (directories scanned like "Add directory") and the save.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/user_prompts.h"

namespace quorvane {
class DirectoryLoader;
class Mp3FileRecord;
}  // namespace quorvane

namespace quorvane::cli {

struct GlobalOptions {
    std::string settingsPath;  // empty: the user's settings file
    bool noRecurse = false;
    bool dryRun = false;
    bool yes = false;
};

// A command's arguments: the global options, its own flags (--name or --name VALUE,
// in the order given) and the paths.
struct ParsedArgs {
    GlobalOptions global;
    std::vector<std::pair<std::string, std::string>> options;
    std::vector<std::string> paths;
};

// `valueOptions` take a value, `flagOptions` do not. False with a message on stderr
// for anything else.
bool ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions,
               const std::vector<std::string>& flagOptions, ParsedArgs& parsed, const char* command);

// False, with a message, when no path was given.
bool RequirePaths(const ParsedArgs& parsed, const char* command);

// Opens the settings file; prints the reason and returns false when it cannot.
bool OpenSettings(const GlobalOptions& options);

// Standard error is a terminal: progress lines are wanted.
bool ShowProgress();

// The records of the files and directories named, in the order given.
class FileSet {
public:
    explicit FileSet(UserPrompts& prompts);
    ~FileSet();
    // Loads every path; a path that is neither an .mp3 file nor a directory is reported.
    void Load(const std::vector<std::string>& paths, bool recurse);
    const std::vector<Mp3FileRecord*>& Records() const { return records_; }
    // Paths that were neither a directory nor an .mp3 file.
    size_t PathErrors() const { return pathErrors_; }

private:
    UserPrompts& prompts_;
    std::unique_ptr<DirectoryLoader> loader_;
    std::vector<std::unique_ptr<Mp3FileRecord>> single_;
    std::vector<Mp3FileRecord*> records_;
    size_t pathErrors_ = 0;
};

// Saves every record that needs saving with the saver thread, or with --dry-run prints
// what would be written. Returns the exit status (errors counted by `prompts`).
int SaveRecords(const std::vector<Mp3FileRecord*>& records, const GlobalOptions& options, StderrPrompts& prompts);

// The exit status from the errors shown so far and those reported otherwise.
int ExitStatus(const StderrPrompts& prompts, size_t otherErrors);

// Writing JSON values.
std::string JsonString(std::u16string_view text);
std::string JsonString(std::string_view utf8);

}  // namespace quorvane::cli
