#pragma once
// Commands that change records (the operations, the remove commands, the panes) ask
// first whether a running save covers any of the records they would touch: the saver
// reads and writes a record without locks, so nothing else may change it meanwhile.
#include <span>
#include <string_view>

#include "library/mp3_file_record.h"

namespace quorvane {

class UserPrompts;

// Worded like the other commands that a save refuses.
inline constexpr std::u16string_view kEditWhileSaving = u"Editing is disabled when saving is in progress.";

class EditGate {
public:
    virtual ~EditGate() = default;
    // A running save covers the record (it is writing it, or will).
    virtual bool IsBeingSaved(const Mp3FileRecord& record) const = 0;
};

// A gate for programs that never edit while saving (the command-line tool).
class NoSaveRunning final : public EditGate {
public:
    bool IsBeingSaved(const Mp3FileRecord&) const override { return false; }
};

// True, after telling the user once, when a running save covers any of the records.
bool RefuseWhileSaving(const EditGate& gate, std::span<const RecordPtr> records, UserPrompts& prompts);

}  // namespace quorvane
