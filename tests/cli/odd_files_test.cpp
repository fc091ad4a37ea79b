// Odd files: for remove-v2 a tag a tagger put in front of the old one, a file that is
// nothing but a tag and a header that claims more than the file holds; for any command
// the copy a killed save left beside a file.
#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

TEST(CliRemoveV2, TakesStackedTagsAndALoneTagAndNamesAnOverlongHeader) {
    TempDir dir;
    const fs::path stacked = dir / "stacked.mp3", alone = dir / "alone.mp3", overlong = dir / "overlong.mp3";
    MakeMp3(stacked, {"-b", "128", "-t"}, 1.0);
    const auto audio = ReadFileBytes(stacked);
    Tag(stacked, 3, {"TIT2=Old", "TPE1=Band"});
    WriteFileBytes(alone, {});
    Tag(alone, 4, {"TIT2=New"});
    auto bytes = ReadFileBytes(alone);
    const auto old = ReadFileBytes(stacked);
    bytes.insert(bytes.end(), old.begin(), old.end());
    WriteFileBytes(stacked, bytes);
    ASSERT_TRUE(MutagenView(stacked).starts_with("v2=4 TIT2=New v1")) << MutagenView(stacked);
    // "ID3", v2.3, size 1000, then 500 bytes.
    std::vector<uint8_t> claim = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x07, 0x68};
    claim.resize(510, 0xAB);
    WriteFileBytes(overlong, claim);

    const CommandResult r = Cli(dir / "s.ini", {"remove-v2", dir.Path().string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("The ID3v2 tag at the start of \"" + overlong.string() +
                         "\" was not removed: its header claims 1010 bytes, and only 510 follow."),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ReadFileBytes(stacked), audio);  // both tags gone, not the second one shown instead
    EXPECT_EQ(fs::file_size(alone), 0u);
    EXPECT_EQ(ReadFileBytes(overlong), claim);
    const CommandResult again = Cli(dir / "s.ini", {"remove-v2", stacked.string(), alone.string()});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.err, "");
}

// A copy that no live save holds goes when a save writes into its directory, or when
// the directory is listed.
TEST(CliLeftovers, ASaveOrAListingRemovesTheCopyOfAKilledSave) {
    TempDir dir;
    const fs::path song = dir / "song.mp3", left = dir / ".song.mp3.qvsave-k1ll3d00";
    MakeMp3(song, {"-b", "128", "-t"}, 1.0);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"set", "--title", "T", song.string()},
                                                 std::vector<std::string>{"list", dir.Path().string()}}) {
        WriteFileBytes(left, std::vector<uint8_t>(70000, 1));
        const CommandResult r = Cli(dir / "s.ini", args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_FALSE(fs::exists(left)) << args[0];
    }
}

}  // namespace
}  // namespace quorvane::test
