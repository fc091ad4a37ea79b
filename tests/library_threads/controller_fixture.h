#pragma once
// A controller over a real loader and saver, with a window that logs what it is asked
// and a queue of the saver's reports that the test drains as the desktop program's
// event loop would.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "library/directory_loader.h"
#include "library/save_controller.h"
#include "library/save_listener.h"
#include "library/tag_saver.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane::test {

// Polls until `done` holds; false after ten seconds.
template <typename Predicate>
bool WaitFor(Predicate done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Lets a worker go on only when the test says so.
struct Gate {
    void Open() { open = true; }
    void Wait() {
        ++waiting;
        while (!open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Until `count` workers have come to the gate.
    bool WaitForWaiter(int count = 1) { return WaitFor([&] { return waiting >= count; }); }
    std::atomic<bool> open{false};
    std::atomic<int> waiting{0};
};

// The saver's reports in order; a null record stands for SaveFinished.
class ReportQueue : public SaveListener {
public:
    void Saved(const RecordPtr& record) override { Push(record); }
    void SaveFinished() override { Push(nullptr); }
    // The next report; false when none comes.
    bool Next(RecordPtr& report) {
        if (!WaitFor([this] { return Size() > 0; })) return false;
        std::lock_guard lock(mutex_);
        report = reports_.front();
        reports_.pop_front();
        return true;
    }
    size_t Size() {
        std::lock_guard lock(mutex_);
        return reports_.size();
    }

private:
    void Push(RecordPtr record) {
        std::lock_guard lock(mutex_);
        reports_.push_back(std::move(record));
    }
    std::mutex mutex_;
    std::deque<RecordPtr> reports_;
};

// Records every box; with an `errorGate`, an error box stays open until the gate opens,
// as a modal box shown for the loader thread by the user-interface thread would.
class GatedPrompts : public RecordingPrompts {
public:
    void ShowError(std::u16string_view caption, std::u16string_view text) override {
        RecordingPrompts::ShowError(caption, text);
        if (errorGate) errorGate->Wait();
    }
    Gate* errorGate = nullptr;
};

class LogWindow : public MainWindowPort {
public:
    void EmptyList() override { log.push_back("empty"); }
    void SetRedrawSuspended(bool s) override { log.push_back(s ? "suspend" : "resume"); }
    void RedrawRecord(const RecordPtr& r) override { log.push_back("redraw " + U8(r->FileName())); }
    void RedrawVisibleRows() override { log.push_back("redraw visible"); }
    void SetStatusPane(int pane, std::u16string_view text) override { panes[pane] = std::u16string(text); }
    void SetSaveCommandsEnabled(bool e) override { enabled = e; }
    void ExitProgram() override { exited = true; }
    bool Has(const std::string& entry) const { return std::find(log.begin(), log.end(), entry) != log.end(); }

    std::vector<std::string> log;
    std::u16string panes[3];
    bool enabled = true;
    bool exited = false;
};

// Files not named "clean*" load with a changed tag; the save clears the change unless
// the file is named "fail*"; every save waits at `gate_` while `holdSaves_`. The loaded
// directories are not kept in the settings (the loader's own tests check that).
class ControllerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SettingsStore::Instance().OpenAt((settingsDir_ / "settings.ini").string()));
        loader_.SetLoadFunction([](Mp3FileRecord& r) {
            if (!r.FileName().starts_with(u"clean")) r.Tag().SetText(kFrameTIT2, u"changed");
            return true;
        });
        saver_.SetSaveFunction([this](Mp3FileRecord& r) {
            if (holdSaves_) gate_.Wait();
            if (!r.FileName().starts_with(u"fail")) r.Tag().ClearChanged();
        });
    }
    void TearDown() override {
        gate_.Open();
        saver_.Join();
    }

    std::u16string Dir(const std::string& rel) const { return PathFromNative((tree_ / rel).string()); }
    // Makes the file "dir/.../name" under the tree.
    void Touch(const std::string& rel) const {
        std::filesystem::create_directories((tree_ / rel).parent_path());
        std::ofstream(tree_ / rel) << "x";
    }
    // Makes the files ("dir/name") and loads their directories in the order given.
    void Load(std::initializer_list<std::string> files) {
        for (const std::string& f : files) {
            Touch(f);
            loader_.AddDirectory(Dir(f.substr(0, f.find('/'))));
        }
        loader_.ScanPending(true);
        loader_.TakeNewRecords();
    }
    // Hands the saver's reports to the controller until the save has finished; the
    // names of the records reported saved, in order.
    std::vector<std::string> PumpUntilFinished() {
        std::vector<std::string> saved;
        for (RecordPtr report; reports_.Next(report); saved.push_back(U8(report->FileName()))) {
            if (!report) {
                controller_.OnSaveFinished();
                return saved;
            }
            controller_.OnSaved(report);
        }
        ADD_FAILURE() << "the saver did not finish";
        return saved;
    }

    TempDir settingsDir_, tree_;
    GatedPrompts prompts_;
    DirectoryLoader loader_{prompts_, false};
    ReportQueue reports_;
    TagSaver saver_{prompts_, reports_};
    LogWindow window_;
    SaveController controller_{loader_, saver_, prompts_, window_};
    Gate gate_;
    bool holdSaves_ = false;
};

}  // namespace quorvane::test
