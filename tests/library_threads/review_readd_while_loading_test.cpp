#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "controller_fixture.h"
#include "library/loader_thread.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// While the loader waits (for instance for the answer to a load error), the user
// removes the directory being scanned and drops it in again. Once the loader goes on,
// every file of the directory is listed exactly once.
TEST(ReviewLoaderThreads, DirectoryRemovedAndAddedAgainWhileALoadWaitsIsListedWhole) {
    test::TempDir settings;
    ASSERT_TRUE(SettingsStore::Instance().OpenAt((settings / "s.ini").string()));
    test::TempDir tree;
    fs::create_directories(tree / "a");
    for (int i = 0; i < 6; ++i) std::ofstream(tree / "a" / (std::to_string(i) + ".mp3")) << "x";
    const std::u16string dir = PathFromNative((tree / "a").string());

    test::Gate gate;
    std::atomic<int> loads{0};
    test::RecordingPrompts prompts;
    DirectoryLoader loader(prompts, false);
    loader.SetLoadFunction([&](Mp3FileRecord&) {
        if (++loads == 3) gate.Wait();  // two files are listed by now
    });
    test::QueueSink sink;
    TagSaver saver(prompts, sink);
    test::LogWindow window;
    SaveController controller(loader, saver, prompts, window);
    LoaderThread thread(loader, true);

    loader.AddDirectory(dir);
    ASSERT_TRUE(gate.WaitForWaiter());
    controller.RemoveDirectory(dir);
    EXPECT_EQ(loader.RecordCount(), 0u);
    loader.AddDirectory(dir);
    gate.Open();

    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!(loader.IsIdle() && loads >= 9) && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(loader.IsIdle());
    std::multiset<std::u16string> names;
    for (const Mp3FileRecord* r : loader.SnapshotRecords()) names.insert(r->fileName);
    const std::multiset<std::u16string> expected{u"0.mp3", u"1.mp3", u"2.mp3", u"3.mp3", u"4.mp3", u"5.mp3"};
    EXPECT_EQ(names, expected);
}

}  // namespace
}  // namespace quorvane
