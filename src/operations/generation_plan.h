#pragma once
// Tags filled from file names are planned first (what each file's frames would receive),
// then the plan is shown (a preview, a dry run) or carried out.
#include <optional>
#include <string>
#include <vector>

#include "library/mp3_file_record.h"
#include "tags/frame_id.h"

namespace quorvane {

struct FieldChange {
    FrameId frame = 0;
    std::optional<std::u16string> oldText;  // none when the file has no such frame
    std::u16string newText;                 // as captured; SetText applies its rules
};

struct FileGeneration {
    RecordPtr record;
    std::vector<FieldChange> changes;  // in the order they are applied
};

// Only files with at least one change, in target order.
using GenerationPlan = std::vector<FileGeneration>;

// Sets every planned frame through SetText (which marks the tag changed and applies its
// track and genre rules), from the last file to the first.
void ApplyGeneration(const GenerationPlan& plan);

}  // namespace quorvane
