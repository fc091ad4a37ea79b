#pragma once
// The end of every command that changes files: the records that need saving are written
// by the saver thread, or with --dry-run what would be written is printed instead.
#include <vector>

#include "library/mp3_file_record.h"

namespace quorvane::cli {

class CommandContext;

// Returns the exit status: that of the failures reported, or 128 + the signal when
// Ctrl+C, SIGTERM or SIGHUP stopped the save (after the file being written).
int SaveRecords(CommandContext& context, const std::vector<RecordPtr>& records);

}  // namespace quorvane::cli
