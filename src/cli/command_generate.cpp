// generate --pattern PATTERN | --regex REGEX PATH...: ID3v2 frames filled from each file's
// name, by a pattern ("<track>_<artist>_<title>") or by a regular expression with named
// groups ("(?P<artist>.+) - (?P<title>.+)"), then saved.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli/command_line.h"
#include "cli/file_set.h"
#include "cli/save_run.h"
#include "library/edit_gate.h"
#include "operations/pattern_generation.h"
#include "operations/regex_generation.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "tags/id3_tag.h"

namespace quorvane::cli {
namespace {

struct GenerateArguments {
    std::string pattern;
    std::string regex;
    CLI::Option* patternOption = nullptr;
    CLI::Option* regexOption = nullptr;
    std::vector<std::string> paths;
};

std::string Quoted(const std::optional<std::u16string>& text) { return text ? JsonString(*text) : "(none)"; }

// One line per file: each frame with its text before and as stored now.
void PrintChanges(const GenerationPlan& plan) {
    for (const FileGeneration& file : plan) {
        std::string line = PathToNative(file.record->DiskPath()) + ":";
        const char* separator = " ";
        for (const FieldChange& change : file.changes) {
            std::u16string now;
            const bool present = file.record->Tag().GetText(change.frame, now);
            line += separator + std::string(kFrameIdNames[change.frame]) + " " + Quoted(change.oldText) + " -> " +
                    Quoted(present ? std::optional<std::u16string>(now) : std::nullopt);
            separator = ", ";
        }
        std::printf("%s\n", line.c_str());
    }
}

int RunGenerate(CommandContext& context, const GenerateArguments& arguments) {
    const bool byPattern = arguments.patternOption->count() > 0;
    if (!byPattern && arguments.regexOption->count() == 0) {
        std::fprintf(stderr, "quorvane-cli generate: --pattern or --regex is required\n"
                             "Run 'quorvane-cli generate --help' for more information.\n");
        return kExitUsage;
    }
    if (!context.OpenSettings()) return kExitFileError;
    const FileSet files(context, arguments.paths);
    if (files.Records().empty()) return files.ExitStatus();
    const bool dryRun = context.Global().dryRun;
    // The pattern or expression joins the window's history; a dry run writes nothing.
    SettingsStore* history = dryRun ? nullptr : &SettingsStore::Instance();
    const std::optional<GenerationPlan> plan =
        byPattern ? PreparePatternGeneration(U16(arguments.pattern), files.Records(), NoSaveRunning(),
                                             context.Prompts(), history)
                  : PrepareRegexGeneration(U16(arguments.regex), files.Records(), NoSaveRunning(), context.Prompts(),
                                           history);
    if (!plan) return kExitFileError;
    ApplyGeneration(*plan);
    if (dryRun) {
        PrintChanges(*plan);
        return context.ExitStatus() != kExitOk ? context.ExitStatus() : files.ExitStatus();
    }
    const int status = SaveRecords(context, files.Records());
    return status != kExitOk ? status : files.ExitStatus();
}

}  // namespace

void RegisterGenerateCommand(CommandLine& cli) {
    auto arguments = std::make_shared<GenerateArguments>();
    CLI::App& command = cli.AddCommand(
        "generate", "Fills ID3v2 frames of every file from its name by a pattern or a regular expression, then saves",
        [arguments](CommandContext& context) { return RunGenerate(context, *arguments); });
    arguments->patternOption = command.add_option(
        "--pattern", arguments->pattern,
        "Separators and variables: <artist>, <album>, <title>, <track>, <year>, <genre>");
    arguments->regexOption = command.add_option(
        "--regex", arguments->regex,
        "Named groups (?P<artist>...), (?P<album>...), (?P<title>...), (?P<year>...), (?P<track>...), (?P<genre>...)");
    arguments->patternOption->excludes(arguments->regexOption);
    cli.AddPathArguments(command, arguments->paths);
}

}  // namespace quorvane::cli
