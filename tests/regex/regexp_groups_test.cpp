// Captures: numbering, names, what a group holds after a search, and that nothing
// from an earlier path, attempt or search is read as text of the current one.
#include <gtest/gtest.h>

#include "regexp_test_util.h"

namespace quorvane::test {
namespace {

constexpr const char* kOut = nullptr;  // the group took no part in the match

TEST(RegExpGroups, CapturesByNumber) {
    const struct {
        const char* pattern;
        const char* subject;
        std::vector<const char*> groups;  // 0 (the whole match) first
    } cases[] = {
        {"(?P<track>.+)_(?P<artist>.+)_(?P<title>.+)", "05_Some Artist_Some Title",
         {"05_Some Artist_Some Title", "05", "Some Artist", "Some Title"}},
        {"(?P<a>.+?)_(?P<b>.+)", "x_y_z", {"x_y_z", "x", "y_z"}},
        {"(?P<a>.+)_(?P<b>.+)", "x_y_z", {"x_y_z", "x_y", "z"}},
        // Numbered by opening parenthesis; an atomic group is numbered too, `(?<:` is not.
        {"((a)(b))(?:c)(?=d)(?P<name>d)(?>e)", "abcde", {"abcde", "ab", "a", "b", "d", "e"}},
        {"(?:a)(?<:b)(c)", "abc", {"abc", "c"}},
        // {m,n} first chooses how many copies (most first when greedy), then how each matches.
        {"(a+){0,2}", "aaa", {"aaa", "a"}}, {"(a+){1,3}?b", "aaab", {"aaab", "aaa"}},
        // In a repeat the group holds its last pass that stayed on the path.
        {"(a|b)*c", "abac", {"abac", "a"}}, {"(?:(\\d)-)+x", "1-2-3-x", {"1-2-3-x", "3"}},
        {"(\\w){2,3}z", "abz", {"abz", "b"}},
        // A lookbehind's group reads left to right; a negative lookaround leaves nothing.
        {"(?<=(\\d\\d)-)x", "a42-x", {"x", "42"}}, {"(?=(ab))a", "ab", {"a", "ab"}},
        {"(?!(ab))a", "abac", {"a", kOut}},
        // Branches and attempts that set a group and then failed leave nothing.
        {"(a)|b", "b", {"b", kOut}}, {"(?P<x>a)x|ab", "ab", {"ab", kOut}}, {"(?P<x>a)c|b", "ab", {"b", kOut}},
        {"(?:(x)|y)\\1z", "yz", {"yz", kOut}},
    };
    for (const auto& c : cases) {
        RegExp re;
        re.Compile(U16(c.pattern));
        ASSERT_TRUE(FirstMatch(re, U16(c.subject))) << c.pattern;
        std::vector<Match> expected;
        for (const char* g : c.groups) expected.push_back(g ? Match(g) : std::nullopt);
        EXPECT_EQ(Groups(re), expected) << c.pattern << " on " << c.subject;
    }
}

TEST(RegExpGroups, Names) {
    RegExp re;
    re.Compile(U16("(?P<artist>.+)_(?P<title>.+)(x)?"));
    EXPECT_EQ(re.GroupName(2), u"title");
    EXPECT_TRUE(re.HasGroup(u"artist"));
    EXPECT_FALSE(re.HasGroup(u"Artist"));        // names compare exactly
    EXPECT_TRUE(re.HasGroup(u""));               // an unnamed group has the empty name
    EXPECT_EQ(re.GetGroupText(u"artist"), u"");  // known, before any search
    try {
        re.GetGroupText(u"album");
        FAIL() << "unknown name accepted";
    } catch (const RegExpException& e) {
        EXPECT_EQ(e.Error(), RegExpError::NoSuchGroup);
    }
    re.Compile(U16("(?P<x>a)(b)(?P<x>c)"));
    ASSERT_TRUE(FirstMatch(re, u"abc"));
    EXPECT_EQ(re.GetGroupText(u"x"), u"a");  // the first group of that name wins
}

TEST(RegExpGroups, NothingOutlivesItsSearch) {
    RegExp re;
    re.Compile(U16("(?P<x>a)|b"));
    ASSERT_TRUE(FirstMatch(re, u"a"));
    EXPECT_EQ(re.GetGroupText(u"x"), u"a");
    // The next subject matches through the other branch: no text, no pointer from before.
    ASSERT_TRUE(FirstMatch(re, u"b"));
    EXPECT_EQ(Groups(re), (std::vector<Match>{"b", std::nullopt}));
    ASSERT_TRUE(FirstMatch(re, u"a"));
    // A failed search clears every group and puts the position back to the start.
    const std::u16string other(u"c\0a", 3);  // a subject ends at its first NUL
    const char16_t* pos = other.c_str();
    EXPECT_FALSE(re.Search(pos));
    EXPECT_EQ(pos, other.c_str());
    EXPECT_EQ(Groups(re), (std::vector<Match>{std::nullopt, std::nullopt}));
}

}  // namespace
}  // namespace quorvane::test
