#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "library/directory_loader.h"
#include "platform/settings_store.h"
#include "library/mp3_file_record.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

// A directory removed and added again while its first scan still runs (the user drops
// it back into the window, or answers a load error only after doing so): the list must
// end up with every file of it exactly once.
TEST(ReviewRemoveReadd, DirectoryAddedAgainDuringItsOwnScanIsListedWhole) {
    test::TempDir settingsDir;
    ASSERT_TRUE(SettingsStore::Instance().OpenAt((settingsDir / "settings.ini").string()));
    test::TempDir tree;
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"}) std::ofstream(tree / name) << "x";
    const std::u16string dir = PathFromNative(tree.Path().string());

    test::RecordingPrompts prompts;
    DirectoryLoader loader(prompts);
    int loads = 0;
    loader.SetLoadFunction([&](Mp3FileRecord&) {
        // While the second file loads: one record is already listed.
        if (++loads == 2) {
            loader.RemoveDirectory(dir);
            loader.AddDirectory(dir);
        }
    });
    loader.AddDirectory(dir);
    loader.ScanPending(true);

    std::multiset<std::u16string> names;
    for (const Mp3FileRecord* r : loader.SnapshotRecords()) names.insert(r->fileName);
    const std::multiset<std::u16string> expected{u"a.mp3", u"b.mp3", u"c.mp3", u"d.mp3"};
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(loader.IsIdle());
    EXPECT_EQ(loader.GetLoadedDirectories(), std::vector<std::u16string>{dir});
}

// The same when the scan finds no further file after the removal: the new queue entry
// must not be taken for the old scan's.
TEST(ReviewRemoveReadd, ReaddedDirectoryStaysQueuedWhenTheOldScanFindsNothingMore) {
    test::TempDir settingsDir;
    ASSERT_TRUE(SettingsStore::Instance().OpenAt((settingsDir / "settings.ini").string()));
    test::TempDir tree;
    std::ofstream(tree / "only.mp3") << "x";
    const std::u16string dir = PathFromNative(tree.Path().string());

    test::RecordingPrompts prompts;
    DirectoryLoader loader(prompts);
    loader.SetLoadFunction([](Mp3FileRecord&) {});
    int added = 0;
    // Just after the only file was listed.
    loader.SetProgressFunction([&](size_t, const std::u16string&) {
        if (++added == 1) {
            loader.RemoveDirectory(dir);
            loader.AddDirectory(dir);
        }
    });
    loader.AddDirectory(dir);
    loader.ScanPending(true);
    ASSERT_EQ(loader.RecordCount(), 1u);
    EXPECT_EQ(loader.SnapshotRecords()[0]->fileName, u"only.mp3");
    EXPECT_TRUE(loader.IsIdle());
}

}  // namespace
}  // namespace quorvane
