#pragma once
// What the tag editor's pages and dialogs share: the window whose selection they edit,
// its prompts and launcher, the file choosers, the picture previews, the viewer's
// temporary pictures and whether tool tips are shown.
#include <span>
#include <vector>

#include "operations/edit_context.h"

namespace quorvane {
class TempImageDirectory;
class UserPrompts;
}  // namespace quorvane

namespace quorvane::ui {

class DesktopLauncher;
class FileChooser;
class MainWindow;
class PreviewHub;

struct EditorServices {
    MainWindow& window;
    UserPrompts& prompts;
    DesktopLauncher& launcher;
    FileChooser* chooser;
    PreviewHub& previews;
    TempImageDirectory& tempImages;
    // "Tooltips" as it was when the editor was made.
    bool tooltips;

    // The saver: an edit of records it covers is refused.
    const EditGate& Gate() const;
};

// One edit of the selected records. Its listener gathers the records the operation
// reports; Finish tells the window once, so an edit of ten thousand files refreshes
// their rows and the panes once, not once per file.
class EditSession final : public EditListener {
public:
    EditSession(EditorServices& services, std::span<const RecordPtr> selection);

    EditContext Context() { return {services_.Gate(), services_.prompts, *this}; }
    // The rows and status of the changed records are refreshed, and the panes reload.
    // False when the operation reported no record (nothing was refreshed).
    bool Finish();

    void FileEdited(const RecordPtr& record) override { changed_.push_back(record); }
    void SelectionEdited() override { wholeSelection_ = true; }

private:
    EditorServices& services_;
    // A copy: a pane reloading meanwhile replaces the list it showed.
    std::vector<RecordPtr> selection_;
    std::vector<RecordPtr> changed_;
    bool wholeSelection_ = false;
};

}  // namespace quorvane::ui
