#include "cli/command_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string_view>

#include "platform/settings_store.h"
#include "platform/text_codec.h"

namespace quorvane::cli {
namespace {

constexpr void (*kCommands[])(CommandLine&) = {
    RegisterInfoCommand,   RegisterListCommand,   RegisterShowCommand,     RegisterSetCommand,
    RegisterRemoveCommands, RegisterConfigCommand, RegisterRegexTestCommand,
    RegisterCopyV1Command, RegisterCapitalizeCommand, RegisterUnderscoresCommand, RegisterNumberCommand,
    RegisterCommentCommand,
    RegisterExportCommand,
    RegisterRenameCommand,  RegisterGenerateCommand,
    RegisterPictureCommand,
};

// Stands for the word after "--" whose index follows.
constexpr std::string_view kMarkedWord = "\x1f--";

// The word after "--" that `word` stands for; null when it is not a stand-in.
const std::string* MarkedWord(const std::string& word, const std::vector<std::string>& afterMark) {
    if (!word.starts_with(kMarkedWord)) return nullptr;
    const std::string digits = word.substr(kMarkedWord.size());
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) {
        return nullptr;
    }
    const size_t index = std::stoul(digits);
    return index < afterMark.size() ? &afterMark[index] : nullptr;
}

// "quorvane-cli config get": the program and the commands named so far.
std::string CommandPath(const CLI::App& app) {
    std::string path = app.get_name();
    for (const CLI::App* at = &app; !at->get_subcommands().empty();) {
        at = at->get_subcommands().front();
        path += " " + at->get_name();
    }
    return path;
}

}  // namespace

CommandContext::CommandContext(const GlobalOptions& global)
    : global_(global), prompts_(progress_, global.yes ? PromptAnswer::Yes : PromptAnswer::No) {}

CommandContext::~CommandContext() { SettingsStore::Instance().SetPrompts(nullptr); }

bool CommandContext::OpenSettings() {
    SettingsStore& store = SettingsStore::Instance();
    store.SetPrompts(&prompts_);
    std::string error;
    const bool ok = global_.settingsPath.empty() ? store.OpenSettingsKey(&error)
                                                 : store.OpenAt(global_.settingsPath, &error);
    if (!ok) {
        const std::string path = global_.settingsPath.empty() ? SettingsStore::DefaultPath() : global_.settingsPath;
        progress_.PrintMessage("quorvane-cli: cannot open the settings file " + path + ": " + error);
    }
    return ok;
}

bool CommandContext::Recurse() const { return !global_.noRecurse && settings::Recurse(); }

int CommandContext::ExitStatus() const { return prompts_.ErrorCount() ? kExitFileError : kExitOk; }

CommandLine::CommandLine() : app_("The core's operations on MP3 files, for scripts and large batches.", "quorvane-cli") {
    AddGlobalOptions(app_);
    app_.set_version_flag("--version", U8(ProgramTitle()), "Print the program's version and exit");
    app_.require_subcommand(1);
    app_.get_formatter()->label("SUBCOMMAND", "COMMAND");
    for (const auto registerCommand : kCommands) registerCommand(*this);
}

void CommandLine::AddGlobalOptions(CLI::App& app) {
    const std::string group = "Global options (before or after the command)";
    app.add_option("--settings", global_.settingsPath, "The settings file to use")
        ->type_name("FILE")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->group(group);
    app.add_flag("--no-recurse", global_.noRecurse, "Do not scan subdirectories (whatever \"Recurse\" says)")
        ->group(group);
    app.add_flag("--dry-run", global_.dryRun, "Print what would be written; write nothing")->group(group);
    app.add_flag("--yes", global_.yes, "Answer yes to every question")->group(group);
}

CLI::App& CommandLine::AddCommand(const std::string& name, const std::string& description, RunFunction run,
                                  CLI::App* parent) {
    CLI::App& command = *(parent ? parent : &app_)->add_subcommand(name, description);
    command.group("Commands");
    AddGlobalOptions(command);
    if (run) {
        runs_.emplace_back(&command, std::move(run));
    } else {
        command.require_subcommand(1);
    }
    return command;
}

void CommandLine::AddWords(CLI::App& command, const std::string& name, std::vector<std::string>& words,
                           const std::string& description) {
    command.add_option(name, words, description)->required();
    words_.push_back(&words);
}

void CommandLine::AddPathArguments(CLI::App& command, std::vector<std::string>& paths) {
    AddWords(command, "PATH", paths, "MP3 files and directories, in the order to work on them");
}

bool CommandLine::RestoreWordsAfterMark(const std::vector<std::string>& afterMark) {
    size_t restored = 0;
    for (std::vector<std::string>* words : words_) {
        for (std::string& word : *words) {
            if (const std::string* original = MarkedWord(word, afterMark)) {
                word = *original;
                ++restored;
            }
        }
    }
    return restored == afterMark.size();
}

int CommandLine::UsageError(const CLI::ParseError& error, const std::vector<std::string>& afterMark) {
    const std::string command = CommandPath(app_);
    std::string message;
    for (const std::string& extra : app_.remaining(true)) {
        if (const std::string* original = MarkedWord(extra, afterMark)) {
            message = "unexpected argument '" + *original + "'";
        } else if (extra.size() > 1 && extra[0] == '-') {
            message = "unknown option '" + extra + "'";
        } else if (app_.get_subcommands().empty()) {
            message = "unknown command '" + extra + "'";
        } else {
            message = "unexpected argument '" + extra + "'";
        }
        break;
    }
    if (message.empty()) message = error.what();
    if (message == "A subcommand is required") {
        message = app_.get_subcommands().empty() ? "a command is required" : "a subcommand is required";
    }
    std::fprintf(stderr, "%s: %s\nRun '%s --help' for more information.\n", command.c_str(), message.c_str(),
                 command.c_str());
    return kExitUsage;
}

int CommandLine::Run(int argc, char** argv) {
    // The words after "--" are handed to the parser as stand-ins that cannot look like
    // options: the CLI11 of Debian 12 ends a command at a "--" that follows one of its
    // words, and would read the rest as options of the program.
    std::vector<std::string> args(argv + 1, argv + argc);
    std::vector<std::string> afterMark;
    if (const auto mark = std::find(args.begin(), args.end(), "--"); mark != args.end()) {
        afterMark.assign(mark + 1, args.end());
        args.erase(mark, args.end());
        for (size_t i = 0; i < afterMark.size(); ++i) args.push_back(std::string(kMarkedWord) + std::to_string(i));
    }
    std::reverse(args.begin(), args.end());  // the order CLI11 takes
    try {
        app_.parse(args);
    } catch (const CLI::ParseError& error) {
        // --help and --version end the parse this way too.
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app_.exit(error);
        return UsageError(error, afterMark);
    }
    if (!RestoreWordsAfterMark(afterMark)) {
        std::fprintf(stderr, "%s: only PATH or SUBJECT words may follow '--'\n", CommandPath(app_).c_str());
        return kExitUsage;
    }
    const RunFunction* run = nullptr;
    for (const CLI::App* at = &app_; !at->get_subcommands().empty();) {
        at = at->get_subcommands().front();
        for (const auto& [command, function] : runs_) {
            if (command == at) run = &function;
        }
    }
    if (!run) return kExitUsage;  // require_subcommand has said why
    CommandContext context(global_);
    int status = kExitFileError;
    try {
        status = (*run)(context);
    } catch (const std::exception& failure) {
        context.Progress().PrintMessage(std::string("quorvane-cli: ") + failure.what());
    }
    // A listing cut short (a full disk, a closed pipe) is a failure too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        context.Progress().PrintMessage(std::string("quorvane-cli: cannot write the output: ") + std::strerror(errno));
        if (status == kExitOk) status = kExitFileError;
    }
    return status;
}

}  // namespace quorvane::cli
