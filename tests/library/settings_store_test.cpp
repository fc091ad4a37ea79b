#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string ReadText(const fs::path& p) {
    std::ifstream in(p);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const fs::path& p, const std::string& text) { std::ofstream(p) << text; }

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = (dir_ / "conf" / "settings.ini").string();
        ASSERT_TRUE(store().OpenAt(path_));
        store().SetWarningHandler([this](const std::string& w) { warnings_.push_back(w); });
    }
    void TearDown() override { store().SetWarningHandler(nullptr); }
    static SettingsStore& store() { return SettingsStore::Instance(); }
    // Reopen so that the next read sees the file as it is now.
    void Reopen() { ASSERT_TRUE(store().OpenAt(path_)); }

    TempDir dir_;
    std::string path_;
    std::vector<std::string> warnings_;
};

TEST_F(SettingsStoreTest, FreshInstallationGivesTheDocumentedDefaults) {
    EXPECT_TRUE(settings::Recurse());
    EXPECT_EQ(settings::StartupAction(), 2u);
    EXPECT_TRUE(settings::Use24());
    EXPECT_TRUE(settings::AutoDeleteV1());
    EXPECT_FALSE(settings::AutoConvertToV2());
    EXPECT_TRUE(settings::SaveEmpty());
    EXPECT_EQ(settings::Encoding(), 0u);
    EXPECT_EQ(settings::DecreasePaddingVal(), 4294967295u);
    EXPECT_TRUE(store().ReadBool("ShowRedText", true));
    EXPECT_TRUE(store().ReadStringList("LoadedDirs").empty());
    EXPECT_EQ(store().ReadString("BrowseDir"), u"");
    // Reading alone never creates the file.
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_TRUE(warnings_.empty());
}

TEST_F(SettingsStoreTest, ValuesOfTheWrongKindReadAsDefaults) {
    store().WriteStringValue("Recurse", u"0");       // a boolean stored as a string
    store().WriteNumber("Encoding", 7);              // out of range
    store().WriteStringList("LoadedDirs", {u""});    // one empty string: too short
    store().WriteNumber("BrowseDir", 5);             // a string stored as a number
    store().WriteStringValue("StartupAction", u"0");  // a number stored as a string
    Reopen();
    EXPECT_TRUE(settings::Recurse());
    EXPECT_FALSE(store().ReadBool("AutoConvertToV2", false));
    EXPECT_EQ(settings::Encoding(), 0u);
    EXPECT_TRUE(store().ReadStringList("LoadedDirs").empty());
    EXPECT_EQ(store().ReadString("BrowseDir"), u"");
    EXPECT_EQ(settings::StartupAction(), 2u);
    store().WriteNumber("Encoding", 3);
    EXPECT_EQ(settings::Encoding(), 3u);
}

TEST_F(SettingsStoreTest, StringListsSkipEmptyEntriesAndKeepOrder) {
    store().WriteStringList("Renames", {u"a", u"", u"b"});
    EXPECT_EQ(store().ReadStringList("Renames"), (std::vector<std::u16string>{u"a", u"b"}));
    // "a" alone is three characters stored ("a", terminator, terminator): not too short.
    store().WriteStringList("Renames", {u"a"});
    EXPECT_EQ(store().ReadStringList("Renames"), (std::vector<std::u16string>{u"a"}));
}

TEST_F(SettingsStoreTest, AppendMovesAnExistingEntryToTheEndAndRemoveTakesAllCopies) {
    store().AppendToList("Renames", u"<artist> - <title>");
    store().AppendToList("Renames", u"<track>");
    store().AppendToList("Renames", u"<artist> - <title>");
    EXPECT_EQ(store().ReadStringList("Renames"),
              (std::vector<std::u16string>{u"<track>", u"<artist> - <title>"}));
    store().AppendToList("Renames", u"<TRACK>");  // case-sensitive: a new entry
    EXPECT_EQ(store().ReadStringList("Renames").size(), 3u);

    store().WriteStringList("LoadedDirs", {u"/a", u"/b", u"/a"});
    store().RemoveFromList("LoadedDirs", u"/a");
    EXPECT_EQ(store().ReadStringList("LoadedDirs"), (std::vector<std::u16string>{u"/b"}));
    const auto before = fs::last_write_time(path_);
    store().RemoveFromList("LoadedDirs", u"/missing");  // nothing removed: nothing written
    EXPECT_EQ(fs::last_write_time(path_), before);
}

TEST_F(SettingsStoreTest, TextSurvivesTheFileWithAnyCharacters) {
    const std::u16string odd = u"quote \" back\\ tab\t nl\n é 日本 \U0001F3B5 ctl\x01";
    std::u16string lone = u"x";
    lone.push_back(0xD800);  // a lone surrogate is kept too
    store().WriteStringValue("BrowseDir", odd);
    store().WriteStringList("RegExps", {odd, lone, u"(?P<track>.+)_(?P<title>.+)"});
    store().WriteNumber("XML/Structure2", 4);
    store().WriteBool("XML/V1Title", true);
    Reopen();
    EXPECT_EQ(store().ReadString("BrowseDir"), odd);
    EXPECT_EQ(store().ReadStringList("RegExps"),
              (std::vector<std::u16string>{odd, lone, u"(?P<track>.+)_(?P<title>.+)"}));
    EXPECT_EQ(store().ReadNumber("XML/Structure2", 0), 4u);
    EXPECT_TRUE(store().ReadBool("XML/V1Title", false));
    const std::string text = ReadText(path_);
    EXPECT_NE(text.find("[XML]\nStructure2=dword:4"), std::string::npos) << text;
    EXPECT_NE(text.find("V1Title=dword:1"), std::string::npos);
}

TEST_F(SettingsStoreTest, ExpandStringsReadAsTextWithoutExpansion) {
    WriteText(path_, "[main]\nBrowseDir=expand_sz:\"$HOME/Music\"\nUse2.4=binary:01000000\n");
    Reopen();
    EXPECT_EQ(store().ReadString("BrowseDir"), u"$HOME/Music");
    // A boolean must be a dword; four raw bytes are not one.
    EXPECT_TRUE(settings::Use24());
    store().WriteBool("Use2.4", false);
    EXPECT_FALSE(settings::Use24());
}

TEST_F(SettingsStoreTest, AnUnreadableFileIsKeptAsideWithOneWarning) {
    fs::create_directories(fs::path(path_).parent_path());
    WriteText(path_, "[main]\nRecurse=dword:0\nthis line is not a setting\n");
    Reopen();
    ASSERT_EQ(warnings_.size(), 1u);
    EXPECT_NE(warnings_[0].find("line 3"), std::string::npos) << warnings_[0];
    EXPECT_TRUE(fs::exists(path_ + ".bad"));
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_TRUE(settings::Recurse());  // defaults, not the half-read file
    store().WriteBool("Recurse", false);
    Reopen();
    EXPECT_FALSE(settings::Recurse());
    EXPECT_EQ(warnings_.size(), 1u);
}

TEST_F(SettingsStoreTest, WritesReplaceTheFileAtomicallyAndLeaveNoTemporaries) {
    for (int i = 0; i < 20; ++i) store().WriteNumber("StartupAction", static_cast<uint32_t>(i % 3));
    for (const auto& entry : fs::directory_iterator(fs::path(path_).parent_path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "settings.ini" || name == "settings.ini.lock") << name;
    }
    EXPECT_EQ(ParseSettingsText(ReadText(path_)).at("StartupAction").number, 1u);
}

TEST_F(SettingsStoreTest, AChangeByAnotherProcessIsSeenByTheNextRead) {
    store().WriteBool("Recurse", true);
    // Another process (here: a plain write of a new file renamed into place) changes it.
    const std::string other = path_ + ".other";
    WriteText(other, "[main]\nRecurse=dword:0\n");
    fs::rename(other, path_);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_FALSE(settings::Recurse());
}

TEST(SettingsOpen, FailsWithAReasonWhenTheFolderCannotBeCreated) {
    TempDir dir;
    const fs::path blocker = dir / "file";
    WriteText(blocker, "x");
    SettingsStore store;  // a private store: the process's one stays as it is
    std::string error;
    EXPECT_FALSE(store.OpenAt((blocker / "quorvane" / "settings.ini").string(), &error));
    EXPECT_NE(error.find("settings.ini"), std::string::npos) << error;
}

TEST(SettingsPath, FollowsTheEnvironment) {
    struct Saved {
        const char* name;
        std::optional<std::string> value;
    } saved[] = {{"QUORVANE_SETTINGS", {}}, {"XDG_CONFIG_HOME", {}}, {"HOME", {}}};
    for (auto& s : saved) {
        if (const char* v = std::getenv(s.name)) s.value = v;
    }
    setenv("QUORVANE_SETTINGS", "/tmp/x/settings.ini", 1);
    EXPECT_EQ(SettingsStore::DefaultPath(), "/tmp/x/settings.ini");
    unsetenv("QUORVANE_SETTINGS");
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(SettingsStore::DefaultPath(), "/cfg/quorvane/settings.ini");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(SettingsStore::DefaultPath(), "/home/u/.config/quorvane/settings.ini");
    for (const auto& s : saved) {
        if (s.value) setenv(s.name, s.value->c_str(), 1); else unsetenv(s.name);
    }
}

TEST(SettingsFormat, RejectsMalformedLinesWithTheirNumber) {
    const char* bad[] = {
        "[main]\nRecurse=dword:-1\n",       "[main]\nRecurse=dword:4294967296\n",
        "[main]\nBrowseDir=sz:\"open\n",    "[main]\nBrowseDir=sz:\"a\\q\"\n",
        "[other]\n",                        "[main]\nL=multi_sz:\"a\",\n",
        "[main]\nRecurse=word:1\n",         "[main]\nBrowseDir=sz:\"\xff\"\n",
        "[main]\nB=binary:abc\n",           "[main]\n=dword:1\n",
    };
    for (const char* text : bad) EXPECT_THROW(ParseSettingsText(text), std::runtime_error) << text;
    const auto ok = ParseSettingsText("# comment\n\n[main]\n  Recurse = dword:0  \nL=multi_sz:\n");
    EXPECT_EQ(ok.at("Recurse").number, 0u);
    EXPECT_TRUE(ok.at("L").list.empty());
}

TEST(SettingsKnown, EveryValueHasADefinition) {
    for (const char* name : {"Recurse", "StartupAction", "LoadedDirs", "AutoDeleteV1", "AutoConvertToV2",
                             "SaveEmpty", "Use2.4", "Encoding", "DecreasePaddingVal", "ShowRedText", "ShowIcons",
                             "AlternateBg", "ShowGridlines", "Tooltips", "NextAutoSave", "BrowseDir", "Renames",
                             "GenNormals", "RegExps", "XML/V2Title", "XML/SkipIfEmpty", "XML/Structure3"}) {
        EXPECT_NE(FindSettingDefinition(name), nullptr) << name;
    }
    EXPECT_EQ(FindSettingDefinition("XML/V1Title")->defaultValue, 0u);
    EXPECT_EQ(FindSettingDefinition("XML/Mp3Bitrate")->defaultValue, 1u);
}

}  // namespace
}  // namespace quorvane
