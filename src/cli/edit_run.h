#pragma once
// The frame of the commands that edit tags: load the files named, edit their records
// with the core's operations, then save them, or with --dry-run print each field the
// edit changed (old and new value) and write nothing.
#include <functional>
#include <string>
#include <vector>

#include "library/mp3_file_record.h"
#include "operations/edit_context.h"

namespace quorvane::cli {

class CommandContext;

using EditFunction = std::function<void(const EditContext& edit, const std::vector<RecordPtr>& records)>;

// The exit status: 1 when the settings or a file failed or a message of the edit was an
// error, 128 + the signal of an interrupted save.
int RunEdit(CommandContext& context, const std::vector<std::string>& paths, const EditFunction& edit);

}  // namespace quorvane::cli
