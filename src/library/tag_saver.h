#pragma once
// The saver: one thread per save walks a snapshot of records and saves each that
// needs saving, reporting every saved record and the end of its list.
#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "library/edit_gate.h"
#include "library/mp3_file_record.h"

namespace quorvane {

class SaveListener;
class UserPrompts;

class TagSaver final : public EditGate {
public:
    TagSaver(UserPrompts& prompts, SaveListener& listener);
    // Lets the current file finish, skips the rest and waits for the thread.
    ~TagSaver() override;
    TagSaver(const TagSaver&) = delete;
    TagSaver& operator=(const TagSaver&) = delete;

    // How one record is saved; SaveRecord with the options the settings give at the
    // start of each save, by default. Tests replace it.
    using SaveFunction = std::function<void(Mp3FileRecord&)>;
    void SetSaveFunction(SaveFunction save);

    // Starts a save of `records` on a new thread. False (and nothing started) while a
    // save is running. Nothing may change the records until the finish is reported.
    bool Start(std::vector<RecordPtr> records);
    bool IsSaving() const { return saving_.load(); }
    // The FileName() of the record being saved; empty when idle.
    std::u16string CurrentFile() const;
    // Saving ends after the file being written now; the finish is still reported.
    void RequestStop();
    // Waits for the thread of the last save to end.
    void Join();

    // For the "Updated" count while a save runs (the records themselves must not be
    // read then): whether the running save covers `record`, and how many of its
    // records need saving now (not reached yet, or failed).
    bool Covers(const Mp3FileRecord* record) const;
    size_t CountNeedingSaving() const;
    bool IsBeingSaved(const Mp3FileRecord& record) const override { return Covers(&record); }

private:

    UserPrompts& prompts_;
    SaveListener& listener_;
    SaveFunction save_;
    std::thread thread_;
    std::atomic<bool> saving_{false};
    std::atomic<bool> stop_{false};

    std::vector<RecordPtr> records_;                // written only before the thread starts
    std::vector<bool> needed_;                      // NeedsSaving of each, taken at the start
    std::vector<const Mp3FileRecord*> sortedRecords_;  // for Covers

    mutable std::mutex lock_;  // guards the fields below
    std::u16string currentFile_;
    size_t needing_ = 0;
};

}  // namespace quorvane
