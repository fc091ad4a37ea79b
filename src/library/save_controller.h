#pragma once
// How Save, Refresh List, Clear, remove-directory and Exit meet a running save: which
// is refused, which asks "Do you want to save changes?", and what is done once the
// save has finished. The desktop program wires its commands, its message boxes and
// the saver's notifications to this class; it holds no Qt type.
//
// Sound behaviour where a bare translation would be unsafe:
// - while a save runs, Clear and remove-directory are refused with a message (they
//   would destroy records the saver is writing, or start a second save);
// - Exit during a save never cuts a file in half: "Yes" stops the saver after the
//   file it is writing and exits when it reports its finish;
// - nothing here waits for the loader's scan lock, so a message box shown by the
//   loader thread can never deadlock the thread that runs these commands.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "library/mp3_file_record.h"

namespace quorvane {

class DirectoryLoader;
class TagSaver;
class UserPrompts;

// What the controller asks of the main window.
class MainWindowPort {
public:
    virtual ~MainWindowPort() = default;
    // Drops every row (before the records go away).
    virtual void EmptyList() = 0;
    virtual void SetRedrawSuspended(bool suspended) = 0;
    virtual void RedrawRecord(const RecordPtr& record) = 0;
    virtual void RedrawVisibleRows() = 0;
    virtual void SetStatusPane(int pane, std::u16string_view text) = 0;
    // Save (Ctrl+S), Clear (Ctrl+N) and Refresh List (F5).
    virtual void SetSaveCommandsEnabled(bool enabled) = 0;
    virtual void ExitProgram() = 0;
};

enum class AfterSaveAction : uint32_t { None = 0, Refresh = 1, Exit = 2, ClearOrRemove = 4 };

// The texts of the commands' boxes.
inline constexpr std::u16string_view kSaveChangesQuestion = u"Do you want to save changes?";
inline constexpr std::u16string_view kRefreshWhileSaving = u"Refreshing is disabled when saving is in progress.";
inline constexpr std::u16string_view kClearWhileSaving = u"Clearing is disabled when saving is in progress.";
inline constexpr std::u16string_view kRemoveWhileSaving =
    u"Removing a directory is disabled when saving is in progress.";
inline constexpr std::u16string_view kInterruptQuestion = u"Saving is in progress.r\nInterrupt and exit?";

class SaveController {
public:
    SaveController(DirectoryLoader& loader, TagSaver& saver, UserPrompts& prompts, MainWindowPort& window);

    void Save();
    void RefreshList();
    void ClearList();
    void RemoveDirectory(std::u16string_view directory);
    void Exit();

    // The saver's reports, handed over on the thread that runs the commands.
    void OnSaved(const RecordPtr& record);
    void OnSaveFinished();
    // The three status panes (the row timer calls it after each batch).
    void UpdateStatus();

    size_t CountNeedingSaving() const;
    size_t CountNeedingSaving(std::u16string_view directory) const;
    // From the start of a save until its finish notification has been handled.
    bool IsSaving() const { return saving_; }
    AfterSaveAction PendingAction() const { return action_; }

private:
    void StartSaveAll();
    void StartSaveDirectory(std::u16string_view directory);
    // Saves the records of `directory`, or all when it is empty.
    void StartSave(std::u16string_view directory);
    void UpdatePanes(bool includeFirst);
    void CarryOut(AfterSaveAction action);
    // "Do you want to save changes?" when `unsaved` is not 0. Yes: `action` follows the
    // save of `directory` (all records when empty), which starts now.
    enum class SaveOffer { NothingToSave, Declined, Handled };
    SaveOffer OfferToSave(size_t unsaved, AfterSaveAction action, std::u16string_view directory = {});

    DirectoryLoader& loader_;
    TagSaver& saver_;
    UserPrompts& prompts_;
    MainWindowPort& window_;
    bool saving_ = false;
    AfterSaveAction action_ = AfterSaveAction::None;
    std::u16string rememberedDirectory_;
    // Taken when a save starts, for the count while it runs.
    size_t recordsAtStart_ = 0;
    size_t othersNeedingSaving_ = 0;
};

}  // namespace quorvane
