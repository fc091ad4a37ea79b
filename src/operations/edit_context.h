#pragma once
// What every operation that changes records is given: the gate that refuses edits while
// a save covers the records, the prompts for its messages, and the listener told which
// records changed (the main window re-reads their rows).
#include "library/edit_gate.h"
#include "library/mp3_file_record.h"
#include "platform/user_prompts.h"

namespace quorvane {

class EditListener {
public:
    virtual ~EditListener() = default;
    // One file was processed (the "General ID3v2" pane, the clean-up tools, "Track #").
    virtual void FileEdited(const RecordPtr& record) = 0;
    // Any of the selected files may have changed (the "ID3v1" pane, the comments).
    virtual void SelectionEdited() = 0;
};

// For callers that show no rows (the command-line tool).
class NoEditListener final : public EditListener {
public:
    void FileEdited(const RecordPtr&) override {}
    void SelectionEdited() override {}
};

struct EditContext {
    const EditGate& gate;
    UserPrompts& prompts;
    EditListener& listener;
};

}  // namespace quorvane
