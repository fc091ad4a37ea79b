#pragma once
// A page of the tag editor. It edits the selection it last showed, held as shared
// records, and is refreshed only when it is visible and the selection has changed since
// (or the records it shows were changed by something else meanwhile).
#include <QWidget>

#include <functional>
#include <vector>

#include "library/mp3_file_record.h"

namespace quorvane::ui {

struct EditorServices;

class EditorPane : public QWidget {
    Q_OBJECT
public:
    EditorPane(EditorServices& services, QWidget* parent = nullptr);

    // The records last shown, in list order.
    const std::vector<RecordPtr>& Shown() const { return shown_; }

    // The pane becomes visible, or the selection changed while it is: a selection other
    // than the one shown is shown afresh; the same one is refreshed only when its records
    // were changed meanwhile, keeping what the user typed.
    void ShowSelection(std::vector<RecordPtr> selection);
    // Fills the controls from the selection, discarding typed text (Cancel, a command
    // that changed the records while the pane is visible).
    void Reload(std::vector<RecordPtr> selection);
    // The records changed while the pane was hidden.
    void MarkStale();
    // Records were destroyed: the pane lets go of every record it holds, so nothing it
    // does later (a Save by "Next File") can reach them; it shows afresh next time.
    void Release();

protected:
    // Fills the controls from Shown(); with `keepTyped` a field the user changed keeps
    // its text.
    virtual void Fill(bool keepTyped) = 0;
    // A field page's keys that its fields leave alone: Enter presses the focused button,
    // or else saves the page; Escape cancels it. False for other keys.
    bool HandleFormKey(const QKeyEvent& event, const std::function<void()>& save, const std::function<void()>& cancel);

    EditorServices& services_;

private:
    enum class Freshness { Current, RecordsChanged, Released };
    std::vector<RecordPtr> shown_;
    Freshness freshness_ = Freshness::Released;
};

}  // namespace quorvane::ui
