#include "library/tag_saver.h"

#include <algorithm>

#include "library/notification.h"
#include "mp3/mp3_file_record.h"
#include "mp3/save_record.h"

namespace quorvane {

TagSaver::TagSaver(UserPrompts& prompts, NotificationSink& sink) : prompts_(prompts), sink_(sink) {
    save_ = [this](Mp3FileRecord& record) { SaveRecord(record, prompts_); };
}

TagSaver::~TagSaver() {
    RequestStop();
    Join();
}

void TagSaver::SetSaveFunction(SaveFunction save) { save_ = std::move(save); }

bool TagSaver::Start(std::vector<Mp3FileRecord*> records) {
    if (saving_) return false;
    Join();  // the last save's thread has reported its finish; let it end
    records_ = std::move(records);
    needed_.assign(records_.size(), false);
    size_t needing = 0;
    for (size_t i = 0; i < records_.size(); ++i) {
        needed_[i] = records_[i]->NeedsSaving();
        needing += needed_[i];
    }
    sortedRecords_ = records_;
    std::sort(sortedRecords_.begin(), sortedRecords_.end());
    {
        std::lock_guard guard(lock_);
        savedCount_ = 0;
        needing_ = needing;
        currentFile_.clear();
    }
    stop_ = false;
    saving_ = true;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void TagSaver::Run() {
    for (size_t i = 0; i < records_.size() && !stop_; ++i) {
        if (!needed_[i]) continue;
        Mp3FileRecord& record = *records_[i];
        {
            std::lock_guard guard(lock_);
            currentFile_ = record.fileName;
        }
        save_(record);
        const bool stillNeeds = record.NeedsSaving();
        {
            std::lock_guard guard(lock_);
            ++savedCount_;
            if (!stillNeeds) --needing_;
        }
        sink_.Notify(this, kNotifySaved, &record);
    }
    {
        std::lock_guard guard(lock_);
        currentFile_.clear();
    }
    saving_ = false;
    sink_.Notify(this, kNotifySaveFinished, nullptr);
}

std::u16string TagSaver::CurrentFile() const {
    std::lock_guard guard(lock_);
    return currentFile_;
}

size_t TagSaver::SavedCount() const {
    std::lock_guard guard(lock_);
    return savedCount_;
}

void TagSaver::RequestStop() { stop_ = true; }

void TagSaver::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool TagSaver::Covers(const Mp3FileRecord* record) const {
    if (!saving_) return false;
    return std::binary_search(sortedRecords_.begin(), sortedRecords_.end(), record);
}

size_t TagSaver::CountNeedingSaving() const {
    std::lock_guard guard(lock_);
    return needing_;
}

}  // namespace quorvane
