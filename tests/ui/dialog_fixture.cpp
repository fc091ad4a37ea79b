#include "dialog_fixture.h"

#include "library/codec_options.h"
#include "library/save_record.h"
#include "library/tag_saver.h"

namespace quorvane::test {

HeldSave::HeldSave(TagSaver& saver) {
    saver.SetSaveFunction([this](Mp3FileRecord& record) {
        {
            std::unique_lock lock(mutex_);
            entered_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return released_; });
        }
        SaveRecord(record, prompts_, WriteOptionsFromSettings());
    });
}

bool HeldSave::WaitEntered() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return entered_; });
}

void HeldSave::Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
}

}  // namespace quorvane::test
