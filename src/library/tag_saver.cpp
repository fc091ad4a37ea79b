#include "library/tag_saver.h"

#include <algorithm>
#include <set>
#include <string>

#include "library/codec_options.h"
#include "library/save_listener.h"
#include "library/save_record.h"
#include "platform/file_rewrite.h"

namespace quorvane {

TagSaver::TagSaver(UserPrompts& prompts, SaveListener& listener) : prompts_(prompts), listener_(listener) {}

TagSaver::~TagSaver() {
    RequestStop();
    Join();
}

void TagSaver::SetSaveFunction(SaveFunction save) { save_ = std::move(save); }

bool TagSaver::Start(std::vector<RecordPtr> records) {
    if (saving_) return false;
    Join();  // the last save's thread has reported its finish; let it end
    records_ = std::move(records);
    needed_.assign(records_.size(), false);
    size_t needing = 0;
    sortedRecords_.clear();
    for (size_t i = 0; i < records_.size(); ++i) {
        needed_[i] = records_[i]->NeedsSaving();
        needing += needed_[i];
        sortedRecords_.push_back(records_[i].get());
    }
    std::sort(sortedRecords_.begin(), sortedRecords_.end());
    {
        std::lock_guard guard(lock_);
        needing_ = needing;
        currentFile_.clear();
    }
    stop_ = false;
    saving_ = true;
    // The settings are taken once per save, on this thread.
    SaveFunction save = save_;
    if (!save) {
        const TagWriteOptions options = WriteOptionsFromSettings();
        save = [this, options](Mp3FileRecord& record) { SaveRecord(record, prompts_, options); };
    }
    thread_ = std::thread([this, save = std::move(save)] {
        std::set<std::u16string> cleaned;  // directories rid of killed saves' copies
        for (size_t i = 0; i < records_.size() && !stop_; ++i) {
            if (!needed_[i]) continue;
            const RecordPtr& record = records_[i];
            if (cleaned.insert(record->Directory().str()).second) {
                CleanStaleRewrites(record->Directory(), prompts_);
            }
            {
                std::lock_guard guard(lock_);
                currentFile_ = record->FileName();
            }
            save(*record);
            const bool stillNeeds = record->NeedsSaving();
            {
                std::lock_guard guard(lock_);
                if (!stillNeeds) --needing_;
            }
            listener_.Saved(record);
        }
        {
            std::lock_guard guard(lock_);
            currentFile_.clear();
        }
        saving_ = false;
        listener_.SaveFinished();
    });
    return true;
}

std::u16string TagSaver::CurrentFile() const {
    std::lock_guard guard(lock_);
    return currentFile_;
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
