#include "library/directory_loader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/file_rewrite.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using Dirs = std::vector<std::u16string>;

void Touch(const fs::path& p) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "not really audio";
}

class DirectoryLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SettingsStore::Instance().OpenAt((settings_ / "settings.ini").string()));
        loader_.SetLoadFunction([this](Mp3FileRecord& r) {
            loaded_.push_back(Relative(r));
            return true;
        });
    }
    std::u16string Dir(const std::string& rel = "") const {
        return PathFromNative(rel.empty() ? tree_.Path().string() : (tree_ / rel).string());
    }
    std::string Relative(const Mp3FileRecord& r) const {
        return PathToNative(r.FullPath()).substr(tree_.Path().string().size() + 1);
    }
    Strings Names(const std::vector<RecordPtr>& records) const {
        Strings names;
        for (const RecordPtr& r : records) names.push_back(Relative(*r));
        return names;
    }
    Strings Names() const { return Names(loader_.SnapshotRecords()); }

    test::TempDir settings_, tree_;
    test::RecordingPrompts prompts_;
    DirectoryLoader loader_{prompts_};
    Strings loaded_;
};

// One walk: the files of a directory sorted by name, then its subdirectories sorted,
// whatever order the file system keeps; links back up end, names that are not UTF-8
// survive. Directories compare exactly once normalised; a file reached from two of them
// is listed twice.
TEST_F(DirectoryLoaderTest, FilesSortedByNameThenSubdirectories) {
    const std::string odd = "caf\xe9.mp3";  // Latin-1, not UTF-8
    for (const std::string f : {"b.mp3", "sub/notes.txt", "0sub/deeper/e.Mp3", "a.mp3", "c.mp3.bak", "mp3", "B.MP3",
                                "0sub/d.mp3", "..hidden/x.mp3", ".hidden/f.mp3", ".mp3", "a/x.mp3", odd.c_str()}) {
        Touch(tree_ / f);
    }
    fs::create_directories(tree_ / "dir.mp3");  // a directory with the extension is no file
    fs::create_directory_symlink(tree_ / "a", tree_ / "a" / "loop");
    fs::create_directory_symlink(tree_.Path(), tree_ / "a" / "up");
    loader_.AddDirectory(Dir());
    loader_.AddDirectory(Dir("0sub/deeper"));
    loader_.AddDirectory(Dir("0sub/deeper") + u"/");  // the same once normalised: ignored
    EXPECT_EQ(NormalizeDirectory(u"/"), u"/");  // only the root keeps its separator
    loader_.AddDirectory(Dir("nothing-here"));  // yields nothing, no message, stays loaded
    const Dirs dirs = {Dir(), Dir("0sub/deeper"), Dir("nothing-here")};
    EXPECT_EQ(loader_.GetLoadedDirectories(), dirs);
    loader_.ScanPending(true);
    const Strings expected = {".mp3",       "B.MP3",   "a.mp3", "b.mp3", odd, ".hidden/f.mp3", "0sub/d.mp3",
                              "0sub/deeper/e.Mp3", "a/x.mp3", "0sub/deeper/e.Mp3"};
    EXPECT_EQ(Names(), expected);
    EXPECT_EQ(loaded_, expected);
    EXPECT_EQ(loader_.RecordsOfDirectory(Dir()).size(), 9u);
    EXPECT_EQ(loader_.RecordsOfDirectory(Dir("0sub/deeper") + u"/").size(), 1u);
    EXPECT_EQ(SettingsStore::Instance().ReadStringList("LoadedDirs"), dirs);
    EXPECT_EQ(loader_.TakeNewRecords(), loader_.SnapshotRecords());
    EXPECT_TRUE(loader_.TakeNewRecords().empty());
    EXPECT_TRUE(loader_.IsIdle());
    EXPECT_EQ(prompts_.Count(), 0u);
}

// The command-line tool keeps files it cannot open out of the list; the window lists
// them, empty. The failure is reported either way.
TEST_F(DirectoryLoaderTest, SkipUnopenedKeepsAnUnopenableFileOut) {
    Touch(tree_ / "good.mp3");
    fs::create_symlink(tree_ / "missing", tree_ / "broken.mp3");
    for (bool skip : {false, true}) {
        DirectoryLoader loader(prompts_, false);
        loader.SetLoadFunction([this](Mp3FileRecord& r) { return r.LoadFile(prompts_, {}); });
        loader.SetSkipUnopened(skip);
        loader.AddDirectory(Dir());
        loader.ScanPending(true);
        EXPECT_EQ(Names(loader.SnapshotRecords()), (skip ? Strings{"good.mp3"} : Strings{"broken.mp3", "good.mp3"}));
        EXPECT_EQ(loader.TakeNewRecords().size(), skip ? 1u : 2u);
    }
    EXPECT_EQ(prompts_.Count(), 2u);
}

// Records are shared: whatever a list view or an operation still holds stays a whole
// record after RemoveDirectory, Refresh and Clear (ASan sees any that was destroyed).
TEST_F(DirectoryLoaderTest, HeldRecordsOutliveRemoveRefreshAndClear) {
    for (const char* f : {"one/a.mp3", "one/b.mp3", "two/c.mp3"}) Touch(tree_ / f);
    struct Observer : RecordObserver {
        std::vector<RecordPtr> removed;
        void RecordRemoved(const RecordPtr& r) override { removed.push_back(r); }
    } observer;
    loader_.SetObserver(&observer);
    loader_.AddDirectory(Dir("one"));
    loader_.AddDirectory(Dir("two"));
    loader_.ScanPending(true);
    const std::vector<RecordPtr> rows = loader_.TakeNewRecords();  // what a list model holds
    ASSERT_EQ(Names(rows), (Strings{"one/a.mp3", "one/b.mp3", "two/c.mp3"}));

    loader_.RemoveDirectory(Dir("one"));
    EXPECT_EQ(Names(observer.removed), (Strings{"one/b.mp3", "one/a.mp3"}));  // walked from the end
    EXPECT_EQ(Names(), (Strings{"two/c.mp3"}));
    EXPECT_EQ(SettingsStore::Instance().ReadStringList("LoadedDirs"), (Dirs{Dir("two")}));
    observer.removed.clear();

    Touch(tree_ / "two" / "d.mp3");
    loader_.Refresh();  // every loaded directory again, from disk
    EXPECT_EQ(loader_.RecordCount(), 0u);
    EXPECT_FALSE(loader_.IsIdle());
    loader_.ScanPending(true);
    const std::vector<RecordPtr> snapshot = loader_.SnapshotRecords();  // what an operation holds
    EXPECT_EQ(Names(snapshot), (Strings{"two/c.mp3", "two/d.mp3"}));
    EXPECT_NE(snapshot[0], rows[2]);

    loader_.Clear(true);
    EXPECT_TRUE(loader_.GetLoadedDirectories().empty() && loader_.TakeNewRecords().empty());
    EXPECT_TRUE(SettingsStore::Instance().ReadStringList("LoadedDirs").empty());
    // Every record taken before is still whole, and now held only here.
    EXPECT_EQ(Names(rows), (Strings{"one/a.mp3", "one/b.mp3", "two/c.mp3"}));
    EXPECT_EQ(Names(snapshot), (Strings{"two/c.mp3", "two/d.mp3"}));
    for (const auto* held : {&rows, &snapshot}) {
        for (const RecordPtr& r : *held) EXPECT_EQ(r.use_count(), 1) << U8(r->FileName());
    }
}

// A failed write of "LoadedDirs" is an error box, and while a box is open the window
// goes on polling the loader: the settings must not be written under the list lock.
TEST_F(DirectoryLoaderTest, ASettingsWarningMayPollTheLoader) {
    struct Polling : test::RecordingPrompts {
        explicit Polling(DirectoryLoader& l) : loader(l) {}
        void ShowError(std::u16string_view caption, std::u16string_view text) override {
            RecordingPrompts::ShowError(caption, text);
            loader.TakeNewRecords();
        }
        DirectoryLoader& loader;
    } polling(loader_);
    fs::create_directory(settings_ / ("settings.ini.tmp." + std::to_string(getpid())));  // every write fails
    SettingsStore::Instance().SetPrompts(&polling);
    loader_.AddDirectory(Dir("a"));
    loader_.RemoveDirectory(Dir("a"));
    loader_.AddDirectory(Dir("b"));
    loader_.Clear(true);
    SettingsStore::Instance().SetPrompts(nullptr);
    EXPECT_EQ(polling.Count(), 4u);
}

TEST_F(DirectoryLoaderTest, StartupActions) {
    auto& store = SettingsStore::Instance();
    for (const char* d : {"c", "a", "b"}) Touch(tree_ / d / "x.mp3");
    store.WriteStringList("LoadedDirs", {Dir("c"), u"", Dir("a"), Dir("b")});
    store.WriteNumber("StartupAction", 0);
    {
        DirectoryLoader loader(prompts_);
        loader.SetLoadFunction([](Mp3FileRecord&) { return true; });
        EXPECT_EQ(loader.Startup(), 0u);
        loader.ScanPending(true);
        EXPECT_EQ(Names(loader.SnapshotRecords()), (Strings{"c/x.mp3", "a/x.mp3", "b/x.mp3"}));
    }
    EXPECT_EQ(store.ReadStringList("LoadedDirs"), (Dirs{Dir("c"), Dir("a"), Dir("b")}));
    store.DeleteValue("StartupAction");  // default 2: nothing loaded, the list emptied
    DirectoryLoader loader(prompts_);
    EXPECT_EQ(loader.Startup(), 2u);
    EXPECT_TRUE(loader.GetLoadedDirectories().empty());
    EXPECT_TRUE(store.ReadStringList("LoadedDirs").empty());

    store.WriteStringList("LoadedDirs", {u"/kept"});  // the command-line tool leaves it alone
    DirectoryLoader tool(prompts_, false);
    tool.AddDirectory(Dir());
    tool.RemoveDirectory(Dir());
    tool.Clear(true);
    EXPECT_EQ(store.ReadStringList("LoadedDirs"), (Dirs{u"/kept"}));
}

// A directory removed and added again while its first scan still runs (dropped back
// into the window, or answered a load error only after that): every file of it is
// listed exactly once, also when the old scan finds nothing more after the removal.
TEST_F(DirectoryLoaderTest, DirectoryAddedAgainDuringItsOwnScanIsListedWhole) {
    for (int files : {4, 1}) {
        SCOPED_TRACE(files);
        const std::string sub = std::to_string(files);
        for (int i = 0; i < files; ++i) Touch(tree_ / sub / (std::to_string(i) + ".mp3"));
        DirectoryLoader loader(prompts_);
        int loads = 0;
        std::function<void()> readd = [&] {
            loader.RemoveDirectory(Dir(sub));
            loader.AddDirectory(Dir(sub));
        };
        // With four files: while the second loads; with one: just after it was listed.
        loader.SetLoadFunction([&](Mp3FileRecord&) {
            if (++loads == 2 && files > 1) readd();
            return true;
        });
        loader.SetProgressFunction([&](size_t, const std::u16string&) {
            if (loads == 1 && files == 1) readd();
        });
        loader.AddDirectory(Dir(sub));
        loader.ScanPending(true);
        EXPECT_EQ(Names(loader.SnapshotRecords()), (files == 4 ? Strings{"4/0.mp3", "4/1.mp3", "4/2.mp3", "4/3.mp3"}
                                                                : Strings{"1/0.mp3"}));
        EXPECT_TRUE(loader.IsIdle());
        EXPECT_EQ(loader.GetLoadedDirectories(), Dirs{Dir(sub)});
    }
}

// A save that failed in the copy back (the file has other links) left a complete copy:
// the scan finishes that save before the file is read, and the copy goes.
TEST_F(DirectoryLoaderTest, AnInterruptedSaveIsFinishedBeforeItsFileIsRead) {
    struct FailInCopyBack : SaveFaults {
        void BeforeWrite(uint64_t count) override {
            if ((written += count) > 300100) throw FileException{EIO};
        }
        uint64_t written = 0;
    } fail;
    const fs::path song = tree_ / "song.mp3";
    test::WriteFileBytes(song, std::vector<uint8_t>(300000, 1));
    fs::create_hard_link(song, settings_ / "alias.mp3");
    BinaryFile file = test::OpenForSave(song);
    EXPECT_THROW(RewriteFile(file, PathFromNative(song.string()), std::vector<uint8_t>(100, 2), 0, &fail), FileException);
    file.Close();
    std::vector<uint8_t> loaded, expected(100, 2);
    expected.resize(300100, 1);
    loader_.SetLoadFunction([&](Mp3FileRecord& r) { return !(loaded = test::ReadFileBytes(PathToNative(r.DiskPath()))).empty(); });
    loader_.AddDirectory(Dir());
    loader_.ScanPending(true);
    EXPECT_EQ(loaded, expected);
    EXPECT_EQ(std::distance(fs::directory_iterator(tree_.Path()), fs::directory_iterator()), 1);
    EXPECT_EQ(prompts_.Count(), 0u);
}

}  // namespace
}  // namespace quorvane
