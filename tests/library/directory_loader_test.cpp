#include "library/directory_loader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "platform/settings_store.h"
#include "library/mp3_file_record.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using test::RecordingPrompts;
using test::TempDir;

void Touch(const fs::path& p) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "not really audio";
}

class DirectoryLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SettingsStore::Instance().OpenAt((settingsDir_ / "settings.ini").string()));
        loader_.SetLoadFunction([this](Mp3FileRecord& r) { loaded_.push_back(r.FullPath()); });
    }
    std::u16string Dir(const std::string& rel = "") const {
        return PathFromNative(rel.empty() ? tree_.Path().string() : (tree_ / rel).string());
    }
    // "root-relative path" of every record, in record order.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        const std::string base = tree_.Path().string() + "/";
        for (const Mp3FileRecord* r : loader_.SnapshotRecords()) {
            names.push_back(PathToNative(r->FullPath()).substr(base.size()));
        }
        return names;
    }
    std::multiset<std::string> NameSet() const {
        const auto v = Names();
        return {v.begin(), v.end()};
    }

    TempDir settingsDir_;
    TempDir tree_;
    RecordingPrompts prompts_;
    DirectoryLoader loader_{prompts_};
    std::vector<std::u16string> loaded_;
};

TEST(DirectoryRules, NamesAndJoin) {
    EXPECT_TRUE(HasMp3Extension(u"song.MP3"));
    EXPECT_TRUE(HasMp3Extension(u"a.mP3"));
    EXPECT_TRUE(HasMp3Extension(u".mp3"));
    EXPECT_FALSE(HasMp3Extension(u"song.mp3.bak"));
    EXPECT_FALSE(HasMp3Extension(u"mp3"));
    EXPECT_FALSE(HasMp3Extension(u"song.mp4"));
    EXPECT_TRUE(IsSkippedDirectoryName(u"."));
    EXPECT_TRUE(IsSkippedDirectoryName(u".."));
    EXPECT_TRUE(IsSkippedDirectoryName(u"..hidden"));
    EXPECT_FALSE(IsSkippedDirectoryName(u".hidden"));
    EXPECT_FALSE(IsSkippedDirectoryName(u"music"));
    EXPECT_EQ(NormalizeDirectory(u"/music/"), u"/music");
    EXPECT_EQ(NormalizeDirectory(u"/music"), u"/music");
    EXPECT_EQ(NormalizeDirectory(u"/"), u"/");
    EXPECT_EQ(JoinPath(u"/music", u"a.mp3"), u"/music/a.mp3");
    EXPECT_EQ(JoinPath(u"/", u"a.mp3"), u"/a.mp3");
    EXPECT_EQ(JoinPath(u"/music/", u"a.mp3"), u"/music/a.mp3");
    EXPECT_EQ(JoinPath(u"", u"a.mp3"), u"a.mp3");
}

TEST_F(DirectoryLoaderTest, ScanRulesWithAndWithoutRecursion) {
    for (const char* f : {"a.mp3", "B.MP3", "c.mp3.bak", "mp3", "sub/d.mp3", "sub/deeper/e.Mp3",
                          "..hidden/x.mp3", ".hidden/f.mp3", "sub/notes.txt"}) {
        Touch(tree_ / f);
    }
    fs::create_directories(tree_ / "dir.mp3");  // a directory with the extension is no file
    loader_.AddDirectory(Dir());
    loader_.ScanPending(true);
    EXPECT_EQ(NameSet(), (std::multiset<std::string>{"a.mp3", "B.MP3", "sub/d.mp3", "sub/deeper/e.Mp3",
                                                      ".hidden/f.mp3"}));
    for (const Mp3FileRecord* r : loader_.SnapshotRecords()) {
        EXPECT_EQ(r->rootDirectory, Dir());
        EXPECT_EQ(r->fileName, r->diskName);
        EXPECT_FALSE(r->NeedsSaving());
    }
    EXPECT_EQ(loaded_.size(), 5u);
    EXPECT_EQ(loader_.TakeNewRecords(), loader_.SnapshotRecords());
    EXPECT_TRUE(loader_.TakeNewRecords().empty());
    EXPECT_TRUE(loader_.IsIdle());
    EXPECT_EQ(prompts_.Count(), 0u);

    // Without recursion only the files directly in the directory.
    DirectoryLoader flat(prompts_, false);
    flat.SetLoadFunction([](Mp3FileRecord&) {});
    flat.AddDirectory(Dir());
    flat.ScanPending(false);
    std::multiset<std::u16string> names;
    for (const Mp3FileRecord* r : flat.SnapshotRecords()) names.insert(r->fileName);
    EXPECT_EQ(names, (std::multiset<std::u16string>{u"a.mp3", u"B.MP3"}));
}

TEST_F(DirectoryLoaderTest, FileReachedTwiceIsListedTwiceAndDirectoriesCompareExactly) {
    Touch(tree_ / "sub" / "d.mp3");
    loader_.AddDirectory(Dir());
    loader_.AddDirectory(Dir("sub"));
    loader_.AddDirectory(Dir("sub") + u"/");  // the same once normalised: ignored
    EXPECT_EQ(loader_.GetLoadedDirectories(), (std::vector<std::u16string>{Dir(), Dir("sub")}));
    loader_.ScanPending(true);
    EXPECT_EQ(Names(), (std::vector<std::string>{"sub/d.mp3", "sub/d.mp3"}));
    EXPECT_EQ(loader_.RecordsOfDirectory(Dir()).size(), 1u);
    EXPECT_EQ(loader_.RecordsOfDirectory(Dir("sub") + u"/").size(), 1u);
    EXPECT_EQ(SettingsStore::Instance().ReadStringList("LoadedDirs"),
              (std::vector<std::u16string>{Dir(), Dir("sub")}));
}

TEST_F(DirectoryLoaderTest, MissingDirectoryYieldsNothingAndStaysLoaded) {
    loader_.AddDirectory(Dir("nothing-here"));
    loader_.ScanPending(true);
    EXPECT_EQ(loader_.RecordCount(), 0u);
    EXPECT_EQ(prompts_.Count(), 0u);
    EXPECT_EQ(loader_.GetLoadedDirectories().size(), 1u);
    EXPECT_TRUE(loader_.IsIdle());
}

TEST_F(DirectoryLoaderTest, LinkLoopsEndAndNonUtf8NamesSurvive) {
    Touch(tree_ / "a" / "x.mp3");
    fs::create_directory_symlink(tree_ / "a", tree_ / "a" / "loop");
    fs::create_directory_symlink(tree_.Path(), tree_ / "a" / "up");
    const std::string odd = std::string("caf\xe9") + ".mp3";  // Latin-1, not UTF-8
    Touch(tree_.Path() / odd);
    loader_.AddDirectory(Dir());
    loader_.ScanPending(true);
    auto names = NameSet();
    EXPECT_EQ(names.count("a/x.mp3"), 1u);
    EXPECT_EQ(names.count(odd), 1u);
    EXPECT_EQ(names.size(), 2u);
    // The record's path maps back to the bytes on disk.
    for (const Mp3FileRecord* r : loader_.SnapshotRecords()) {
        EXPECT_TRUE(fs::exists(PathToNative(r->FullPath()))) << U8(r->FullPath());
    }
}

TEST_F(DirectoryLoaderTest, RemoveRefreshAndClear) {
    Touch(tree_ / "one" / "a.mp3");
    Touch(tree_ / "one" / "b.mp3");
    Touch(tree_ / "two" / "c.mp3");
    struct Observer : RecordObserver {
        std::vector<const Mp3FileRecord*> removed;
        void RecordRemoved(const Mp3FileRecord* r) override { removed.push_back(r); }
    } observer;
    loader_.SetObserver(&observer);
    loader_.AddDirectory(Dir("one"));
    loader_.AddDirectory(Dir("two"));
    loader_.ScanPending(true);
    ASSERT_EQ(loader_.RecordCount(), 3u);
    const auto ofOne = loader_.RecordsOfDirectory(Dir("one"));
    ASSERT_EQ(ofOne.size(), 2u);

    loader_.RemoveDirectory(Dir("one"));
    EXPECT_EQ(observer.removed.size(), 2u);
    EXPECT_EQ(std::set<const Mp3FileRecord*>(observer.removed.begin(), observer.removed.end()),
              std::set<const Mp3FileRecord*>(ofOne.begin(), ofOne.end()));
    EXPECT_EQ(Names(), (std::vector<std::string>{"two/c.mp3"}));
    // The new-record list no longer holds the destroyed records.
    EXPECT_EQ(loader_.TakeNewRecords(), loader_.SnapshotRecords());
    EXPECT_EQ(SettingsStore::Instance().ReadStringList("LoadedDirs"), (std::vector<std::u16string>{Dir("two")}));

    // Refresh reloads every loaded directory from disk.
    Touch(tree_ / "two" / "d.mp3");
    loaded_.clear();
    loader_.Refresh();
    EXPECT_EQ(loader_.RecordCount(), 0u);
    EXPECT_FALSE(loader_.IsIdle());
    loader_.ScanPending(true);
    EXPECT_EQ(NameSet(), (std::multiset<std::string>{"two/c.mp3", "two/d.mp3"}));
    EXPECT_EQ(loaded_.size(), 2u);

    loader_.Clear(true);
    EXPECT_EQ(loader_.RecordCount(), 0u);
    EXPECT_TRUE(loader_.GetLoadedDirectories().empty());
    EXPECT_TRUE(loader_.TakeNewRecords().empty());
    EXPECT_TRUE(SettingsStore::Instance().ReadStringList("LoadedDirs").empty());
    EXPECT_TRUE(SettingsStore::Instance().ReadRaw("LoadedDirs").has_value());
}

TEST_F(DirectoryLoaderTest, StartupActions) {
    auto& store = SettingsStore::Instance();
    for (const char* d : {"c", "a", "b"}) Touch(tree_ / d / "x.mp3");
    store.WriteStringList("LoadedDirs", {Dir("c"), u"", Dir("a"), Dir("b")});
    store.WriteNumber("StartupAction", 0);
    {
        DirectoryLoader loader(prompts_);
        loader.SetLoadFunction([](Mp3FileRecord&) {});
        EXPECT_EQ(loader.Startup(), 0u);
        EXPECT_EQ(loader.GetLoadedDirectories(), (std::vector<std::u16string>{Dir("c"), Dir("a"), Dir("b")}));
        loader.ScanPending(true);
        std::vector<std::u16string> order;
        for (const Mp3FileRecord* r : loader.SnapshotRecords()) order.push_back(r->rootDirectory);
        EXPECT_EQ(order, (std::vector<std::u16string>{Dir("c"), Dir("a"), Dir("b")}));
    }
    EXPECT_EQ(store.ReadStringList("LoadedDirs"), (std::vector<std::u16string>{Dir("c"), Dir("a"), Dir("b")}));
    store.DeleteValue("StartupAction");  // default 2: nothing loaded, the list emptied
    DirectoryLoader loader(prompts_);
    EXPECT_EQ(loader.Startup(), 2u);
    EXPECT_TRUE(loader.GetLoadedDirectories().empty());
    EXPECT_TRUE(store.ReadStringList("LoadedDirs").empty());
}

TEST_F(DirectoryLoaderTest, ToolLoaderLeavesLoadedDirsAlone) {
    SettingsStore::Instance().WriteStringList("LoadedDirs", {u"/kept"});
    DirectoryLoader loader(prompts_, false);
    loader.AddDirectory(Dir());
    loader.RemoveDirectory(Dir());
    loader.Clear(true);
    EXPECT_EQ(SettingsStore::Instance().ReadStringList("LoadedDirs"), (std::vector<std::u16string>{u"/kept"}));
}

}  // namespace
}  // namespace quorvane
