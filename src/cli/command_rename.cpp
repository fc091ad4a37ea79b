// rename --expr EXPR PATH...: new names from the tags ("<artist> - <track> - <title>"),
// in the order the files are named, then saved. The save renames on disk and never
// replaces a file ("Couldn't rename ..." instead).
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli/command_line.h"
#include "cli/file_set.h"
#include "cli/save_run.h"
#include "library/edit_gate.h"
#include "operations/rename_from_tags.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"

namespace quorvane::cli {
namespace {

struct RenameArguments {
    std::string expression;
    std::vector<std::string> paths;
};

int RunRename(CommandContext& context, const RenameArguments& arguments) {
    if (!context.OpenSettings()) return kExitFileError;
    const FileSet files(context, arguments.paths);
    if (files.Records().empty()) return files.ExitStatus();
    const bool dryRun = context.Global().dryRun;
    // The expression joins the window's history, as if typed there; a dry run writes nothing.
    SettingsStore* history = dryRun ? nullptr : &SettingsStore::Instance();
    const std::optional<RenamePlan> plan =
        PrepareRename(U16(arguments.expression), files.Records(), NoSaveRunning(), context.Prompts(), history);
    if (!plan) return kExitFileError;
    ApplyRenames(*plan);
    if (dryRun) {
        for (const PlannedRename& rename : *plan) {
            std::printf("%s: %s -> %s\n", PathToNative(rename.record->DiskPath()).c_str(),
                        JsonString(rename.oldName).c_str(), JsonString(rename.newName).c_str());
        }
        return context.ExitStatus() != kExitOk ? context.ExitStatus() : files.ExitStatus();
    }
    const int status = SaveRecords(context, files.Records());
    return status != kExitOk ? status : files.ExitStatus();
}

}  // namespace

void RegisterRenameCommand(CommandLine& cli) {
    auto arguments = std::make_shared<RenameArguments>();
    CLI::App& command =
        cli.AddCommand("rename", "Renames every file from its tags by a name expression, then saves",
                       [arguments](CommandContext& context) { return RunRename(context, *arguments); });
    command
        .add_option("--expr", arguments->expression,
                    "Text and variables: <artist>, <album>, <title>, <track>, <year>, <genre> (\".mp3\" is added)")
        ->required();
    cli.AddPathArguments(command, arguments->paths);
}

}  // namespace quorvane::cli
