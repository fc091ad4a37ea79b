#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "controller_fixture.h"
#include "library/loader_thread.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Gate;
using test::TempDir;

void Touch(const fs::path& p) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
}

template <typename Predicate>
bool WaitFor(Predicate done, std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Message boxes that stay open until the test's gate opens, as a modal box shown for
// the loader by the user-interface thread would.
class BlockingPrompts : public UserPrompts {
public:
    explicit BlockingPrompts(Gate& gate) : gate_(gate) {}
    void ShowError(std::u16string_view caption, std::u16string_view text) override {
        record_.ShowError(caption, text);
        gate_.Wait();
    }
    void ShowInformation(std::u16string_view caption, std::u16string_view text) override {
        record_.ShowInformation(caption, text);
    }
    bool AskYesNo(std::u16string_view caption, std::u16string_view text) override {
        return record_.AskYesNo(caption, text);
    }
    PromptAnswer AskYesNoCancel(std::u16string_view caption, std::u16string_view text) override {
        return record_.AskYesNoCancel(caption, text);
    }
    size_t Count() const { return record_.Count(); }
    std::vector<test::RecordedPrompt> Prompts() const { return record_.Prompts(); }

private:
    Gate& gate_;
    test::RecordingPrompts record_;
};

class LoaderThreads : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SettingsStore::Instance().OpenAt((settings_ / "s.ini").string())); }
    std::u16string Dir(const std::string& rel) const { return PathFromNative((tree_ / rel).string()); }
    TempDir settings_;
    TempDir tree_;
};

TEST_F(LoaderThreads, EveryWakeUpIsSeen) {
    test::RecordingPrompts prompts;
    DirectoryLoader loader(prompts, false);
    loader.SetLoadFunction([](Mp3FileRecord&) {});
    constexpr int kDirs = 150;
    for (int i = 0; i < kDirs; ++i) Touch(tree_ / ("d" + std::to_string(i)) / "a.mp3");
    LoaderThread thread(loader, true);
    // One at a time: each AddDirectory meets the thread just going to sleep, or asleep.
    for (int i = 0; i < kDirs / 2; ++i) {
        loader.AddDirectory(Dir("d" + std::to_string(i)));
        ASSERT_TRUE(WaitFor([&] { return loader.RecordCount() == static_cast<size_t>(i + 1); }))
            << "wake-up lost at directory " << i;
    }
    // Then in a burst.
    for (int i = kDirs / 2; i < kDirs; ++i) loader.AddDirectory(Dir("d" + std::to_string(i)));
    ASSERT_TRUE(WaitFor([&] { return loader.RecordCount() == kDirs && loader.IsIdle(); }));
    EXPECT_EQ(loader.TakeNewRecords().size(), static_cast<size_t>(kDirs));
}

// The loader shows "Error when opening file" for a file it cannot open and waits for
// the answer; Refresh pressed at that moment must return at once, not wait for the scan.
TEST_F(LoaderThreads, RefreshWhileTheLoaderWaitsForAnAnswerDoesNotHang) {
    Touch(tree_ / "a" / "good.mp3");
    fs::create_symlink(tree_ / "a" / "missing", tree_ / "a" / "broken.mp3");
    Gate gate;
    BlockingPrompts prompts(gate);
    DirectoryLoader loader(prompts, false);
    test::QueueSink sink;
    TagSaver saver(prompts, sink);
    test::LogWindow window;
    SaveController controller(loader, saver, prompts, window);
    LoaderThread thread(loader, true);
    loader.AddDirectory(Dir("a"));
    ASSERT_TRUE(gate.WaitForWaiter());
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_TRUE(prompts.Prompts()[0].text.starts_with(u"Error when opening file \"")) << U8(prompts.Prompts()[0].text);

    auto refreshed = std::async(std::launch::async, [&] { controller.RefreshList(); });
    ASSERT_EQ(refreshed.wait_for(5s), std::future_status::ready) << "Refresh waited for the open box";
    EXPECT_TRUE(window.Has("empty"));
    EXPECT_EQ(loader.RecordCount(), 0u);

    gate.Open();  // the user answers; the scan ends and the refreshed directory is scanned anew
    ASSERT_TRUE(WaitFor([&] { return loader.IsIdle() && loader.RecordCount() == 2; }));
    // The unopenable file is listed with empty fields.
    for (const Mp3FileRecord* r : loader.SnapshotRecords()) {
        EXPECT_EQ(r->bitrate, 0);
        EXPECT_TRUE(r->Frames().empty());
    }
}

TEST_F(LoaderThreads, ClearWhileTheLoaderWaitsForAnAnswerDropsWhatTheScanStillFinds) {
    fs::create_directories(tree_ / "a");
    for (int i = 0; i < 5; ++i) fs::create_symlink(tree_ / "none", tree_ / "a" / ("b" + std::to_string(i) + ".mp3"));
    Gate gate;
    BlockingPrompts prompts(gate);
    DirectoryLoader loader(prompts, false);
    LoaderThread thread(loader, true);
    loader.AddDirectory(Dir("a"));
    ASSERT_TRUE(gate.WaitForWaiter());
    auto cleared = std::async(std::launch::async, [&] { loader.Clear(true); });
    ASSERT_EQ(cleared.wait_for(5s), std::future_status::ready);
    gate.Open();
    ASSERT_TRUE(WaitFor([&] { return loader.IsIdle(); }));
    EXPECT_EQ(loader.RecordCount(), 0u);
    EXPECT_TRUE(loader.TakeNewRecords().empty());
    EXPECT_EQ(prompts.Count(), 1u);  // the scan stopped after the file it was loading
}

TEST_F(LoaderThreads, ListCallsRefreshAndRemoveWhileScanning) {
    for (int d = 0; d < 6; ++d) {
        for (int f = 0; f < 40; ++f) Touch(tree_ / ("d" + std::to_string(d)) / "s" / (std::to_string(f) + ".mp3"));
    }
    test::RecordingPrompts prompts;
    DirectoryLoader loader(prompts, false);
    loader.SetLoadFunction([](Mp3FileRecord& r) {
        r.bitrate = 128;  // written before the record is visible
        std::this_thread::sleep_for(20us);
    });
    LoaderThread thread(loader, true);
    for (int d = 0; d < 6; ++d) loader.AddDirectory(Dir("d" + std::to_string(d)));
    size_t seen = 0;
    for (int round = 0; round < 300; ++round) {
        for (Mp3FileRecord* r : loader.TakeNewRecords()) seen += r->bitrate == 128;
        for (Mp3FileRecord* r : loader.SnapshotRecords()) EXPECT_EQ(r->bitrate, 128);
        (void)loader.GetCurrentDirectory();
        (void)loader.RecordCount();
        if (round == 50 || round == 120) loader.Refresh();
        if (round == 80) loader.RemoveDirectory(Dir("d5"));
        std::this_thread::sleep_for(100us);
    }
    ASSERT_TRUE(WaitFor([&] { return loader.IsIdle(); }));
    EXPECT_EQ(loader.RecordCount(), 5u * 40u);
    EXPECT_TRUE(loader.RecordsOfDirectory(Dir("d5")).empty());  // removed during its scan: nothing kept
    EXPECT_GT(seen, 0u);
}

TEST_F(LoaderThreads, StatusNamesTheLoadedDirectoryWhileASubdirectoryIsScanned) {
    Touch(tree_ / "root" / "sub" / "deeper" / "a.mp3");
    Gate gate;
    test::RecordingPrompts prompts;
    DirectoryLoader loader(prompts, false);
    loader.SetLoadFunction([&](Mp3FileRecord&) { gate.Wait(); });
    test::QueueSink sink;
    TagSaver saver(prompts, sink);
    test::LogWindow window;
    SaveController controller(loader, saver, prompts, window);
    LoaderThread thread(loader, true);
    loader.AddDirectory(Dir("root"));
    ASSERT_TRUE(gate.WaitForWaiter());
    controller.UpdateStatus();
    EXPECT_EQ(window.panes[0], u"Loading " + Dir("root") + u"...");
    EXPECT_EQ(window.panes[1], u"Loaded: 0");
    gate.Open();
    ASSERT_TRUE(WaitFor([&] { return loader.IsIdle(); }));
    controller.UpdateStatus();
    EXPECT_EQ(window.panes[0], u"Done");
    EXPECT_EQ(window.panes[1], u"Loaded: 1");
}

// The status is updated while the saver writes one directory and the loader adds
// records of another: the count never reads a record the saver is writing.
TEST_F(LoaderThreads, StatusDuringASaveWhileTheLoaderAddsRecords) {
    for (int i = 0; i < 30; ++i) Touch(tree_ / "a" / ("dirty" + std::to_string(i) + ".mp3"));
    for (int i = 0; i < 60; ++i) Touch(tree_ / "b" / ("dirty" + std::to_string(i) + ".mp3"));
    test::RecordingPrompts prompts;
    DirectoryLoader loader(prompts, false);
    loader.SetLoadFunction([](Mp3FileRecord& r) {
        r.removeV1Requested = true;
        std::this_thread::sleep_for(200us);
    });
    test::QueueSink sink;
    TagSaver saver(prompts, sink);
    saver.SetSaveFunction([](Mp3FileRecord& r) {
        std::this_thread::sleep_for(100us);
        r.removeV1Requested = false;
    });
    test::LogWindow window;
    SaveController controller(loader, saver, prompts, window);
    LoaderThread thread(loader, true);
    loader.AddDirectory(Dir("a"));
    ASSERT_TRUE(WaitFor([&] { return loader.IsIdle() && loader.RecordCount() == 30; }));
    loader.AddDirectory(Dir("b"));
    controller.Save();
    test::QueueSink::Item item{};
    size_t saved = 0;
    while (sink.Next(item)) {
        controller.OnNotification(item.code, item.record);
        if (item.code == kNotifySaveFinished) break;
        ++saved;
        // a's records the saver has not reached + b's loaded so far (both move on
        // while we look).
        const size_t before = loader.RecordCount() - 30;
        const size_t count = controller.CountNeedingSaving();
        const size_t after = loader.RecordCount() - 30;
        EXPECT_GE(count, before);
        EXPECT_LE(count, 30 - saved + after);
    }
    EXPECT_EQ(saved, 30u);
    ASSERT_TRUE(WaitFor([&] { return loader.IsIdle(); }));
    EXPECT_EQ(controller.CountNeedingSaving(), 60u);
}

TEST_F(LoaderThreads, EndsPromptlyWithWorkQueued) {
    for (int d = 0; d < 20; ++d) Touch(tree_ / ("d" + std::to_string(d)) / "a.mp3");
    test::RecordingPrompts prompts;
    DirectoryLoader loader(prompts, false);
    loader.SetLoadFunction([](Mp3FileRecord&) { std::this_thread::sleep_for(1ms); });
    {
        LoaderThread thread(loader, true);
        for (int d = 0; d < 20; ++d) loader.AddDirectory(Dir("d" + std::to_string(d)));
    }
    EXPECT_LT(loader.RecordCount(), 20u);
}

}  // namespace
}  // namespace quorvane
