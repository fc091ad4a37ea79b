#pragma once
// The files an operation works on (rename, generation, clean-up, export): the selected
// files in the order they were selected, or every listed file when none is selected.
#include <span>
#include <vector>

#include "library/mp3_file_record.h"

namespace quorvane {

// `selection` in selection order, or all of `listed` when the selection is empty. An
// empty result means the command has nothing to do.
std::vector<RecordPtr> TargetFiles(std::span<const RecordPtr> selection, std::span<const RecordPtr> listed);

}  // namespace quorvane
