#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

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
    auto name = [&](const char* file) { return PathFromNative((dir / file).string()); };
    test::WriteFileBytes(dir / "a.mp3", {'a'});
    test::WriteFileBytes(dir / "b.mp3", {'b'});
    int error = 0;
    EXPECT_FALSE(RenameNoReplace(name("a.mp3"), name("b.mp3"), error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_EQ(test::ReadFileBytes(dir / "a.mp3"), std::vector<uint8_t>{'a'});
    EXPECT_EQ(test::ReadFileBytes(dir / "b.mp3"), std::vector<uint8_t>{'b'});

    EXPECT_FALSE(RenameNoReplace(name("gone.mp3"), name("c.mp3"), error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_TRUE(RenameNoReplace(name("a.mp3"), name("c.mp3"), error));
    EXPECT_TRUE(RenameNoReplace(name("c.mp3"), name("C.mp3"), error));  // only the case changes
    EXPECT_EQ(test::ReadFileBytes(dir / "C.mp3"), std::vector<uint8_t>{'a'});
    EXPECT_FALSE(std::filesystem::exists(dir / "a.mp3"));
    EXPECT_FALSE(std::filesystem::exists(dir / "c.mp3"));
}

}  // namespace
}  // namespace quorvane
