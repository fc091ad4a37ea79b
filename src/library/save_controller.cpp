#include "library/save_controller.h"

#include <vector>

#include "library/directory_loader.h"
#include "library/status_text.h"
#include "library/tag_saver.h"
#include "library/mp3_file_record.h"
#include "platform/user_prompts.h"

namespace quorvane {

SaveController::SaveController(DirectoryLoader& loader, TagSaver& saver, UserPrompts& prompts,
                               MainWindowPort& window)
    : loader_(loader), saver_(saver), prompts_(prompts), window_(window) {}

size_t SaveController::CountNeedingSaving() const {
    if (!saving_) {
        size_t count = 0;
        for (const RecordPtr& record : loader_.SnapshotRecords()) count += record->NeedsSaving();
        return count;
    }
    // While saving, the saver's records are not read (it may be writing them), and the
    // others cannot change: nothing is edited or removed during a save. So the count is
    // what the saver reports, the others' count taken at the start, and the records the
    // loader has added since.
    size_t count = saver_.CountNeedingSaving() + othersNeedingSaving_;
    for (const RecordPtr& record : loader_.SnapshotRecordsFrom(recordsAtStart_)) count += record->NeedsSaving();
    return count;
}

size_t SaveController::CountNeedingSaving(std::u16string_view directory) const {
    const std::vector<RecordPtr> records = loader_.RecordsOfDirectory(directory);
    size_t count = 0;
    for (const RecordPtr& record : records) {
        // A record of the running save counts until the save is over: callers stay on
        // the safe side.
        count += saving_ && saver_.Covers(record.get()) ? 1 : record->NeedsSaving();
    }
    return count;
}

void SaveController::StartSave(std::u16string_view directory) {
    window_.SetStatusPane(0, u"Saving...");
    window_.SetSaveCommandsEnabled(false);
    const std::vector<RecordPtr> all = loader_.SnapshotRecords();
    std::vector<RecordPtr> toSave;
    othersNeedingSaving_ = 0;
    for (const RecordPtr& record : all) {
        if (directory.empty() || record->RootDirectory() == directory) {
            toSave.push_back(record);
        } else {
            othersNeedingSaving_ += record->NeedsSaving();
        }
    }
    recordsAtStart_ = all.size();
    saving_ = true;
    saver_.Start(std::move(toSave));
}

void SaveController::StartSaveAll() {
    rememberedDirectory_.clear();
    StartSave(u"");
}

void SaveController::StartSaveDirectory(std::u16string_view directory) {
    rememberedDirectory_ = NormalizeDirectory(directory);
    StartSave(rememberedDirectory_);
}

SaveController::SaveOffer SaveController::OfferToSave(size_t unsaved, AfterSaveAction action,
                                                     std::u16string_view directory) {
    if (unsaved == 0) return SaveOffer::NothingToSave;
    switch (prompts_.AskYesNoCancel(ProgramTitle(), kSaveChangesQuestion)) {
        case PromptAnswer::Yes:
            action_ = action;
            if (directory.empty()) {
                StartSaveAll();
            } else {
                StartSaveDirectory(directory);
            }
            return SaveOffer::Handled;
        case PromptAnswer::No:
            return SaveOffer::Declined;
        case PromptAnswer::Cancel:
            break;
    }
    return SaveOffer::Handled;
}

void SaveController::Save() {
    if (saving_) return;  // the command is disabled while saving
    StartSaveAll();
}

void SaveController::RefreshList() {
    if (saving_) {
        prompts_.ShowError(ProgramTitle(), kRefreshWhileSaving);
        return;
    }
    if (OfferToSave(CountNeedingSaving(), AfterSaveAction::Refresh) == SaveOffer::Handled) return;
    window_.EmptyList();
    loader_.Refresh();
}

void SaveController::ClearList() {
    if (saving_) {
        prompts_.ShowError(ProgramTitle(), kClearWhileSaving);
        return;
    }
    // A save of all records forgets any remembered directory.
    if (OfferToSave(CountNeedingSaving(), AfterSaveAction::ClearOrRemove) == SaveOffer::Handled) return;
    window_.EmptyList();
    loader_.Clear(true);
}

void SaveController::RemoveDirectory(std::u16string_view directory) {
    if (saving_) {
        prompts_.ShowError(ProgramTitle(), kRemoveWhileSaving);
        return;
    }
    switch (OfferToSave(CountNeedingSaving(directory), AfterSaveAction::ClearOrRemove, directory)) {
        case SaveOffer::Handled:
            return;
        case SaveOffer::Declined:
            window_.SetRedrawSuspended(true);
            loader_.RemoveDirectory(directory);
            window_.SetRedrawSuspended(false);
            return;
        case SaveOffer::NothingToSave:
            loader_.RemoveDirectory(directory);
            return;
    }
}

void SaveController::Exit() {
    if (saving_) {
        // Either answer waits for the file being written; "Yes" skips the rest.
        if (prompts_.AskYesNo(ProgramTitle(), kInterruptQuestion)) saver_.RequestStop();
        action_ = AfterSaveAction::Exit;
        return;
    }
    if (OfferToSave(CountNeedingSaving(), AfterSaveAction::Exit) == SaveOffer::Handled) return;
    window_.ExitProgram();
}

void SaveController::OnSaved(const RecordPtr& record) {
    window_.RedrawRecord(record);
    UpdateStatus();
}

void SaveController::OnSaveFinished() {
    saver_.Join();
    saving_ = false;
    window_.SetStatusPane(0, u"Saved");
    window_.SetSaveCommandsEnabled(true);
    window_.RedrawVisibleRows();
    UpdatePanes(false);  // "Saved" stays until the next status update
    // Reset before carrying out: the Clear command run by action 4 may set a new one.
    const AfterSaveAction action = action_;
    action_ = AfterSaveAction::None;
    CarryOut(action);
}

void SaveController::CarryOut(AfterSaveAction action) {
    switch (action) {
        case AfterSaveAction::None:
            break;
        case AfterSaveAction::Refresh:
            window_.EmptyList();
            loader_.Refresh();
            break;
        case AfterSaveAction::Exit:
            window_.ExitProgram();
            break;
        case AfterSaveAction::ClearOrRemove:
            if (rememberedDirectory_.empty()) {
                ClearList();
            } else {
                const std::u16string directory = std::move(rememberedDirectory_);
                rememberedDirectory_.clear();
                window_.SetRedrawSuspended(true);
                loader_.RemoveDirectory(directory);
                window_.SetRedrawSuspended(false);
            }
            break;
    }
}

void SaveController::UpdateStatus() { UpdatePanes(true); }

void SaveController::UpdatePanes(bool includeFirst) {
    StatusInputs inputs;
    inputs.saving = saving_;
    if (saving_) inputs.currentFile = saver_.CurrentFile();
    inputs.directoryBeingScanned = loader_.DirectoryBeingScanned();
    inputs.recordCount = loader_.RecordCount();
    inputs.needingSaving = CountNeedingSaving();
    const StatusTexts texts = ComputeStatusTexts(inputs);
    if (includeFirst && texts.pane0) window_.SetStatusPane(0, *texts.pane0);
    window_.SetStatusPane(1, texts.pane1);
    window_.SetStatusPane(2, texts.pane2);
}

}  // namespace quorvane
