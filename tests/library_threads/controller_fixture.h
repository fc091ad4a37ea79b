#pragma once
// A controller over a real loader and saver, with a window that logs what it is asked
// and a notification queue that the test drains as the desktop program's event loop would.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "library/directory_loader.h"
#include "library/notification.h"
#include "library/save_controller.h"
#include "platform/settings_store.h"
#include "library/tag_saver.h"
#include "library/mp3_file_record.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane::test {

// Lets a worker go on only when the test says so.
class Gate {
public:
    void Open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        cv_.notify_all();
    }
    void Wait() {
        std::unique_lock lock(mutex_);
        ++waiting_;
        cv_.notify_all();
        cv_.wait(lock, [this] { return open_; });
    }
    // Waits until a worker is held at the gate; false after five seconds.
    bool WaitForWaiter(int count = 1) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(5), [&] { return waiting_ >= count; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool open_ = false;
    int waiting_ = 0;
};

class QueueSink : public NotificationSink {
public:
    struct Item {
        uint32_t code;
        Mp3FileRecord* record;
    };
    void Notify(const void*, uint32_t code, Mp3FileRecord* record) override {
        std::lock_guard lock(mutex_);
        items_.push_back({code, record});
        cv_.notify_all();
    }
    bool Next(Item& item, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_for(lock, timeout, [this] { return !items_.empty(); })) return false;
        item = items_.front();
        items_.pop_front();
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Item> items_;
};

class LogWindow : public MainWindowPort {
public:
    void EmptyList() override { log.push_back("empty"); }
    void SetRedrawSuspended(bool s) override { log.push_back(s ? "suspend" : "resume"); }
    void RedrawRecord(const Mp3FileRecord* r) override { log.push_back("redraw " + U8(r->fileName)); }
    void RedrawVisibleRows() override { log.push_back("redraw visible"); }
    void SetStatusPane(int pane, std::u16string_view text) override { panes[pane] = std::u16string(text); }
    void SetSaveCommandsEnabled(bool e) override {
        enabled = e;
        log.push_back(e ? "enable" : "disable");
    }
    void ExitProgram() override { exited = true; }
    bool Has(const std::string& entry) const { return std::find(log.begin(), log.end(), entry) != log.end(); }

    std::vector<std::string> log;
    std::u16string panes[3];
    bool enabled = true;
    bool exited = false;
};

// Files named "dirty*" load with a pending change (a removal request); the save
// clears it unless the file is named "fail*"; every save waits at `gate` when held.
class ControllerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SettingsStore::Instance().OpenAt((settingsDir_ / "settings.ini").string()));
        loader_.SetLoadFunction([](Mp3FileRecord& r) {
            if (r.fileName.starts_with(u"dirty") || r.fileName.starts_with(u"fail")) r.removeV1Requested = true;
        });
        saver_.SetSaveFunction([this](Mp3FileRecord& r) {
            if (holdSaves_) gate_.Wait();
            {
                std::lock_guard lock(savedMutex_);
                saved_.push_back(U8(r.fileName));
            }
            if (!r.fileName.starts_with(u"fail")) r.removeV1Requested = false;
        });
    }
    void TearDown() override {
        gate_.Open();
        saver_.Join();
    }

    std::u16string Dir(const std::string& rel) const { return PathFromNative((tree_ / rel).string()); }
    void Make(const std::string& rel) {
        std::filesystem::create_directories((tree_ / rel).parent_path());
        std::ofstream(tree_ / rel) << "x";
    }
    void Load(std::initializer_list<const char*> dirs) {
        for (const char* d : dirs) loader_.AddDirectory(Dir(d));
        loader_.ScanPending(true);
        loader_.TakeNewRecords();
    }
    // Hands notifications to the controller until the save has finished.
    void PumpUntilFinished() {
        QueueSink::Item item{};
        while (sink_.Next(item)) {
            controller_.OnNotification(item.code, item.record);
            if (item.code == kNotifySaveFinished) return;
        }
        ADD_FAILURE() << "the saver did not finish";
    }
    std::vector<std::string> Saved() {
        std::lock_guard lock(savedMutex_);
        return saved_;
    }

    TempDir settingsDir_;
    TempDir tree_;
    RecordingPrompts prompts_;
    DirectoryLoader loader_{prompts_};
    QueueSink sink_;
    TagSaver saver_{prompts_, sink_};
    LogWindow window_;
    SaveController controller_{loader_, saver_, prompts_, window_};
    Gate gate_;
    bool holdSaves_ = false;
    std::mutex savedMutex_;
    std::vector<std::string> saved_;
};

}  // namespace quorvane::test
