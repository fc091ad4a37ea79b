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
using test::WaitFor;
using LoaderThreads = test::ControllerFixture;

TEST_F(LoaderThreads, EveryWakeUpIsSeen) {
    loader_.SetLoadFunction([](Mp3FileRecord&) { return true; });
    constexpr int kDirs = 150;
    for (int i = 0; i < kDirs; ++i) Touch("d" + std::to_string(i) + "/a.mp3");
    LoaderThread thread(loader_, true);
    // One at a time: each AddDirectory meets the thread just going to sleep, or asleep.
    for (int i = 0; i < kDirs / 2; ++i) {
        loader_.AddDirectory(Dir("d" + std::to_string(i)));
        ASSERT_TRUE(WaitFor([&] { return loader_.RecordCount() == static_cast<size_t>(i + 1); })) << "lost at " << i;
    }
    for (int i = kDirs / 2; i < kDirs; ++i) loader_.AddDirectory(Dir("d" + std::to_string(i)));  // then a burst
    ASSERT_TRUE(WaitFor([&] { return loader_.RecordCount() == kDirs && loader_.IsIdle(); }));
}

// The loader shows "Error when opening file" and waits for the answer; Refresh (true) or
// Clear pressed at that moment must return at once, not wait for the scan.
class AnswerAwaited : public test::ControllerFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(AnswerAwaited, RefreshOrClearDoesNotHang) {
    const bool refresh = GetParam();
    Touch("a/good.mp3");
    for (const char* name : {"broken1.mp3", "broken2.mp3"}) fs::create_symlink(tree_ / "none", tree_ / "a" / name);
    loader_.SetLoadFunction(nullptr);  // real loads, whose failures are reported
    prompts_.errorGate = &gate_;
    LoaderThread thread(loader_, true);
    loader_.AddDirectory(Dir("a"));
    ASSERT_TRUE(gate_.WaitForWaiter());
    EXPECT_TRUE(prompts_.Prompts()[0].text.starts_with(u"Error when opening file \"" + Dir("a/broken1.mp3")));
    auto done = std::async(std::launch::async, [&] { refresh ? controller_.RefreshList() : controller_.ClearList(); });
    ASSERT_EQ(done.wait_for(5s), std::future_status::ready) << "the command waited for the open box";
    EXPECT_TRUE(window_.Has("empty"));
    EXPECT_EQ(loader_.RecordCount(), 0u);
    gate_.Open();  // the user answers; the scan stops after that file
    ASSERT_TRUE(WaitFor([&] { return loader_.IsIdle(); }));
    // Refreshed: scanned anew, the unopenable files listed empty; cleared: nothing.
    EXPECT_EQ(loader_.RecordCount(), refresh ? 3u : 0u);
    EXPECT_EQ(prompts_.Count(), refresh ? 3u : 1u);
    for (const RecordPtr& r : loader_.SnapshotRecords()) EXPECT_EQ(r->Stream().bitrate, 0);
}

INSTANTIATE_TEST_SUITE_P(RefreshOrClear, AnswerAwaited, ::testing::Bool());

// List calls of the user-interface thread while the loader scans; the records it took
// stay whole across Refresh and RemoveDirectory.
TEST_F(LoaderThreads, ListCallsRefreshAndRemoveWhileScanning) {
    for (int d = 0; d < 6; ++d) {
        for (int f = 0; f < 40; ++f) Touch("d" + std::to_string(d) + "/s/" + std::to_string(f) + ".mp3");
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
    for (int i = 0; i < 30; ++i) Touch("a/sub/" + std::to_string(i) + ".mp3");
    for (int i = 0; i < 60; ++i) Touch("b/" + std::to_string(i) + ".mp3");
    loader_.SetLoadFunction([&](Mp3FileRecord& r) {
        gate_.Wait();
        r.Tag().SetText(kFrameTIT2, u"changed");
        std::this_thread::sleep_for(200us);
        return true;
    });
    saver_.SetSaveFunction([](Mp3FileRecord& r) {
        std::this_thread::sleep_for(100us);  // the loader goes on meanwhile
        r.Tag().ClearChanged();
    });
    LoaderThread thread(loader_, true);
    loader_.AddDirectory(Dir("a"));
    ASSERT_TRUE(gate_.WaitForWaiter());
    controller_.UpdateStatus();
    EXPECT_EQ(window_.panes[0], u"Loading " + Dir("a") + u"...");
    EXPECT_EQ(window_.panes[1], u"Loaded: 0");
    gate_.Open();
    ASSERT_TRUE(WaitFor([&] { return loader_.IsIdle() && loader_.RecordCount() == 30; }));
    controller_.Save();
    loader_.AddDirectory(Dir("b"));
    size_t saved = 0;
    for (RecordPtr report; reports_.Next(report) && report; ++saved) {
        controller_.OnSaved(report);
        // a's records not reached yet, plus b's loaded so far (both move on meanwhile).
        const size_t before = loader_.RecordCount() - 30;
        const size_t count = controller_.CountNeedingSaving();
        EXPECT_GE(count, before);
        EXPECT_LE(count, 30 - saved - 1 + loader_.RecordCount() - 30);
    }
    controller_.OnSaveFinished();
    EXPECT_EQ(saved, 30u);
    ASSERT_TRUE(WaitFor([&] { return loader_.IsIdle(); }));
    EXPECT_EQ(controller_.CountNeedingSaving(), 60u);
    controller_.UpdateStatus();
    EXPECT_EQ(window_.panes[0], u"Done");
}

TEST_F(LoaderThreads, EndsPromptlyWithWorkQueued) {
    for (int d = 0; d < 20; ++d) Touch("d" + std::to_string(d) + "/a.mp3");
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
