// Hostile or mistyped patterns and subjects: compiling refuses what would be huge,
// every search ends, and work, memory and stack stay bounded.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <new>

#include "regexp_test_util.h"

namespace quorvane::test {
namespace {

using std::string;

string Repeat(const string& s, int n) {
    string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

TEST(RegExpLimits, CompileRefusesHugeOrDeepPatterns) {
    const struct {
        string pattern;
        int error;
    } cases[] = {
        // Counts up to 10,000; beyond, and ranges whose expansion ((n-m)^2 / 2 copies)
        // passes the graph cost cap, are refused as a count out of range.
        {"a{10000}", -1}, {"a{10001}", 10}, {"a{10000,}", -1}, {"a{10001,}", 10}, {"a{0,4294967295}", 10},
        {"a{99999999999999999999999}", 10}, {".{0,705}", -1}, {".{0,706}", 10}, {"(a{0,100}){0,100}", 10},
        // `+` builds its part twice, so nested `+` grows exponentially.
        {Repeat("(", 8) + "a" + Repeat("+)", 8), -1}, {Repeat("(", 24) + "a" + Repeat("+)", 24), 10},
        // 255 groups, not 256; nesting up to 500 levels; alternatives do not nest.
        {Repeat("(a)", 255), -1}, {Repeat("(a)", 256), 12}, {Repeat("(?:", 500) + "a" + string(500, ')'), -1},
        {Repeat("(?:", 501) + "a" + string(501, ')'), 12}, {Repeat("(?:", 2000) + "a", 12},
        {"a" + string(498, '*'), -1}, {"a" + string(499, '*'), 12}, {"a" + Repeat("|b", 5000), -1},
    };
    for (const auto& c : cases) EXPECT_EQ(CompileError(c.pattern), c.error) << c.pattern.substr(0, 60);
}

TEST(RegExpLimits, LoopsThatMatchNothingEnd) {
    const struct {
        const char* pattern;
        const char* subject;
        const char* match;
    } cases[] = {
        {"(a*)*", "b", ""},          {"(a*)*b", "aab", "aab"}, {"a**", "aaa", "aaa"},    {"(|a)+", "aa", "aa"},
        {"(|a)+b", "aab", "aab"},    {"(a|)*?b", "aab", "aab"}, {"(?:a?)*c", "xaac", "aac"}, {"(\\b)*x", "x", "x"},
        {"(?=a)*a", "a", "a"},       {"(a*)+$", "aa", "aa"},   {"(?:)*x", "x", "x"},     {"(a*){2,}b", "ab", "ab"},
        {"(?<=(a*)*)b", "aab", "b"}, {"(^)*a", "ba", "a"},
    };
    // A search that gave up would be no match.
    for (const auto& c : cases) EXPECT_EQ(FirstMatch(c.pattern, c.subject), Match(c.match)) << c.pattern;
}

TEST(RegExpLimits, StepBudgetEndsASearchAsNoMatch) {
    RegExp re;
    re.Compile(U16("(a+)+b"));
    EXPECT_FALSE(FirstMatch(re, std::u16string(40, u'a')));
    EXPECT_TRUE(re.LastSearchGaveUp());
    EXPECT_EQ(FirstMatch(re, u"aaab"), Match("aaab"));  // still usable
    EXPECT_FALSE(re.LastSearchGaveUp());
    // Compared code units count too: a long literal or back-reference makes few steps
    // but compares millions of code units, forward and (in a lookbehind) backward.
    for (const string& p : {"\\Q" + string(3000, 'a') + "b\\E", string("^(.*)(?:\\1)+x"), string("^(.*)(?<=\\1)x")}) {
        RegExp slow;
        slow.Compile(U16(p));
        slow.SetStepLimit(1'000'000);
        EXPECT_FALSE(FirstMatch(slow, U16(string(3000, 'a'))));
        EXPECT_TRUE(slow.LastSearchGaveUp()) << p.substr(0, 20);
    }
    re.Compile(U16("(.+)_\\1\\.mp3"));  // file-name sized work stays well inside the default budget
    EXPECT_TRUE(FirstMatch(re, U16(string(120, 'k') + "_" + string(120, 'k') + ".mp3")));
    EXPECT_FALSE(FirstMatch(re, U16(string(250, 'k'))));
    EXPECT_FALSE(re.LastSearchGaveUp());
}

TEST(RegExpLimits, LongSubjectsStayOffTheMachineStack) {
    const std::u16string longSubject = std::u16string(200'000, u'a') + u"b";
    RegExp re;
    re.Compile(U16("a+b"));
    EXPECT_EQ(FirstMatch(re, longSubject).value_or("").size(), longSubject.size());
    re.Compile(U16("(?:(a)|(b))*$"));
    ASSERT_TRUE(FirstMatch(re, longSubject));
    EXPECT_EQ(re.GroupTextByNumber(2), u"b");
    // Beyond the choice-point limit the search gives up instead of crashing.
    re.Compile(U16("(?:a|b)*c"));
    EXPECT_FALSE(FirstMatch(re, std::u16string(3'000'000, u'a')));
    EXPECT_TRUE(re.LastSearchGaveUp());
}

TEST(RegExpLimits, DeepestAllowedNestingMatches) {
    // Every lookaround level runs its own match one machine-stack level deeper; near
    // the nesting limit, alternating forward and backward, it still works.
    EXPECT_EQ(FirstMatch(Repeat("(?=(?<=", 247) + "(?=a" + string(495, ')'), "aa"), Match(""));
    const string loops = Repeat("(?:", 240) + "a+" + Repeat(")*", 240);
    EXPECT_EQ(FirstMatch(loops, "baaa"), Match(""));
    EXPECT_EQ(FirstMatch("b" + loops, "baaa"), Match("baaa"));
}

#if defined(__SANITIZE_ADDRESS__)
#define QUORVANE_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVANE_UNDER_ASAN 1
#endif
#endif

// A class listing the widest range thousands of times, and thousands of such classes:
// about 100,000 code units that must compile in 512 MB of address space.
TEST(RegExpLimits, WideNegatedRangesCompileInLittleMemory) {
#ifdef QUORVANE_UNDER_ASAN
    GTEST_SKIP() << "address-space limits do not work under AddressSanitizer";
#else
    const std::u16string pattern =
        U16("[^" + Repeat("b-\xEF\xBF\xBF", 20000) + "]" + Repeat("[^b-\xEF\xBF\xBF]?", 8000));
    const auto compileInLittleMemory = [&pattern] {
        const rlimit limit{size_t{512} << 20, size_t{512} << 20};
        setrlimit(RLIMIT_AS, &limit);
        try {
            RegExp re;
            re.Compile(pattern);
            std::exit(re.Search(std::u16string(u"ba")) && re.GroupSpan(0)->second == 2 ? 0 : 1);
        } catch (const std::bad_alloc&) {
            std::exit(2);
        }
    };
    EXPECT_EXIT(compileInLittleMemory(), testing::ExitedWithCode(0), "");
#endif
}

}  // namespace
}  // namespace quorvane::test
