#include "cli/save_run.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>

#include "cli/cli_text.h"
#include "cli/command_line.h"
#include "cli/interrupt_guard.h"
#include "library/save_listener.h"
#include "library/tag_saver.h"
#include "platform/text_codec.h"

namespace quorvane::cli {
namespace {

// Shows the saver's progress and lets the command wait for its finish.
class WaitingListener final : public SaveListener {
public:
    WaitingListener(ProgressLine& progress, size_t total) : progress_(progress), total_(total) {}

    void Saved(const RecordPtr& record) override {
        std::lock_guard lock(mutex_);
        ++saved_;
        progress_.Show("saved " + std::to_string(saved_) + " of " + std::to_string(total_) + ", " +
                       PathToNative(record->Directory()));
    }
    void SaveFinished() override {
        std::lock_guard lock(mutex_);
        finished_ = true;
        finishedChanged_.notify_all();
    }
    void Wait() {
        std::unique_lock lock(mutex_);
        finishedChanged_.wait(lock, [this] { return finished_; });
        progress_.Clear();
    }

private:
    ProgressLine& progress_;
    const size_t total_;
    std::mutex mutex_;
    std::condition_variable finishedChanged_;
    size_t saved_ = 0;
    bool finished_ = false;
};

// One line per file: what a save would do to it.
void PrintPlan(const Mp3FileRecord& record) {
    std::string line = PathToNative(record.DiskPath()) + ":";
    const Id3Tag& tag = record.Tag();
    if (record.RemoveV1Requested()) {
        line += " remove ID3v1;";
    } else if (tag.V1().IsChanged()) {
        line += " write ID3v1;";
    }
    if (record.RemoveV2Requested()) {
        line += " remove ID3v2;";
    } else {
        std::string frames;
        for (const auto& frame : tag.Frames()) {
            if (!frame->HasChanged()) continue;
            frames += " " + std::string(frame->IdLetters());
            if (frame->Family() == FrameFamily::Text) frames += "=" + JsonString(frame->Text()->Text());
        }
        // Frames removed leave no changed frame behind, only the tag's own mark.
        const bool listChanged = tag.IsChanged() && !tag.V1().IsChanged();
        if (!frames.empty() || listChanged) line += " write ID3v2" + frames + ";";
    }
    if (record.FileName() != record.DiskName()) line += " rename to " + JsonString(record.FileName()) + ";";
    line.pop_back();
    std::printf("%s\n", line.c_str());
}

}  // namespace

int SaveRecords(CommandContext& context, const std::vector<RecordPtr>& records) {
    std::vector<RecordPtr> needing;
    for (const RecordPtr& record : records) {
        if (record->NeedsSaving()) needing.push_back(record);
    }
    if (context.Global().dryRun) {
        for (const RecordPtr& record : needing) PrintPlan(*record);
        return context.ExitStatus();
    }
    WaitingListener listener(context.Progress(), needing.size());
    TagSaver saver(context.Prompts(), listener);
    int signal = 0;
    {
        InterruptGuard guard([&] {
            context.Progress().PrintMessage("Interrupted: the file being written is finished first.");
            saver.RequestStop();
        });
        saver.Start(std::move(needing));
        listener.Wait();
        saver.Join();
        signal = guard.Signal();
    }
    return signal ? 128 + signal : context.ExitStatus();
}

}  // namespace quorvane::cli
