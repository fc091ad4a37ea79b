#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <thread>

#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using List = std::vector<std::u16string>;

std::string ReadText(const fs::path& p) {
    std::ifstream in(p);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const fs::path& p, const std::string& text) { std::ofstream(p) << text; }

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(store().OpenAt(path_)); }
    static SettingsStore& store() { return SettingsStore::Instance(); }
    // Reopen so that the next read sees the file as it is now.
    void Reopen() { ASSERT_TRUE(store().OpenAt(path_)); }

    test::TempDir dir_;
    std::string path_ = (dir_ / "conf" / "settings.ini").string();
};

// A fresh installation, and values of the wrong kind or out of range: the defaults.
TEST_F(SettingsStoreTest, MissingAndMisfitValuesReadAsDefaults) {
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(settings::Recurse());
        EXPECT_EQ(settings::StartupAction(), 2u);
        EXPECT_TRUE(settings::Use24());
        EXPECT_TRUE(settings::AutoDeleteV1());
        EXPECT_FALSE(settings::AutoConvertToV2());
        EXPECT_TRUE(settings::SaveEmpty());
        EXPECT_EQ(settings::Encoding(), 0u);
        EXPECT_EQ(settings::DecreasePaddingVal(), 4294967295u);
        EXPECT_TRUE(store().ReadStringList("LoadedDirs").empty());
        EXPECT_EQ(store().ReadString("BrowseDir"), u"");
        EXPECT_EQ(fs::exists(path_), round == 1);  // reading alone never creates the file
        WriteText(path_, "[main]\nRecurse=sz:\"0\"\nStartupAction=sz:\"0\"\nUse2.4=binary:00000000\n"
                         "Encoding=dword:4\nLoadedDirs=multi_sz:\"\"\nBrowseDir=dword:5\n");
        Reopen();
    }
    store().WriteNumber("Encoding", 3);
    EXPECT_EQ(settings::Encoding(), 3u);
    WriteText(path_, "[main]\nBrowseDir=expand_sz:\"$HOME/Music\"\n");  // text, unexpanded
    Reopen();
    EXPECT_EQ(store().ReadString("BrowseDir"), u"$HOME/Music");
}

TEST_F(SettingsStoreTest, StringListsAppendRemoveSkipEmptyEntriesAndTextsOfAnyCharacterSurvive) {
    store().WriteStringList("Renames", {u"a", u"", u"b"});
    EXPECT_EQ(store().ReadStringList("Renames"), (List{u"a", u"b"}));
    store().WriteStringList("Renames", {u"a"});  // "a", terminator, terminator: not too short
    EXPECT_EQ(store().ReadStringList("Renames"), (List{u"a"}));
    store().AppendToList("Renames", u"<track>");
    store().AppendToList("Renames", u"a");  // moves to the end
    store().AppendToList("Renames", u"A");  // case-sensitive: a new entry
    EXPECT_EQ(store().ReadStringList("Renames"), (List{u"<track>", u"a", u"A"}));

    store().WriteStringList("LoadedDirs", {u"/a", u"/b", u"/a"});
    store().RemoveFromList("LoadedDirs", u"/a");
    EXPECT_EQ(store().ReadStringList("LoadedDirs"), (List{u"/b"}));
    const auto before = fs::last_write_time(path_);
    store().RemoveFromList("LoadedDirs", u"/missing");  // nothing removed: nothing written
    EXPECT_EQ(fs::last_write_time(path_), before);

    const std::u16string odd = u"quote \" back\\ tab\t nl\n é 日本 \U0001F3B5 ctl\x01";
    std::u16string lone = u"x";
    lone.push_back(0xD800);  // a lone surrogate is kept too
    store().WriteStringValue("BrowseDir", odd);
    store().WriteStringList("RegExps", {odd, lone});
    store().WriteNumber("XML/Structure2", 4);
    Reopen();
    EXPECT_EQ(store().ReadString("BrowseDir"), odd);
    EXPECT_EQ(store().ReadStringList("RegExps"), (List{odd, lone}));
    EXPECT_EQ(store().ReadNumber("XML/Structure2", 0), 4u);
    EXPECT_NE(ReadText(path_).find("[XML]\nStructure2=dword:4"), std::string::npos) << ReadText(path_);
}

TEST_F(SettingsStoreTest, WritesReplaceTheFileAndChangesByOthersAreSeen) {
    for (int i = 0; i < 20; ++i) store().WriteNumber("StartupAction", static_cast<uint32_t>(i % 3));
    for (const auto& entry : fs::directory_iterator(fs::path(path_).parent_path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "settings.ini" || name == "settings.ini.lock") << name;
    }
    EXPECT_EQ(ParseSettingsText(ReadText(path_)).at("StartupAction").number, 1u);
    // Another process writes a new file and renames it into place.
    WriteText(path_ + ".other", "[main]\nRecurse=dword:0\n");
    fs::rename(path_ + ".other", path_);
    std::this_thread::sleep_for(150ms);
    EXPECT_FALSE(settings::Recurse());
}

// Prompts that read a setting from inside ShowError, on this thread and on another: a
// report made while the store's lock is held would hang the one or deadlock the other.
class ReadingPrompts : public test::RecordingPrompts {
public:
    explicit ReadingPrompts(SettingsStore& store) : store_(store) {}
    void ShowError(std::u16string_view caption, std::u16string_view text) override {
        RecordingPrompts::ShowError(caption, text);
        reads_.push_back(std::async(std::launch::async, [this] { return store_.ReadNumber("Encoding", 0); }));
        if (reads_.back().wait_for(5s) != std::future_status::ready) lockHeld = true;
        if (!lockHeld) (void)store_.ReadNumber("Encoding", 0);
    }
    bool lockHeld = false;

private:
    SettingsStore& store_;
    std::vector<std::future<uint32_t>> reads_;  // joined after the box, outside the lock
};

TEST(SettingsWarnings, ReachThePromptsOnceAndNeverUnderTheLock) {
    test::TempDir dir;
    const std::string path = (dir / "settings.ini").string();
    WriteText(path, "[main]\nRecurse=dword:0\nthis line is not a setting\n");
    SettingsStore store;  // a private store: the process's one keeps its prompts
    ReadingPrompts prompts(store);
    ASSERT_TRUE(store.OpenAt(path));  // the warning waits for prompts
    EXPECT_TRUE(fs::exists(path + ".bad"));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(store.ReadBool("Recurse", true));  // defaults, not the half-read file
    store.SetPrompts(&prompts);
    store.WriteBool("Recurse", false);
    // A write that fails (its temporary name is taken by a directory) is told once and
    // the value is kept for this run.
    fs::create_directory(path + ".tmp." + std::to_string(getpid()));
    store.WriteNumber("Encoding", 2);
    EXPECT_EQ(store.ReadNumber("Encoding", 0), 2u);
    const auto shown = prompts.Prompts();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_NE(shown[0].text.find(u"line 3"), std::u16string::npos) << U8(shown[0].text);
    EXPECT_NE(shown[0].text.find(u"settings.ini.bad"), std::u16string::npos);
    EXPECT_NE(shown[1].text.find(u"could not be saved"), std::u16string::npos) << U8(shown[1].text);
    EXPECT_FALSE(prompts.lockHeld) << "a warning was shown while the store's lock was held";
}

TEST(SettingsOpen, FailsWithAReasonAndFollowsTheEnvironment) {
    test::TempDir dir;
    WriteText(dir / "file", "x");
    SettingsStore store;
    std::string error;
    EXPECT_FALSE(store.OpenAt((dir / "file" / "quorvane" / "settings.ini").string(), &error));
    EXPECT_NE(error.find("settings.ini"), std::string::npos) << error;

    std::optional<std::string> saved[3];
    const char* names[] = {"QUORVANE_SETTINGS", "XDG_CONFIG_HOME", "HOME"};
    for (int i = 0; i < 3; ++i) {
        if (const char* v = std::getenv(names[i])) saved[i] = v;
    }
    // Each variable wins over the ones after it.
    const char* values[] = {"/tmp/x/settings.ini", "/cfg", "/home/u"};
    const char* paths[] = {"/tmp/x/settings.ini", "/cfg/quorvane/settings.ini", "/home/u/.config/quorvane/settings.ini"};
    for (int i = 0; i < 3; ++i) setenv(names[i], values[i], 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(SettingsStore::DefaultPath(), paths[i]);
        unsetenv(names[i]);
    }
    for (int i = 0; i < 3; ++i) saved[i] ? (void)setenv(names[i], saved[i]->c_str(), 1) : (void)unsetenv(names[i]);
}

TEST(SettingsFormat, RejectsMalformedLines) {
    const char* bad[] = {
        "[main]\nRecurse=dword:-1\n",    "[main]\nRecurse=dword:4294967296\n", "[main]\nBrowseDir=sz:\"open\n",
        "[main]\nBrowseDir=sz:\"a\\q\"\n", "[other]\n",                       "[main]\nL=multi_sz:\"a\",\n",
        "[main]\nRecurse=word:1\n",      "[main]\nBrowseDir=sz:\"\xff\"\n",    "[main]\nB=binary:abc\n",
        "[main]\n=dword:1\n",
    };
    for (const char* text : bad) EXPECT_THROW(ParseSettingsText(text), std::runtime_error) << text;
    const auto ok = ParseSettingsText("# comment\n\n[main]\n  Recurse = dword:4294967295  \nL=multi_sz:\n");
    EXPECT_EQ(ok.at("Recurse").number, 4294967295u);
    EXPECT_TRUE(ok.at("L").list.empty());
}

}  // namespace
}  // namespace quorvane
