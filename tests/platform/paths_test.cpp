// Joined paths, file-name characters, and renames that never replace a file, also
// when only the letter case changes: on file systems that ignore case (FAT, exFAT
// through FUSE here: the kernel has no vfat) too.
#include "platform/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

std::string Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names) joined += name + "|";
    return joined;
}

int Rename(const fs::path& dir, const char* from, const char* to) {
    int error = 0;
    RenameNoReplace(PathFromNative((dir / from).string()), PathFromNative((dir / to).string()), error);
    return error;
}

TEST(Paths, JoinPathAndFileNameCharacters) {
    const struct {
        std::u16string_view directory, name, path;
    } joins[] = {{u"/music", u"a.mp3", u"/music/a.mp3"},
                 {u"/music/", u"a.mp3", u"/music/a.mp3"},
                 {u"/", u"a.mp3", u"/a.mp3"},
                 {u"", u"a.mp3", u"a.mp3"}};
    for (const auto& j : joins) EXPECT_EQ(JoinPath(j.directory, j.name), j.path);
    EXPECT_EQ(ReplaceFileNameCharacters(u"a\\b/c:d?e\"f<g>h|i*j.mp3"), u"a b c d e f g h i*j.mp3");
}

TEST(Paths, RenameNeverReplacesAFile) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "a.mp3", {'a'});
    test::WriteFileBytes(dir / "b.mp3", {'b'});
    EXPECT_EQ(Rename(dir.Path(), "a.mp3", "b.mp3"), EEXIST);
    EXPECT_EQ(Rename(dir.Path(), "gone.mp3", "c.mp3"), ENOENT);
    EXPECT_EQ(Rename(dir.Path(), "a.mp3", "c.mp3"), 0);
    EXPECT_EQ(Rename(dir.Path(), "c.mp3", "C.mp3"), 0);  // only the case changes
    EXPECT_EQ(Listing(dir.Path()), "C.mp3|b.mp3|");
    EXPECT_EQ(test::ReadFileBytes(dir / "C.mp3"), std::vector<uint8_t>{'a'});

    // Where case is kept, two spellings are two entries (hard links to one inode, or two
    // files): the rename is refused and both stay.
    fs::create_hard_link(dir / "b.mp3", dir / "B.mp3");
    test::WriteFileBytes(dir / "c.mp3", {'c'});
    EXPECT_EQ(Rename(dir.Path(), "b.mp3", "B.mp3"), EEXIST);
    EXPECT_EQ(Rename(dir.Path(), "c.mp3", "C.mp3"), EEXIST);
    EXPECT_EQ(Listing(dir.Path()), "B.mp3|C.mp3|b.mp3|c.mp3|");
    EXPECT_EQ(test::ReadFileBytes(dir / "c.mp3"), std::vector<uint8_t>{'c'});
}

struct FuseFs {
    const char* format;
    const char* driver;
    const char* options;
    bool loopDevice;  // the driver wants a block device
};

void PrintTo(const FuseFs& kind, std::ostream* out) { *out << kind.driver; }

class CaseInsensitiveRename : public ::testing::TestWithParam<FuseFs> {
protected:
    void SetUp() override {
        if (geteuid() != 0 || !fs::exists("/dev/fuse")) GTEST_SKIP() << "needs root and /dev/fuse";
        const fs::path image = dir_ / "fs.img";
        test::WriteFileBytes(image, {});
        fs::resize_file(image, 8 << 20);
        fs::create_directory(mount_);
        if (test::RunCommand({GetParam().format, image.string()}).status != 0) GTEST_SKIP() << "no " << GetParam().format;
        std::string device = image.string();
        if (GetParam().loopDevice) {
            const test::CommandResult loop = test::RunCommand({"losetup", "-f", "--show", device});
            if (loop.status != 0) GTEST_SKIP() << "no loop device";
            loop_ = device = loop.out.substr(0, loop.out.find('\n'));
        }
        mounted_ = test::RunCommand({GetParam().driver, "-o", GetParam().options, device, mount_.string()}).status == 0;
        if (!mounted_) GTEST_SKIP() << "cannot mount with " << GetParam().driver;
    }
    void TearDown() override {
        if (mounted_) test::RunCommand({"umount", mount_.string()});
        if (!loop_.empty()) test::RunCommand({"losetup", "-d", loop_});
    }
    test::TempDir dir_;
    fs::path mount_ = dir_ / "mnt";
    std::string loop_;
    bool mounted_ = false;
};

TEST_P(CaseInsensitiveRename, ChangesTheCaseAndKeepsTheFile) {
    const std::vector<uint8_t> content(5000, 'a');
    test::WriteFileBytes(mount_ / "abc.mp3", content);
    test::WriteFileBytes(mount_ / "other.mp3", {'o'});
    ASSERT_TRUE(fs::exists(mount_ / "ABC.mp3"));  // the other spelling finds the file
    EXPECT_EQ(Rename(mount_, "abc.mp3", "ABC.mp3"), 0);
    EXPECT_EQ(Rename(mount_, "ABC.mp3", "Abc.Mp3"), 0);
    EXPECT_EQ(Rename(mount_, "other.mp3", "abc.mp3"), EEXIST);
    EXPECT_EQ(Listing(mount_), "Abc.Mp3|other.mp3|");
    EXPECT_TRUE(test::ReadFileBytes(mount_ / "Abc.Mp3") == content);
    EXPECT_EQ(test::ReadFileBytes(mount_ / "other.mp3"), std::vector<uint8_t>{'o'});
}

INSTANTIATE_TEST_SUITE_P(Fuse, CaseInsensitiveRename,
                         ::testing::Values(FuseFs{"mkfs.vfat", "fusefat", "rw+", false},
                                           FuseFs{"mkfs.exfat", "mount.exfat-fuse", "rw", true}),
                         [](const auto& info) { return std::string(info.param.driver[0] == 'f' ? "vfat" : "exfat"); });

}  // namespace
}  // namespace quorvane
