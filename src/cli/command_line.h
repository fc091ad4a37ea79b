#pragma once
// The command line of quorvane-cli: one CLI11 parser, the global options (accepted before
// and after every command), the commands registered on it and the exit status.
//
// Adding a command:
//  1. Write src/cli/command_<name>.cpp with `void Register<Name>Command(CommandLine& cli)`.
//     It calls cli.AddCommand("<name>", "<one line for --help>", run) and adds the
//     command's own options to the CLI::App it returns, bound to a struct held by a
//     std::shared_ptr that `run` captures. Files and directories: cli.AddPathArguments,
//     then FileSet (file_set.h) in `run`; other words: cli.AddWords. A command with subcommands ("export m3u") passes no
//     `run` and adds each subcommand with AddCommand(name, text, run, &parent).
//  2. Declare the function below and add it to kCommands in command_line.cpp (the order
//     of --help).
// The global options, --help, usage errors (status 2) and the prompts come with AddCommand;
// `run` returns the exit status, normally context.ExitStatus().
#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/progress_prompts.h"

namespace quorvane::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFileError = 1;
inline constexpr int kExitUsage = 2;

struct GlobalOptions {
    std::string settingsPath;  // empty: the user's settings file
    bool noRecurse = false;
    bool dryRun = false;
    bool yes = false;
};

// What a running command shares with the others: the global options, standard error's
// progress line and the prompts (which count the errors shown).
class CommandContext {
public:
    explicit CommandContext(const GlobalOptions& global);
    ~CommandContext();
    CommandContext(const CommandContext&) = delete;
    CommandContext& operator=(const CommandContext&) = delete;

    const GlobalOptions& Global() const { return global_; }
    CliPrompts& Prompts() { return prompts_; }
    ProgressLine& Progress() { return progress_; }
    // Opens the settings file of --settings, or the user's; its warnings go through
    // Prompts(). False, with the reason on standard error, when it cannot be opened.
    bool OpenSettings();
    // Subdirectories are scanned: the "Recurse" setting, unless --no-recurse.
    bool Recurse() const;
    // kExitFileError once an error was shown, else kExitOk.
    int ExitStatus() const;

private:
    const GlobalOptions& global_;
    ProgressLine progress_;
    CliPrompts prompts_;
};

class CommandLine {
public:
    using RunFunction = std::function<int(CommandContext&)>;

    CommandLine();
    // Adds a command (or, with `parent`, a subcommand of one) that takes the global
    // options too. Without `run` the command needs one of its subcommands.
    CLI::App& AddCommand(const std::string& name, const std::string& description, RunFunction run,
                         CLI::App* parent = nullptr);
    // Words that are not options (PATH..., SUBJECT...), one or more; the words after "--"
    // go here whatever they look like.
    void AddWords(CLI::App& command, const std::string& name, std::vector<std::string>& words,
                  const std::string& description);
    // The PATH... of a command that works on files and directories.
    void AddPathArguments(CLI::App& command, std::vector<std::string>& paths);
    // Parses the arguments and runs the command named; the process's exit status.
    int Run(int argc, char** argv);

private:
    void AddGlobalOptions(CLI::App& app);
    // Puts the words after "--" back in place of their stand-ins; false when one was
    // taken by anything but AddWords.
    bool RestoreWordsAfterMark(const std::vector<std::string>& afterMark);
    int UsageError(const CLI::ParseError& error, const std::vector<std::string>& afterMark);

    CLI::App app_;
    GlobalOptions global_;
    std::vector<std::pair<CLI::App*, RunFunction>> runs_;
    std::vector<std::vector<std::string>*> words_;
};

// The commands, one file each.
void RegisterInfoCommand(CommandLine& cli);
void RegisterListCommand(CommandLine& cli);
void RegisterShowCommand(CommandLine& cli);
void RegisterSetCommand(CommandLine& cli);
void RegisterRemoveCommands(CommandLine& cli);
void RegisterConfigCommand(CommandLine& cli);
void RegisterRegexTestCommand(CommandLine& cli);
void RegisterCopyV1Command(CommandLine& cli);
void RegisterCapitalizeCommand(CommandLine& cli);
void RegisterUnderscoresCommand(CommandLine& cli);
void RegisterNumberCommand(CommandLine& cli);
void RegisterCommentCommand(CommandLine& cli);
void RegisterExportCommand(CommandLine& cli);
void RegisterRenameCommand(CommandLine& cli);
void RegisterGenerateCommand(CommandLine& cli);
void RegisterPictureCommand(CommandLine& cli);

}  // namespace quorvane::cli
