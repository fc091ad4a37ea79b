// Searching: order of attempts, anchors, word boundaries, lookaround, atomic
// groups, captures, and the guards against runaway patterns.
#include <gtest/gtest.h>

#include <chrono>

#include "regexp_test_util.h"

namespace quorvane::test {
namespace {

using std::nullopt;
using std::optional;
using std::string;

TEST(RegExpSearch, FileNameFields) {
    RegExp re;
    re.Compile(U16("(?P<track>.+)_(?P<artist>.+)_(?P<title>.+)"));
    ASSERT_EQ(FirstMatch(re, U16("05_Some Artist_Some Title")), optional<string>("05_Some Artist_Some Title"));
    EXPECT_EQ(Group(re, "track"), "05");
    EXPECT_EQ(Group(re, "artist"), "Some Artist");
    EXPECT_EQ(Group(re, "title"), "Some Title");
}

TEST(RegExpSearch, GreedyAndLazy) {
    RegExp lazy;
    lazy.Compile(U16("(?P<a>.+?)_(?P<b>.+)"));
    ASSERT_TRUE(FirstMatch(lazy, u"x_y_z"));
    EXPECT_EQ(Group(lazy, "a"), "x");
    EXPECT_EQ(Group(lazy, "b"), "y_z");
    RegExp greedy;
    greedy.Compile(U16("(?P<a>.+)_(?P<b>.+)"));
    ASSERT_TRUE(FirstMatch(greedy, u"x_y_z"));
    EXPECT_EQ(Group(greedy, "a"), "x_y");
    EXPECT_EQ(Group(greedy, "b"), "z");
    EXPECT_EQ(FirstMatch("a*?b", "aab"), optional<string>("aab"));
    EXPECT_EQ(FirstMatch("<.*?>", "<a><b>"), optional<string>("<a>"));
    EXPECT_EQ(FirstMatch("<.*>", "<a><b>"), optional<string>("<a><b>"));
}

TEST(RegExpSearch, FirstAlternativeWinsAndAtomicNeverGivesBack) {
    EXPECT_EQ(FirstMatch("a|ab", "ab"), optional<string>("a"));
    EXPECT_EQ(FirstMatch("(?>a+)a", "aaaa"), nullopt);
    EXPECT_EQ(FirstMatch("a++a", "aaaa"), nullopt);
    EXPECT_EQ(FirstMatch("a*+a", "aaaa"), nullopt);
    EXPECT_EQ(FirstMatch("a?+a", "a"), nullopt);
    EXPECT_EQ(FirstMatch("a{1,3}+a", "aaaa"), optional<string>("aaaa"));
    EXPECT_EQ(FirstMatch("(?>a|ab)c", "abc"), nullopt);
    EXPECT_EQ(FirstMatch("(?>ab|a)c", "abc"), optional<string>("abc"));
    EXPECT_EQ(FirstMatch("(?>a+)b", "aaab"), optional<string>("aaab"));
}

TEST(RegExpSearch, CountedRepeatChoosesTheNumberOfCopiesFirst) {
    // {m,n} tries n-m extra copies, then fewer: two copies of a+ are preferred to one
    // greedy copy that takes everything.
    RegExp greedy;
    greedy.Compile(U16("(a+){0,2}"));
    ASSERT_EQ(FirstMatch(greedy, u"aaa"), optional<string>("aaa"));
    EXPECT_EQ(greedy.GroupSpan(1), std::make_pair(size_t{2}, size_t{3}));
    // Lazy: one extra copy before two; the first copy of a+ then takes all it can.
    RegExp lazy;
    lazy.Compile(U16("(a+){1,3}?b"));
    ASSERT_EQ(FirstMatch(lazy, u"aaab"), optional<string>("aaab"));
    EXPECT_EQ(lazy.GroupTextByNumber(1), u"aaa");
    EXPECT_EQ(FirstMatch("(?:a|ab){0,2}c", "abac"), optional<string>("abac"));
}

TEST(RegExpSearch, EndPositionIsNeverTried) {
    EXPECT_EQ(FirstMatch("$", "abc"), nullopt);
    EXPECT_EQ(FirstMatch("c$", "abc"), optional<string>("c"));
    EXPECT_EQ(FirstMatch("x*$", "abc"), nullopt);  // the empty match at the end is never tried
    EXPECT_EQ(FirstMatch("$", "a\nb"), optional<string>(""));
    for (const char* p : {"", "a*", "$", "^", "x?", "(?=)", "\\B"}) EXPECT_EQ(FirstMatch(p, ""), nullopt) << p;
    EXPECT_EQ(FirstMatch("", "abc"), optional<string>(""));
}

TEST(RegExpSearch, SearchLeavesPositionAtMatchEnd) {
    RegExp re;
    re.Compile(U16("b+"));
    const std::u16string subject = u"abbbc";
    const char16_t* pos = subject.c_str();
    ASSERT_TRUE(re.Search(pos));
    EXPECT_EQ(pos - subject.c_str(), 4);
    EXPECT_EQ(re.GroupSpan(0), std::make_pair(size_t{1}, size_t{4}));
    const std::u16string other = u"xyz";
    pos = other.c_str();
    EXPECT_FALSE(re.Search(pos));
    EXPECT_EQ(pos, other.c_str());
    EXPECT_EQ(re.GroupSpan(0), nullopt);
    // A subject ends at its first NUL.
    const std::u16string withNul(u"a\0bbb", 5);
    pos = withNul.c_str();
    EXPECT_FALSE(re.Search(pos));
}

TEST(RegExpSearch, LineAnchors) {
    // Line terminators: NUL, LF, CR, U+0085, U+2028, U+2029.
    for (const char16_t t : {u'\n', u'\r', u'\u0085', u'\u2028', u'\u2029'}) {
        std::u16string subject = u"ab";
        subject += t;
        subject += u"cd";
        RegExp start;
        start.Compile(U16("^c"));
        EXPECT_TRUE(FirstMatch(start, subject)) << int(t);
        RegExp end;
        end.Compile(U16("b$"));
        EXPECT_TRUE(FirstMatch(end, subject)) << int(t);
        RegExp any;
        any.Compile(U16("b.c"));
        EXPECT_TRUE(FirstMatch(any, subject)) << int(t);  // `.` takes line terminators
    }
    EXPECT_EQ(FirstMatch("^a", "ba"), nullopt);
    EXPECT_EQ(FirstMatch("^b", "ba"), optional<string>("b"));
}

TEST(RegExpSearch, WordBoundaries) {
    EXPECT_EQ(FirstMatch("\\bfoo\\b", "a foo.mp3"), optional<string>("foo"));
    EXPECT_EQ(FirstMatch("\\bfoo\\b", "afoo"), nullopt);
    EXPECT_EQ(FirstMatch("\\bfoo\\b", "foo_"), nullopt);
    RegExp re;
    re.Compile(U16("\\Bo"));
    const std::u16string subject = u"foo";
    const char16_t* pos = subject.c_str();
    ASSERT_TRUE(re.Search(pos));
    EXPECT_EQ(re.GroupSpan(0), std::make_pair(size_t{1}, size_t{2}));
    // Letters and digits of every script are word characters for \b, unlike \w.
    EXPECT_EQ(FirstMatch("\\bx", "\xC3\xA9x"), nullopt);
    EXPECT_EQ(FirstMatch("\\bx", "\xD9\xA3x"), nullopt);  // ARABIC-INDIC DIGIT THREE
    EXPECT_EQ(FirstMatch("\\bx", "-x"), optional<string>("x"));
    EXPECT_EQ(FirstMatch("\\w\\b", "a\xC3\xA9"), nullopt);
}

TEST(RegExpSearch, Lookaround) {
    EXPECT_EQ(FirstMatch("(?<=_)\\d+", "ab_12"), optional<string>("12"));
    EXPECT_EQ(FirstMatch("(?<!_)\\d+", "_12"), optional<string>("2"));
    EXPECT_EQ(FirstMatch("\\d+(?=\\.mp3)", "01 x 02.mp3"), optional<string>("02"));
    EXPECT_EQ(FirstMatch("\\d+(?!\\d|\\.)", "12.5 34"), optional<string>("5"));
    // Lookbehinds read their sequence from the right, whatever its width.
    EXPECT_EQ(FirstMatch("(?<=a.c)d", "abcd"), optional<string>("d"));
    EXPECT_EQ(FirstMatch("(?<=a.c)d", "bbcd"), nullopt);
    EXPECT_EQ(FirstMatch("(?<=^\\d+ - )\\w+", "12 - Title"), optional<string>("Title"));
    EXPECT_EQ(FirstMatch("(?<=x(ab|cd)y)z", "xcdyz"), optional<string>("z"));
    EXPECT_EQ(FirstMatch("(?<=(?:ab){2})c", "abababc"), optional<string>("c"));
    EXPECT_EQ(FirstMatch("(?<=a)", "a"), nullopt);  // only the end position follows `a`
    EXPECT_EQ(FirstMatch("(?<=^)a", "a"), optional<string>("a"));
    // A group inside a lookbehind captures the text left to right.
    RegExp re;
    re.Compile(U16("(?<=(\\d\\d)-)x"));
    ASSERT_EQ(FirstMatch(re, u"a42-x"), optional<string>("x"));
    EXPECT_EQ(re.GroupTextByNumber(1), u"42");
    // Captures inside a positive lookahead count; inside a negative one they never do.
    RegExp ahead;
    ahead.Compile(U16("(?=(ab))a"));
    ASSERT_TRUE(FirstMatch(ahead, u"ab"));
    EXPECT_EQ(ahead.GroupTextByNumber(1), u"ab");
    RegExp negative;
    negative.Compile(U16("(?!(ab))a"));
    ASSERT_TRUE(FirstMatch(negative, u"abac"));
    EXPECT_EQ(negative.GroupTextByNumber(1), u"");
    // A lookahead inside a lookbehind runs forward again.
    EXPECT_EQ(FirstMatch("(?<=a(?=b)b)c", "abc"), optional<string>("c"));
}

TEST(RegExpSearch, GroupOutsideTheMatchIsEmpty) {
    RegExp re;
    re.Compile(U16("(a)|b"));
    ASSERT_TRUE(FirstMatch(re, u"a"));
    EXPECT_EQ(re.GroupTextByNumber(1), u"a");
    // The next subject matches through the other branch: group 1 must not keep
    // text (or a pointer) from the earlier subject.
    ASSERT_TRUE(FirstMatch(re, u"b"));
    EXPECT_EQ(re.GroupTextByNumber(1), u"");
    EXPECT_EQ(re.GroupSpan(1), nullopt);
    // A branch that set the group and then failed does not leave text behind.
    RegExp failed;
    failed.Compile(U16("(?P<x>a)x|ab"));
    ASSERT_EQ(FirstMatch(failed, u"ab"), optional<string>("ab"));
    EXPECT_EQ(Group(failed, "x"), "");
    // Nor does an earlier attempt at another position.
    RegExp attempts;
    attempts.Compile(U16("(?P<x>a)c|b"));
    ASSERT_EQ(FirstMatch(attempts, u"ab"), optional<string>("b"));
    EXPECT_EQ(Group(attempts, "x"), "");
    // A failed search clears every group.
    RegExp cleared;
    cleared.Compile(U16("(?P<x>a)"));
    ASSERT_TRUE(FirstMatch(cleared, u"a"));
    EXPECT_FALSE(FirstMatch(cleared, u"b"));
    EXPECT_EQ(Group(cleared, "x"), "");
}

TEST(RegExpSearch, CapturesInsideRepeats) {
    // Backtracking restores the capture of the last pass that stayed on the path.
    RegExp re;
    re.Compile(U16("(a|b)*c"));
    ASSERT_EQ(FirstMatch(re, u"abac"), optional<string>("abac"));
    EXPECT_EQ(re.GroupTextByNumber(1), u"a");
    RegExp last;
    last.Compile(U16("(?:(\\d)-)+x"));
    ASSERT_TRUE(FirstMatch(last, u"1-2-3-x"));
    EXPECT_EQ(last.GroupTextByNumber(1), u"3");
    RegExp counted;
    counted.Compile(U16("(\\w){2,3}z"));
    ASSERT_TRUE(FirstMatch(counted, u"abz"));
    EXPECT_EQ(counted.GroupTextByNumber(1), u"b");
}

TEST(RegExpSearch, EmptyLoopsTerminate) {
    const struct {
        const char* pattern;
        const char* subject;
        optional<string> match;
    } cases[] = {
        {"(a*)*", "b", ""},        {"(a*)*b", "aab", "aab"}, {"a**", "aaa", "aaa"},
        {"(|a)+", "aa", "aa"},     {"(|a)+b", "aab", "aab"}, {"(a|)*?b", "aab", "aab"},
        {"(?:a?)*c", "xaac", "aac"}, {"(\\b)*x", "x", "x"},   {"(?=a)*a", "a", "a"},
        {"(a*)+$", "aa", "aa"},    {"(?:)*x", "x", "x"},     {"(a*){2,}b", "ab", "ab"},
        {"(?<=(a*)*)b", "aab", "b"}, {"(^)*a", "ba", "a"},
    };
    for (const auto& c : cases) {
        RegExp re;
        re.Compile(U16(c.pattern));
        EXPECT_EQ(FirstMatch(re, U16(c.subject)), c.match) << c.pattern;
        EXPECT_FALSE(re.LastSearchGaveUp()) << c.pattern;
    }
}

TEST(RegExpSearch, CatastrophicPatternsEndAsNoMatch) {
    RegExp re;
    re.Compile(U16("(a+)+b"));
    const std::u16string subject(40, u'a');
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(FirstMatch(re, subject));
    EXPECT_TRUE(re.LastSearchGaveUp());
    // Not a timing test: it only proves the budget ended the search at all.
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::minutes(1));
    // The object stays usable, and a reasonable subject still matches.
    EXPECT_EQ(FirstMatch(re, u"aaab"), optional<string>("aaab"));
    EXPECT_FALSE(re.LastSearchGaveUp());
    // A smaller budget is honoured.
    RegExp small;
    small.Compile(U16("(?:.*_)*x"));
    small.SetStepLimit(1000);
    EXPECT_FALSE(FirstMatch(small, U16(string(30, '_'))));
    EXPECT_TRUE(small.LastSearchGaveUp());
}

TEST(RegExpSearch, LongSubjectsDoNotExhaustTheStack) {
    // A match path of several edges per code unit over 200,000 code units: the matcher
    // keeps its own stack, so this is fine as long as it stays within the limits.
    const std::u16string longSubject = std::u16string(200'000, u'a') + u"b";
    RegExp chain;
    chain.Compile(U16("a+b"));
    EXPECT_EQ(FirstMatch(chain, longSubject).value_or("").size(), longSubject.size());
    RegExp groups;
    groups.Compile(U16("(?:(a)|(b))*$"));
    ASSERT_TRUE(FirstMatch(groups, longSubject));
    EXPECT_EQ(groups.GroupTextByNumber(2), u"b");
    // Beyond the stack limit the search gives up instead of crashing.
    const std::u16string huge(3'000'000, u'a');
    RegExp lazy;
    lazy.Compile(U16("(?:a|b)*c"));
    EXPECT_FALSE(FirstMatch(lazy, huge));
    EXPECT_TRUE(lazy.LastSearchGaveUp());
}

TEST(RegExpSearch, DeepestAllowedNestingStillWorks) {
    // Each lookaround and atomic group matches its inner part on its own, one level
    // of the machine stack per nesting level; the nesting limit bounds that.
    string nested;
    for (int i = 0; i < 240; ++i) nested += i % 2 ? "(?>" : "(?=";
    nested += "ab";
    nested += string(240, ')');
    nested += "a";
    EXPECT_EQ(FirstMatch(nested, "xab"), optional<string>("a"));
    string loops;
    for (int i = 0; i < 240; ++i) loops += "(?:";
    loops += "a+";
    for (int i = 0; i < 240; ++i) loops += ")*";
    EXPECT_EQ(FirstMatch(loops, "baaa"), optional<string>(""));
    EXPECT_EQ(FirstMatch("b" + loops, "baaa"), optional<string>("baaa"));
    // `+` builds its part twice (one required copy, one loop), so nested `+` grows
    // the graph exponentially: refused like any oversized repeat.
    EXPECT_EQ(CompileError("((((((((((((((((((((((((a+)+)+)+)+)+)+)+)+)+)+)+)+)+)+)+)+)+)+)+)+)+)+)+)+"), 10);
    EXPECT_EQ(CompileError("((((((((a+)+)+)+)+)+)+)+)+"), -1);
}

TEST(RegExpSearch, NonBmpIsTwoCodeUnits) {
    // Every code unit is one character: a surrogate pair is two.
    const std::u16string subject = u"x\U0001F3B5y";
    RegExp two;
    two.Compile(U16("x..y"));
    EXPECT_TRUE(FirstMatch(two, subject));
    RegExp one;
    one.Compile(U16("x.y"));
    EXPECT_FALSE(FirstMatch(one, subject));
}

}  // namespace
}  // namespace quorvane::test
