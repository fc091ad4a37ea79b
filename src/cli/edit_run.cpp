#include "cli/edit_run.h"

#include <cstdio>
#include <optional>

#include "cli/command_line.h"
#include "cli/field_changes.h"
#include "cli/file_set.h"
#include "cli/save_run.h"

namespace quorvane::cli {

int RunEdit(CommandContext& context, const std::vector<std::string>& paths, const EditFunction& edit) {
    if (!context.OpenSettings()) return kExitFileError;
    const FileSet files(context, paths);
    std::optional<FieldSnapshot> before;
    if (context.Global().dryRun) before.emplace(files.Records());
    // Nothing else edits or saves while a command runs.
    const NoSaveRunning gate;
    NoEditListener listener;
    edit(EditContext{gate, context.Prompts(), listener}, files.Records());
    int status = kExitOk;
    if (context.Global().dryRun) {
        for (const std::string& line : before->Changes()) std::printf("%s\n", line.c_str());
        status = context.ExitStatus();
    } else {
        status = SaveRecords(context, files.Records());
    }
    return status != kExitOk ? status : files.ExitStatus();
}

}  // namespace quorvane::cli
