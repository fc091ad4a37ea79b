// Hostile patterns and subjects: work and memory stay bounded by the pattern's and
// the subject's length, and long comparisons count against the search budget.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <new>
#include <random>
#include <set>

#include "regexp_test_util.h"

namespace quorvane::test {
namespace {

using std::nullopt;
using std::optional;
using std::string;

#if defined(__SANITIZE_ADDRESS__)
#define QUORVANE_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVANE_UNDER_ASAN 1
#endif
#endif

#ifndef QUORVANE_UNDER_ASAN
// Runs in the death-test child: exits 0 when the pattern compiles within 512 MB of
// address space and `ba` matches it whole.
[[noreturn]] void CompileInLittleMemory(const std::u16string& pattern) {
    const rlimit limit{size_t{512} << 20, size_t{512} << 20};
    setrlimit(RLIMIT_AS, &limit);
    try {
        RegExp re;
        re.Compile(pattern);
        const bool whole = re.Search(std::u16string(u"ba")) && re.GroupSpan(0)->second == 2;
        std::exit(whole ? 0 : 1);
    } catch (const std::bad_alloc&) {
        std::exit(2);
    }
}
#endif

TEST(RegExpReviewLimits, NegatedClassesMatchTheirRanges) {
    EXPECT_EQ(FirstMatch("[^a-cb-e]+", "abcdefg"), optional<string>("fg"));
    EXPECT_EQ(FirstMatch("[^a-bc-d]+", "dcbaxe"), optional<string>("xe"));
    EXPECT_EQ(FirstMatch("[^x-xa]+", "axbyx"), optional<string>("by"));
    EXPECT_EQ(FirstMatch("[^a-\xEF\xBF\xBF]+", "zy09!\xEF\xBF\xBF"), optional<string>("09!"));
    EXPECT_EQ(FirstMatch("[^\x01-\xEF\xBF\xBF]", "a\xEF\xBF\xBF"), nullopt);
    EXPECT_EQ(FirstMatch("[^-z]+", "-zq-"), optional<string>("q"));
    EXPECT_EQ(FirstMatch("[^\\d]+", "\\d5x"), optional<string>("5x"));
    // Line terminators are excluded only when listed.
    EXPECT_EQ(FirstMatch("[^a-z]", "a\nb"), optional<string>("\n"));
    EXPECT_EQ(FirstMatch("[^\t-\r]", "\n\t "), optional<string>(" "));
}

TEST(RegExpReviewLimits, NegatedClassesAgreeWithTheirListedCharacters) {
    // Random lists of single characters and ranges, overlapping and adjacent, over a
    // small alphabet; every character is either listed (never matched) or not.
    std::mt19937 rng(7);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 300; ++round) {
        std::u16string pattern = u"[^";
        std::set<char16_t> listed;
        const int items = pick(1, 6);
        for (int i = 0; i < items; ++i) {
            const char16_t c = static_cast<char16_t>(u'b' + pick(0, 20));
            if (pick(0, 1)) {
                const char16_t d = static_cast<char16_t>(c + pick(0, 6));
                pattern += {c, u'-', d};
                for (char16_t x = c; x <= d; ++x) listed.insert(x);
            } else {
                pattern += c;
                listed.insert(c);
            }
        }
        pattern += u"]";
        RegExp re;
        re.Compile(pattern);
        for (char16_t x = u'a'; x <= u'z' + 2; ++x) {
            const std::u16string subject(1, x);
            EXPECT_EQ(FirstMatch(re, subject).has_value(), listed.count(x) == 0) << U8(pattern) << " on " << U8(subject);
        }
    }
}

// One class listing a wide range thousands of times, and thousands of classes with
// a wide range each: a pattern of about 100,000 code units that must compile in
// little memory (the child process gets 512 MB of address space).
TEST(RegExpReviewLimits, WideNegatedRangesCompileInLittleMemory) {
#ifdef QUORVANE_UNDER_ASAN
    GTEST_SKIP() << "address-space limits do not work under AddressSanitizer";
#else
    string pattern = "[^";
    for (int i = 0; i < 20000; ++i) pattern += "b-\xEF\xBF\xBF";
    pattern += "]";
    for (int i = 0; i < 8000; ++i) pattern += "[^b-\xEF\xBF\xBF]?";
    const std::u16string wide = U16(pattern);
    EXPECT_EXIT(CompileInLittleMemory(wide), testing::ExitedWithCode(0), "");
#endif
}

TEST(RegExpReviewLimits, LongLiteralComparisonsCountAgainstTheBudget) {
    // Each attempt compares the literal with most of the rest of the subject: few
    // steps, but millions of code units.
    const string literal = string(3000, 'a') + "b";
    RegExp re;
    re.Compile(U16("\\Q" + literal + "\\E"));
    re.SetStepLimit(200'000);
    EXPECT_FALSE(FirstMatch(re, U16(string(3000, 'a'))));
    EXPECT_TRUE(re.LastSearchGaveUp());
    // A search that compares little stays well inside the same budget.
    EXPECT_EQ(FirstMatch(re, U16("x" + literal)), optional<string>(literal));
    EXPECT_FALSE(re.LastSearchGaveUp());
}

TEST(RegExpReviewLimits, LongBackReferenceComparisonsCountAgainstTheBudget) {
    // Anchored, so there is one attempt of a few steps per length of group 1, but
    // each reference compares up to the whole subject.
    RegExp re;
    re.Compile(U16("^(.*)(?:\\1)+x"));
    re.SetStepLimit(1'000'000);
    EXPECT_FALSE(FirstMatch(re, U16(string(3000, 'a'))));
    EXPECT_TRUE(re.LastSearchGaveUp());
    // Read backward inside a lookbehind, too.
    RegExp behind;
    behind.Compile(U16("^(.*)(?<=\\1)x"));
    behind.SetStepLimit(1'000'000);
    EXPECT_FALSE(FirstMatch(behind, U16(string(3000, 'a'))));
    EXPECT_TRUE(behind.LastSearchGaveUp());
    // File-name sized subjects keep working with the default budget.
    RegExp name;
    name.Compile(U16("(.+)_\\1\\.mp3"));
    const string half(120, 'k');
    EXPECT_EQ(FirstMatch(name, U16(half + "_" + half + ".mp3")), optional<string>(half + "_" + half + ".mp3"));
    EXPECT_EQ(FirstMatch(name, U16(string(250, 'k'))), nullopt);
    EXPECT_FALSE(name.LastSearchGaveUp());
}

TEST(RegExpReviewLimits, NestingUpToTheLimitMatches) {
    // Every lookaround level runs its own match one machine-stack level deeper; the
    // nesting limit keeps that bounded, and the deepest accepted nesting still works,
    // alternating forward and backward.
    auto nested = [](int levels) {
        string pattern;
        for (int i = 0; i < levels; ++i) pattern += i % 2 ? "(?<=" : "(?=";
        return pattern + "a" + string(levels, ')');
    };
    RegExp re;
    re.Compile(U16(nested(495)));
    EXPECT_EQ(FirstMatch(re, u"aa"), optional<string>(""));
    EXPECT_FALSE(re.LastSearchGaveUp());
    EXPECT_EQ(CompileError(nested(520)), 12);
}

}  // namespace
}  // namespace quorvane::test
