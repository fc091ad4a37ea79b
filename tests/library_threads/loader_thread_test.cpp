// The loader thread against the commands of the user-interface thread: wake-ups,
// message boxes that wait for the user, list calls during a scan, the status panes.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "controller_fixture.h"
#include "library/loader_thread.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Gate;
using test::WaitFor;

void Touch(const fs::path& p) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
}

// Error boxes that stay open until the gate opens, as a modal box shown for the loader
// by the user-interface thread would.
class BlockingPrompts : public test::RecordingPrompts {
public:
    explicit BlockingPrompts(Gate& gate) : gate_(gate) {}
    void ShowError(std::u16string_view caption, std::u16string_view text) override {
        RecordingPrompts::ShowError(caption, text);
        gate_.Wait();
    }

private:
    Gate& gate_;
};

class LoaderThreads : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SettingsStore::Instance().OpenAt((settings_ / "s.ini").string())); }
    std::u16string Dir(const std::string& rel) const { return PathFromNative((tree_ / rel).string()); }
    test::TempDir settings_, tree_;
    test::RecordingPrompts prompts_;
    DirectoryLoader loader_{prompts_, false};
};

TEST_F(LoaderThreads, EveryWakeUpIsSeen) {
    loader_.SetLoadFunction([](Mp3FileRecord&) { return true; });
    constexpr int kDirs = 150;
    for (int i = 0; i < kDirs; ++i) Touch(tree_ / ("d" + std::to_string(i)) / "a.mp3");
    LoaderThread thread(loader_, true);
    // One at a time: each AddDirectory meets the thread just going to sleep, or asleep.
    for (int i = 0; i < kDirs / 2; ++i) {
        loader_.AddDirectory(Dir("d" + std::to_string(i)));
        ASSERT_TRUE(WaitFor([&] { return loader_.RecordCount() == static_cast<size_t>(i + 1); })) << "lost at " << i;
    }
    for (int i = kDirs / 2; i < kDirs; ++i) loader_.AddDirectory(Dir("d" + std::to_string(i)));  // then a burst
    ASSERT_TRUE(WaitFor([&] { return loader_.RecordCount() == kDirs && loader_.IsIdle(); }));
}

// The loader shows "Error when opening file" and waits for the answer; Refresh or Clear
// pressed at that moment must return at once, not wait for the scan.
TEST_F(LoaderThreads, RefreshOrClearWhileTheLoaderWaitsForAnAnswerDoesNotHang) {
    Touch(tree_ / "a" / "good.mp3");
    for (const char* name : {"broken1.mp3", "broken2.mp3"}) fs::create_symlink(tree_ / "none", tree_ / "a" / name);
    for (bool refresh : {true, false}) {
        SCOPED_TRACE(refresh ? "refresh" : "clear");
        Gate gate;
        BlockingPrompts prompts(gate);
        DirectoryLoader loader(prompts, false);
        test::ReportQueue reports;
        TagSaver saver(prompts, reports);
        test::LogWindow window;
        SaveController controller(loader, saver, prompts, window);
        LoaderThread thread(loader, true);
        loader.AddDirectory(Dir("a"));
        ASSERT_TRUE(gate.WaitForWaiter());
        EXPECT_TRUE(prompts.Prompts()[0].text.starts_with(u"Error when opening file \"" + Dir("a/broken1.mp3")));
        auto done = std::async(std::launch::async, [&] { refresh ? controller.RefreshList() : controller.ClearList(); });
        ASSERT_EQ(done.wait_for(5s), std::future_status::ready) << "the command waited for the open box";
        EXPECT_TRUE(window.Has("empty"));
        EXPECT_EQ(loader.RecordCount(), 0u);
        gate.Open();  // the user answers; the scan stops after that file
        ASSERT_TRUE(WaitFor([&] { return loader.IsIdle(); }));
        // Refreshed: scanned anew, the unopenable files listed empty; cleared: nothing.
        EXPECT_EQ(loader.RecordCount(), refresh ? 3u : 0u);
        EXPECT_EQ(prompts.Count(), refresh ? 3u : 1u);
        for (const RecordPtr& r : loader.SnapshotRecords()) EXPECT_EQ(r->Stream().bitrate, 0);
    }
}

// List calls of the user-interface thread while the loader scans; the records it took
// stay whole across Refresh and RemoveDirectory.
TEST_F(LoaderThreads, ListCallsRefreshAndRemoveWhileScanning) {
    for (int d = 0; d < 6; ++d) {
        for (int f = 0; f < 40; ++f) Touch(tree_ / ("d" + std::to_string(d)) / "s" / (std::to_string(f) + ".mp3"));
    }
    loader_.SetLoadFunction([](Mp3FileRecord& r) {
        r.Tag().SetText(kFrameTIT2, r.FileName());  // written before the record is visible
        std::this_thread::sleep_for(20us);
        return true;
    });
    LoaderThread thread(loader_, true);
    for (int d = 0; d < 6; ++d) loader_.AddDirectory(Dir("d" + std::to_string(d)));
    std::vector<RecordPtr> rows;
    for (int round = 0; round < 300; ++round) {
        for (RecordPtr& r : loader_.TakeNewRecords()) rows.push_back(std::move(r));
        for (const RecordPtr& r : loader_.SnapshotRecords()) EXPECT_EQ(r->Tag().GetText(kFrameTIT2), r->FileName());
        (void)loader_.DirectoryBeingScanned();
        if (round == 50 || round == 120) loader_.Refresh();
        if (round == 80) loader_.RemoveDirectory(Dir("d5"));
        std::this_thread::sleep_for(100us);
    }
    ASSERT_TRUE(WaitFor([&] { return loader_.IsIdle(); }));
    EXPECT_EQ(loader_.RecordCount(), 5u * 40u);
    EXPECT_TRUE(loader_.RecordsOfDirectory(Dir("d5")).empty());  // removed during its scan: nothing kept
    ASSERT_GT(rows.size(), 0u);
    for (const RecordPtr& r : rows) EXPECT_EQ(r->Tag().GetText(kFrameTIT2), r->FileName());
}

// Pane 0 names the loaded directory while a subdirectory is scanned; during a save the
// count never reads a record the saver is writing while the loader adds others.
TEST_F(LoaderThreads, StatusWhileScanningAndWhileSaving) {
    for (int i = 0; i < 30; ++i) Touch(tree_ / "a" / "sub" / (std::to_string(i) + ".mp3"));
    for (int i = 0; i < 60; ++i) Touch(tree_ / "b" / (std::to_string(i) + ".mp3"));
    Gate gate;
    loader_.SetLoadFunction([&](Mp3FileRecord& r) {
        gate.Wait();
        r.Tag().SetText(kFrameTIT2, u"changed");
        std::this_thread::sleep_for(200us);
        return true;
    });
    test::ReportQueue reports;
    TagSaver saver(prompts_, reports);
    saver.SetSaveFunction([](Mp3FileRecord& r) {
        std::this_thread::sleep_for(100us);
        r.Tag().ClearChanged();
    });
    test::LogWindow window;
    SaveController controller(loader_, saver, prompts_, window);
    LoaderThread thread(loader_, true);
    loader_.AddDirectory(Dir("a"));
    ASSERT_TRUE(gate.WaitForWaiter());
    controller.UpdateStatus();
    EXPECT_EQ(window.panes[0], u"Loading " + Dir("a") + u"...");
    EXPECT_EQ(window.panes[1], u"Loaded: 0");
    gate.Open();
    ASSERT_TRUE(WaitFor([&] { return loader_.IsIdle() && loader_.RecordCount() == 30; }));
    controller.Save();
    loader_.AddDirectory(Dir("b"));
    size_t saved = 0;
    for (RecordPtr report; reports.Next(report) && report; ++saved) {
        controller.OnSaved(report);
        // a's records not reached yet, plus b's loaded so far (both move on meanwhile).
        const size_t before = loader_.RecordCount() - 30;
        const size_t count = controller.CountNeedingSaving();
        EXPECT_GE(count, before);
        EXPECT_LE(count, 30 - saved - 1 + loader_.RecordCount() - 30);
    }
    controller.OnSaveFinished();
    EXPECT_EQ(saved, 30u);
    ASSERT_TRUE(WaitFor([&] { return loader_.IsIdle(); }));
    EXPECT_EQ(controller.CountNeedingSaving(), 60u);
    controller.UpdateStatus();
    EXPECT_EQ(window.panes[0], u"Done");
}

TEST_F(LoaderThreads, EndsPromptlyWithWorkQueued) {
    for (int d = 0; d < 20; ++d) Touch(tree_ / ("d" + std::to_string(d)) / "a.mp3");
    loader_.SetLoadFunction([](Mp3FileRecord&) {
        std::this_thread::sleep_for(1ms);
        return true;
    });
    {
        LoaderThread thread(loader_, true);
        for (int d = 0; d < 20; ++d) loader_.AddDirectory(Dir("d" + std::to_string(d)));
    }
    EXPECT_LT(loader_.RecordCount(), 20u);
}

}  // namespace
}  // namespace quorvane
