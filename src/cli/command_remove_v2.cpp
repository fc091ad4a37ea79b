// remove-v2: the main window's "Remove ID3v2" on every file named, then save. Naming
// the command is the confirmation the window asks for.
#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "platform/settings_store.h"
#include "library/mp3_file_record.h"

namespace quorvane::cli {

int RunRemoveV2(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (!ParseArgs(args, {}, {}, parsed, "remove-v2")) return kExitUsage;
    if (!RequirePaths(parsed, "remove-v2")) return kExitUsage;
    if (!OpenSettings(parsed.global)) return kExitFileError;
    StderrPrompts prompts(parsed.global.yes ? PromptAnswer::Yes : PromptAnswer::No);
    FileSet files(prompts);
    files.Load(parsed.paths, !parsed.global.noRecurse && settings::Recurse());
    for (Mp3FileRecord* record : files.Records()) RequestRemoveV2(*record);
    const int status = SaveRecords(files.Records(), parsed.global, prompts);
    return files.PathErrors() ? kExitFileError : status;
}

}  // namespace quorvane::cli
