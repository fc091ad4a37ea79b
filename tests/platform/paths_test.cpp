// Paths as the program holds them, file names made from tag texts, and the rename that
// never replaces a file.
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

TEST(Paths, JoinAddsOneSeparator) {
    const std::tuple<std::u16string, std::u16string, std::u16string> cases[] = {
        {u"/music", u"a.mp3", u"/music/a.mp3"}, {u"/music/", u"a.mp3", u"/music/a.mp3"},
        {u"/", u"a.mp3", u"/a.mp3"},           {u"", u"a.mp3", u"a.mp3"},
        {u"/Bj\u00f6rk", u"\u65e5.mp3", u"/Bj\u00f6rk/\u65e5.mp3"}};
    for (const auto& [directory, name, joined] : cases) EXPECT_EQ(JoinPath(directory, name), joined);
}

TEST(Paths, FileNameCharactersBecomeBlanks) {
    EXPECT_EQ(ReplaceFileNameCharacters(u"a\\b/c:d?e\"f<g>h|i*j.k"), u"a b c d e f g h i*j.k");
}

TEST(Paths, RenameNeverReplacesAFile) {
    test::TempDir dir;
    const auto path = [&](const char* name) { return PathFromNative((dir / name).string()); };
    test::WriteFileBytes(dir / "a", {'a'});
    test::WriteFileBytes(dir / "b", {'b'});
    int error = 0;
    EXPECT_FALSE(RenameNoReplace(path("a"), path("b"), error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_EQ(test::ReadFileBytes(dir / "b"), std::vector<uint8_t>{'b'});
    EXPECT_TRUE(RenameNoReplace(path("a"), path("\u00e9 c"), error));
    EXPECT_FALSE(std::filesystem::exists(dir / "a"));
    EXPECT_EQ(test::ReadFileBytes(dir / "\xc3\xa9 c"), std::vector<uint8_t>{'a'});
    EXPECT_FALSE(RenameNoReplace(path("gone"), path("d"), error));
    EXPECT_EQ(error, ENOENT);
}

}  // namespace
}  // namespace quorvane
