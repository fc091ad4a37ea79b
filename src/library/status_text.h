#pragma once
// The three status-bar panes, computed from what the loader and the saver report.
#include <cstddef>
#include <optional>
#include <string>

namespace quorvane {

struct StatusInputs {
    bool saving = false;
    std::u16string currentFile;       // the saver's file, empty when none
    std::u16string directoryBeingScanned;  // the loader's directory, empty when idle
    size_t recordCount = 0;
    size_t needingSaving = 0;
};

struct StatusTexts {
    // Unset: the pane keeps its text (saving, but no file named yet).
    std::optional<std::u16string> pane0;
    std::u16string pane1;  // "Loaded: %u"
    std::u16string pane2;  // "Updated: %u"
};

StatusTexts ComputeStatusTexts(const StatusInputs& inputs);

}  // namespace quorvane
