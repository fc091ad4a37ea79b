// Renames that change only the letter case: they must work on file systems that ignore
// case (FAT, exFAT) and must never cost a file, on any file system.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool Rename(const fs::path& from, const fs::path& to, int& error) {
    return RenameNoReplace(PathFromNative(from.string()), PathFromNative(to.string()), error);
}

// On a file system that keeps case, two spellings are two entries: hard links to one
// file (the same inode) or two files. Either way the rename is refused and both stay.
TEST(CaseOnlyRename, TwoSpellingsThatAreTwoEntriesAreBothKept) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "abc.mp3", {'1'});
    fs::create_hard_link(dir / "abc.mp3", dir / "ABC.mp3");
    test::WriteFileBytes(dir / "x.mp3", {'x'});
    test::WriteFileBytes(dir / "X.mp3", {'X'});
    int error = 0;
    EXPECT_FALSE(Rename(dir / "abc.mp3", dir / "ABC.mp3", error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_FALSE(Rename(dir / "x.mp3", dir / "X.mp3", error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"ABC.mp3", "X.mp3", "abc.mp3", "x.mp3"}));
    EXPECT_EQ(fs::hard_link_count(dir / "abc.mp3"), 2u);
    EXPECT_EQ(test::ReadFileBytes(dir / "x.mp3"), std::vector<uint8_t>{'x'});
    EXPECT_EQ(test::ReadFileBytes(dir / "X.mp3"), std::vector<uint8_t>{'X'});
}

// A FAT or exFAT image mounted through FUSE (the kernel here has no vfat): needs root,
// /dev/fuse and the tools; the test is skipped without them.
struct CaseInsensitiveFs {
    const char* name;
    std::vector<std::string> format;  // the image path is appended
    bool loopDevice;                  // the driver wants a block device
    const char* driver;
    std::vector<std::string> driverOptions;
};

void PrintTo(const CaseInsensitiveFs& kind, std::ostream* out) { *out << kind.name; }

class CaseInsensitiveRename : public ::testing::TestWithParam<CaseInsensitiveFs> {
protected:
    void SetUp() override {
        const CaseInsensitiveFs& kind = GetParam();
        if (geteuid() != 0 || !fs::exists("/dev/fuse")) GTEST_SKIP() << "needs root and /dev/fuse";
        image_ = dir_ / "fs.img";
        fs::create_directory(mount_);
        test::WriteFileBytes(image_, {});
        fs::resize_file(image_, 8 << 20);
        std::vector<std::string> format = kind.format;
        format.push_back(image_.string());
        if (test::RunCommand(format).status != 0) GTEST_SKIP() << "cannot run " << format[0];
        std::string device = image_.string();
        if (kind.loopDevice) {
            const test::CommandResult loop = test::RunCommand({"losetup", "-f", "--show", image_.string()});
            if (loop.status != 0) GTEST_SKIP() << "no loop device: " << loop.err;
            loop_ = device = loop.out.substr(0, loop.out.find('\n'));
        }
        std::vector<std::string> mount = {kind.driver};
        mount.insert(mount.end(), kind.driverOptions.begin(), kind.driverOptions.end());
        mount.insert(mount.end(), {device, mount_.string()});
        const test::CommandResult r = test::RunCommand(mount);
        if (r.status != 0) GTEST_SKIP() << "cannot mount with " << kind.driver << ": " << r.err;
        mounted_ = true;
    }
    void TearDown() override {
        if (mounted_) test::RunCommand({"umount", mount_.string()});
        if (!loop_.empty()) test::RunCommand({"losetup", "-d", loop_});
    }
    test::TempDir dir_;
    fs::path image_;
    fs::path mount_ = dir_ / "mnt";
    std::string loop_;
    bool mounted_ = false;
};

TEST_P(CaseInsensitiveRename, ChangesTheCaseAndKeepsTheFile) {
    const std::vector<uint8_t> content(5000, 'a');
    test::WriteFileBytes(mount_ / "abc.mp3", content);
    test::WriteFileBytes(mount_ / "other.mp3", {'o'});
    // The file system answers for the other spelling too: that is what makes this hard.
    ASSERT_TRUE(fs::exists(mount_ / "ABC.MP3"));
    ASSERT_TRUE(fs::exists(mount_ / "ABC.mp3"));

    int error = 0;
    ASSERT_TRUE(Rename(mount_ / "abc.mp3", mount_ / "ABC.mp3", error)) << error;
    EXPECT_EQ(Listing(mount_), (std::vector<std::string>{"ABC.mp3", "other.mp3"}));
    EXPECT_TRUE(test::ReadFileBytes(mount_ / "ABC.mp3") == content);
    ASSERT_TRUE(Rename(mount_ / "ABC.mp3", mount_ / "Abc.Mp3", error)) << error;
    EXPECT_EQ(Listing(mount_), (std::vector<std::string>{"Abc.Mp3", "other.mp3"}));

    // Another file under any spelling of the new name is never replaced.
    EXPECT_FALSE(Rename(mount_ / "other.mp3", mount_ / "abc.mp3", error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_EQ(Listing(mount_), (std::vector<std::string>{"Abc.Mp3", "other.mp3"}));
    EXPECT_TRUE(test::ReadFileBytes(mount_ / "Abc.Mp3") == content);
    EXPECT_EQ(test::ReadFileBytes(mount_ / "other.mp3"), std::vector<uint8_t>{'o'});
}

INSTANTIATE_TEST_SUITE_P(
    Fuse, CaseInsensitiveRename,
    ::testing::Values(CaseInsensitiveFs{"vfat", {"mkfs.vfat"}, false, "fusefat", {"-o", "rw+"}},
                      CaseInsensitiveFs{"exfat", {"mkfs.exfat"}, true, "mount.exfat-fuse", {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane
