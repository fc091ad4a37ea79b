#include "library/save_record.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/binary_file.h"
#include "record_test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::RecordFiles;

std::vector<std::string> DirectoryNames(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Makes a file unwritable even for root (immutable) and undoes it when done.
class Unwritable {
public:
    explicit Unwritable(const fs::path& path) : path_(path) {
        if (geteuid() == 0) {
            immutable_ = test::RunCommand({"chattr", "+i", path.string()}).status == 0;
        } else {
            fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        }
    }
    ~Unwritable() {
        if (immutable_) test::RunCommand({"chattr", "-i", path_.string()});
    }
    bool Works() const { return geteuid() != 0 || immutable_; }
    bool Immutable() const { return immutable_; }

private:
    fs::path path_;
    bool immutable_ = false;
};

TEST_F(RecordFiles, RenameOnlyRenamesWithoutOpening) {
    const fs::path path = dir_ / "old.mp3";
    test::MakeMp3(path, {"-b", "128"});
    test::TagWithMutagen(path, 4, {"TIT2=T"}, false);
    const auto bytes = ReadFileBytes(path);
    auto r = test::LoadRecord(path, prompts_);
    r->fileName = u"new.mp3";
    // A writer holds the file: opening it for the save would fail and be reported.
    BinaryFile holder;
    uint32_t error = 0;
    ASSERT_TRUE(holder.Open(PathFromNative(path.string()), OpenMode::Update, error));
    SaveRecord(*r, prompts_);
    holder.Close();
    EXPECT_EQ(prompts_.Count(), 0u);
    EXPECT_EQ(DirectoryNames(dir_.Path()), (std::vector<std::string>{"new.mp3"}));
    EXPECT_EQ(ReadFileBytes(dir_ / "new.mp3"), bytes);
    EXPECT_EQ(r->diskName, u"new.mp3");
    EXPECT_FALSE(r->NeedsSaving());
}

TEST_F(RecordFiles, RenameNeverReplacesAnExistingFile) {
    const fs::path a = dir_ / "a.mp3";
    test::MakeMp3(a, {"-b", "128"});
    std::ofstream(dir_ / "b.mp3") << "keep me";
    auto r = test::LoadRecord(a, prompts_);
    r->fileName = u"b.mp3";
    SaveRecord(*r, prompts_);
    const auto p = prompts_.Prompts();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].kind, "error");
    EXPECT_EQ(p[0].caption, ProgramTitle());
    EXPECT_EQ(p[0].text, u"Couldn't rename \"a.mp3\" to \"b.mp3\".");
    EXPECT_EQ(r->diskName, u"a.mp3");
    EXPECT_TRUE(r->NeedsSaving());  // the next save tries again
    std::ifstream in(dir_ / "b.mp3");
    std::string kept((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(kept, "keep me");
    EXPECT_TRUE(fs::exists(a));
}

TEST_F(RecordFiles, RemoveV1AndV2LeaveTheBareAudio) {
    const fs::path path = dir_ / "t.mp3";
    test::MakeMp3(path, {"-b", "128"});
    const auto audio = ReadFileBytes(path);
    test::TagWithMutagen(path, 3, {"TIT2=Title", "TPE1=Artist", "APIC=20000"}, true);
    ASSERT_NE(ReadFileBytes(path), audio);
    auto r = test::LoadRecord(path, prompts_);
    RequestRemoveV1(*r);
    RequestRemoveV2(*r);
    SaveRecord(*r, prompts_);
    EXPECT_EQ(prompts_.Count(), 0u);
    EXPECT_EQ(ReadFileBytes(path), audio);
    EXPECT_FALSE(r->NeedsSaving());
    EXPECT_EQ(DirectoryNames(dir_.Path()), (std::vector<std::string>{"t.mp3"}));
}

TEST_F(RecordFiles, TitleThatFitsIsWrittenInPlaceAndOneThatGrowsMovesTheAudio) {
    const fs::path path = dir_ / "t.mp3";
    test::MakeMp3(path, {"-b", "128"});
    const auto audio = ReadFileBytes(path);
    test::TagWithMutagen(path, 4, {"TIT2=Short", "TPE1=Artist"}, false);  // mutagen leaves padding
    const auto size = fs::file_size(path);
    auto r = test::LoadRecord(path, prompts_);
    r->SetText(kFrameTIT2, u"Longer title");
    r->V1().SetString(Id3v1Record::kTitle, u"Longer title");
    SaveRecord(*r, prompts_);
    EXPECT_EQ(prompts_.Count(), 0u);
    EXPECT_EQ(fs::file_size(path), size + 128);  // the tag fitted; ID3v1 appended
    EXPECT_EQ(test::MutagenView(path), "v2=4 TIT2=Longer title TPE1=Artist v1=Longer title");
    EXPECT_FALSE(r->NeedsSaving());

    r->SetText(kFrameTALB, std::u16string(3000, u'x'));
    SaveRecord(*r, prompts_);
    EXPECT_EQ(prompts_.Count(), 0u);
    auto reread = test::LoadRecord(path, prompts_);
    EXPECT_EQ(reread->GetText(kFrameTALB).size(), 3000u);
    const auto bytes = ReadFileBytes(path);
    ASSERT_GT(bytes.size(), audio.size() + 128);
    // The audio follows the grown tag unchanged, and the ID3v1 record still ends the file.
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), bytes.begin() + reread->audioStart));
    EXPECT_EQ(bytes.size(), reread->audioStart + audio.size() + 128);
    EXPECT_EQ(DirectoryNames(dir_.Path()), (std::vector<std::string>{"t.mp3"}));
}

TEST_F(RecordFiles, ReadOnlyFileIsReportedAndItsRenameStillTried) {
    const fs::path path = dir_ / "ro.mp3";
    test::MakeMp3(path, {"-b", "128"});
    test::TagWithMutagen(path, 4, {"TIT2=T"}, true);
    const auto bytes = ReadFileBytes(path);
    auto r = test::LoadRecord(path, prompts_);
    r->SetText(kFrameTIT2, u"New");
    RequestRemoveV1(*r);
    r->fileName = u"renamed.mp3";
    {
        Unwritable guard(path);
        if (!guard.Works()) GTEST_SKIP() << "cannot make a file unwritable here";
        SaveRecord(*r, prompts_);
        const auto p = prompts_.Prompts();
        ASSERT_GE(p.size(), 1u);
        EXPECT_TRUE(p[0].text.starts_with(u"Error when opening file \"" + PathFromNative(path.string()) + u"\":\n"))
            << U8(p[0].text);
        if (guard.Immutable()) {
            // An immutable file cannot be renamed either: the rename was tried and reported.
            ASSERT_EQ(p.size(), 2u);
            EXPECT_EQ(p[1].text, u"Couldn't rename \"ro.mp3\" to \"renamed.mp3\".");
        } else {
            EXPECT_EQ(p.size(), 1u);
            EXPECT_EQ(r->diskName, u"renamed.mp3");
        }
    }
    EXPECT_FALSE(r->removeV1Requested);  // requests are cleared whatever happened
    EXPECT_EQ(ReadFileBytes(dir_.Path() / PathToNative(r->diskName)), bytes);
}

}  // namespace
}  // namespace quorvane
