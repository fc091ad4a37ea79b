#include "ui/editor_services.h"

#include "library/tag_saver.h"
#include "ui/main_window.h"

namespace quorvane::ui {

const EditGate& EditorServices::Gate() const { return window.Saver(); }

EditSession::EditSession(EditorServices& services, std::span<const RecordPtr> selection)
    : services_(services), selection_(selection.begin(), selection.end()) {}

bool EditSession::Finish() {
    std::vector<RecordPtr> changed;
    if (wholeSelection_) {
        changed.swap(selection_);
    } else {
        changed.swap(changed_);
    }
    changed_.clear();
    wholeSelection_ = false;
    if (changed.empty()) return false;
    services_.window.RecordsChanged(changed);
    return true;
}

}  // namespace quorvane::ui
