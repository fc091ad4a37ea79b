// The regular expressions: every search ends; work, memory and stack stay bounded.
// Cases that Python's `re` settles the same way live in the differential test; the
// matches here are this dialect's own points and the edges of each construct.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "platform/text_codec.h"
#include "regex/regexp.h"

namespace quorvane::test {
namespace {

using Match = std::optional<std::string>;
using std::string;

string Repeat(const string& s, int n) {
    string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// The error value a pattern raises, or -1 when it compiles.
int CompileError(const std::string& pattern) {
    try {
        RegExp().Compile(U16(pattern));
    } catch (const RegExpException& e) {
        return static_cast<int>(e.Error());
    }
    return -1;
}

// The text of the first match, or nullopt; the search must leave `pos` at its end.
Match FirstMatch(RegExp& re, const std::u16string& subject) {
    const char16_t* pos = subject.c_str();
    if (!re.Search(pos)) return std::nullopt;
    const auto span = re.GroupSpan(0);
    if (!span || span->second != static_cast<size_t>(pos - subject.c_str())) return "<end differs>";
    return U8(subject.substr(span->first, span->second - span->first));
}

Match FirstMatch(const std::string& pattern, const std::string& subject) {
    RegExp re;
    re.Compile(U16(pattern));
    return FirstMatch(re, U16(subject));
}

// Every group of the last search by number, 0 first; nullopt for one that took no part.
std::vector<Match> Groups(const RegExp& re) {
    std::vector<Match> groups;
    for (unsigned n = 0; n <= re.GroupCount(); ++n) {
        const std::string text = U8(re.GroupTextByNumber(n));
        groups.push_back(re.GroupSpan(n) || !text.empty() ? Match(text) : std::nullopt);
    }
    return groups;
}

TEST(RegExpSyntax, ErrorValueOrNoneAndNothingLeftToSearch) {
    const struct {
        string pattern;
        int error;
    } cases[] = {
        {"a\\0", 0}, {"(?im", 0}, {"(?m-", 0}, {"\\-", 1}, {"\\_", 1}, {"\\f", 1}, {"\\v", 1}, {"\\x41", 1},
        {"\\E", 1}, {"abc\\", 1}, {"(a\\1)", 2}, {"\\1(a)", 2}, {"\\3", 2}, {"*a", 3}, {"a|*b", 3}, {"(*a)", 3},
        {"+", 3}, {"\\Q\\E*", 3}, {"(", 4}, {"(a", 4}, {"(#comment", 4}, {"((a)", 4}, {"(?#x", 4}, {")", 5},
        {"a)", 5}, {"(a))", 5}, {"(?", 6}, {"(?P<name", 6}, {"[", 6}, {"[^", 6}, {"[abc", 6}, {"[a-", 6},
        {"[a-]", 7}, {"[z-a]", 8}, {"a{x}", 9}, {"a{1x}", 9}, {"a{1,x}", 9}, {"a{1,2x}", 9}, {"a{,3}", 9},
        {"a{2,", 9}, {"a{3,2}", 10}, {"a{5", 10}, {"(?Pname>a)", 11}, {"a{2,3", 11}, {"a{0", 11}, {"(?i:a)", 13},
        {"(?q)", 13}, {"(?m-i-x)", 13}, {"(?<x)", 13},
        // Compiles (-1).
        {"", -1}, {"()", -1}, {"(|)", -1}, {"a|", -1}, {"|a", -1}, {"$+", -1}, {"\\b?", -1}, {"(?-i)a", -1},
        {"(?)", -1}, {"(?<:ab)", -1}, {"\\Q", -1}, {"\\Qa\\E", -1}, {"a{0}", -1}, {"[\\d]", -1}, {"(?P<>a)", -1},
        {"(#note)a", -1},
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

    // A failed compile throws one exception and leaves nothing to search.
    RegExp re;
    try {
        re.Compile(U16("a|(b{3,2})"));
        FAIL() << "compiled";
    } catch (const std::exception& e) {  // callers catch every error alike
        const auto* error = dynamic_cast<const RegExpException*>(&e);
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->Error(), RegExpError::CountRange);
        EXPECT_EQ(std::string(e.what()).rfind("regular expression error 10: ", 0), 0u) << e.what();
    }
    const std::u16string subject = u"a";
    const char16_t* pos = subject.c_str();
    EXPECT_FALSE(re.Search(pos));
    EXPECT_EQ(pos, subject.c_str());
    re.Compile(U16("a"));  // the object can be compiled again
    EXPECT_TRUE(re.Search(pos));
}

constexpr const char* kNone = nullptr;  // no match

TEST(RegExpMatch, FirstMatchByConstruct) {
    const string loops = Repeat("(?:", 240) + "a+" + Repeat(")*", 240);
    const struct {
        string pattern;
        const char* subject;
        const char* match;
    } cases[] = {
        // {m,n}; only the newest literal is repeated: `abc{2}` is ab then cc.
        {"a{0}b", "ab", "b"}, {"abc{2}", "abcabcc", "abcc"}, {"x{0,3}?y", "xxy", "xxy"}, {"(?:a|ab){0,2}c", "abac", "abac"},
        // Classes: `[]` is empty, `]` first closes it, `\` stands for itself.
        {"[]", "abc]", kNone}, {"x[]|y", "xy", "y"}, {"[]a]", "a]", kNone}, {"[]a]|a]", "xa]", "a]"},
        {"[\\d]+", "5\\dd", "\\dd"}, {"[a-c_]+", "xx_cab-", "_cab"}, {"[^]", "q", "q"}, {"[-a]+", "x-a-", "-a-"},
        {"[\t-\r]", "\n", kNone}, {"(?-m)[\t-\r]", "\n", "\n"},  // ranges skip line terminators in line mode
        // Negated classes: overlapping, nested, adjacent and widest ranges; terminators only when listed.
        {"[^a-cb-e]+", "abcdefg", "fg"}, {"[^a-eb-c]+", "abcdefg", "fg"}, {"[^a-bc-d]+", "dcbaxe", "xe"},
        {"[^x-xa]+", "axbyx", "by"}, {"[^a-\xEF\xBF\xBF]+", "zy09!\xEF\xBF\xBF", "09!"}, {"[^-z]+", "-zq-", "q"},
        {"[^\x01-\xEF\xBF\xBF]", "a\xEF\xBF\xBF", kNone}, {"[^\\d]+", "\\d5x", "5x"}, {"[^a-z]", "a\nb", "\n"},
        {"[^\t-\r]", "\n\t ", " "},
        // Escapes; \w and \W stay ASCII.
        {"\\$\\(\\)\\*\\+\\.\\?\\[\\\\\\]\\^\\{\\|\\}", "x$()*+.?[\\]^{|}", "$()*+.?[\\]^{|}"},
        {"a\\tb\\nc\\rd", "a\tb\nc\rd", "a\tb\nc\rd"}, {"\\w+", "--aZ9_\xC3\xA9-", "aZ9_"}, {"\\W", "5", kNone},
        {"\\W", "_", kNone}, {"\\W", "\xC3\xA9", "\xC3\xA9"}, {"\\s+", "a \t\n\r\f\vb", " \t\n\r\f\v"},
        {"\\S", "\f", kNone},
        // \Q...\E, also running to the end of the pattern.
        {"\\Qa.b\\E", "a.b", "a.b"}, {"\\Qa.b\\E", "axb", kNone}, {"\\Qa\\b", "xa\\b", "a\\b"},
        {"\\Q(\\E+", "(((", "((("}, {"x\\Q\\Ey", "xy", "xy"},
        // Back-references: digits are given back until they name a closed group.
        {"(a|b)\\1", "abba", "bb"}, {"(a)\\12", "aa2", "aa2"}, {"(a)\\12", "aa", kNone},
        {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)\\12", "abcdefghijkll", "abcdefghijkll"},
        {"(?:(x)|y)\\1z", "yz", "yz"}, {"(\\w+) \\1", "say bye bye now", "bye bye"},
        // Alternation keeps every branch in written order; the first one that fits wins.
        {"x(a|b|c|d)y", "xdy", "xdy"}, {"(a|b)|(c|d)|e", "e", "e"}, {"a|ab", "ab", "a"},
        // Flags hold to the end of the pattern; `i` changes nothing; `-m` limits ^ and $.
        {"(?x)a b", "ab", "ab"}, {"(?x)a b", "a b", kNone}, {"(?x)a\\Q \\E[ ]b", "a  b", "a  b"},
        {"(?i)abc", "ABC", kNone}, {"((?x)a )b c", "abc", "abc"}, {"(?x)a(?-x) b", "a b", "a b"},
        {"^b", "a\nb", "b"}, {"(?-m)^b", "a\nb", kNone}, {"a$", "a\nb", "a"}, {"(?-m)a$", "a\nb", kNone},
        {"(?-m)b$", "a\nb", "b"},
        // Group spellings and comments; a quantifier after a comment applies to what came before.
        {"(?<:a.c)", "xabc", "abc"}, {"(?<:a.c)", "cba", kNone}, {"a(#any text)b", "ab", "ab"},
        {"a(?#any text)b", "ab", "ab"}, {"a(#c)+", "aaa", "aaa"}, {"a??b", "ab", "ab"}, {"^*a", "ba", "a"},
        // Atomic groups and possessive quantifiers never give back.
        {"(?>a+)a", "aaaa", kNone}, {"a++a", "aaaa", kNone}, {"a*+a", "aaaa", kNone}, {"a?+a", "a", kNone},
        {"a{1,3}+a", "aaaa", "aaaa"}, {"(?>a|ab)c", "abc", kNone}, {"(?>ab|a)c", "abc", "abc"},
        // The end position is never tried, and the empty subject never matches.
        {"$", "abc", kNone}, {"c$", "abc", "c"}, {"x*$", "abc", kNone}, {"$", "a\nb", ""}, {"", "abc", ""},
        {"", "", kNone}, {"a*", "", kNone}, {"$", "", kNone}, {"^", "", kNone}, {"(?=)", "", kNone},
        {"\\B", "", kNone}, {"^a", "ba", kNone},
        // Line terminators for ^ and $ (which `.` takes): LF, CR, U+0085, U+2028, U+2029, not U+2027.
        {"b$.^c", "ab\ncd", "b\nc"}, {"b$.^c", "ab\rcd", "b\rc"},
        {"b$.^c", "ab\xC2\x85" "cd", "b\xC2\x85" "c"}, {"b$.^c", "ab\xE2\x80\xA8" "cd", "b\xE2\x80\xA8" "c"},
        {"b$.^c", "ab\xE2\x80\xA9" "cd", "b\xE2\x80\xA9" "c"}, {"b$.^c", "ab\xE2\x80\xA7" "cd", kNone},
        // \b and \B count letters and digits of every script as word characters.
        {"\\bfoo\\b", "a foo.mp3", "foo"}, {"\\bfoo\\b", "afoo", kNone}, {"\\bfoo\\b", "foo_", kNone},
        {"\\Bo", "of", kNone}, {"\\Bo", "fo", "o"}, {"\\bx", "\xC3\xA9x", kNone}, {"\\bx", "-x", "x"},
        {"\\bx", "\xD9\xA3x", kNone}, {"\\w\\b", "a\xC3\xA9", kNone},
        // Lookaround; a lookbehind takes any width and reads from the right.
        {"(?<=^\\d+ - )\\w+", "12 - Title", "Title"},
        {"(?<=x(ab|cd)y)z", "xcdyz", "z"}, {"(?<=(?:ab){2})c", "abababc", "c"}, {"(?<=a)", "a", kNone},
        {"(?<=^)a", "a", "a"}, {"(?<=a(?=b)b)c", "abc", "c"},
        // Every code unit is one character: a surrogate pair is two.
        {"x..y", "x\xF0\x9F\x8E\xB5y", "x\xF0\x9F\x8E\xB5y"}, {"x.y", "x\xF0\x9F\x8E\xB5y", kNone},
        // Loops whose part matched nothing end (a search that gave up would be no match).
        {"(a*)*", "b", ""},          {"(a*)*b", "aab", "aab"}, {"a**", "aaa", "aaa"},    {"(|a)+", "aa", "aa"},
        {"(|a)+b", "aab", "aab"},    {"(a|)*?b", "aab", "aab"}, {"(?:a?)*c", "xaac", "aac"}, {"(\\b)*x", "x", "x"},
        {"(?=a)*a", "a", "a"},       {"(a*)+$", "aa", "aa"},   {"(?:)*x", "x", "x"},     {"(a*){2,}b", "ab", "ab"},
        {"(?<=(a*)*)b", "aab", "b"}, {"(^)*a", "ba", "a"},
        // Every lookaround level runs its own match one machine-stack level deeper; near
        // the nesting limit, alternating forward and backward, it still works.
        {Repeat("(?=(?<=", 247) + "(?=a" + string(495, ')'), "aa", ""}, {loops, "baaa", ""},
        {"b" + loops, "baaa", "baaa"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FirstMatch(c.pattern, c.subject), c.match ? Match(c.match) : std::nullopt) << c.pattern.substr(0, 60);
    }
}

constexpr const char* kOut = nullptr;  // the group took no part in the match

TEST(RegExpGroups, CapturesByNumber) {
    const struct {
        const char* pattern;
        const char* subject;
        std::vector<const char*> groups;  // 0 (the whole match) first
    } cases[] = {
        {"(?P<track>.+)_(?P<artist>.+)_(?P<title>.+)", "05_Some Artist_Some Title",
         {"05_Some Artist_Some Title", "05", "Some Artist", "Some Title"}},
        // Numbered by opening parenthesis; an atomic group is numbered too, `(?<:` is not.
        {"((a)(b))(?:c)(?=d)(?P<name>d)(?>e)", "abcde", {"abcde", "ab", "a", "b", "d", "e"}},
        {"(?:a)(?<:b)(c)", "abc", {"abc", "c"}},
        // {m,n} first chooses how many copies (most first when greedy), then how each matches.
        {"(a+){0,2}", "aaa", {"aaa", "a"}}, {"(a+){1,3}?b", "aaab", {"aaab", "aaa"}},
        // A negative lookaround, or a branch that set a group and then failed, leaves nothing.
        {"(?!(ab))a", "abac", {"a", kOut}}, {"(?:(x)|y)\\1z", "yz", {"yz", kOut}},
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

TEST(RegExpGroups, NamesAndNothingOutlivesItsSearch) {
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

    // Nothing outlives its search.
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

TEST(RegExpLimits, StepBudgetEndsASearchAsNoMatchAndLongSubjectsStayOffTheStack) {
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

    // Long subjects stay off the machine stack.
    const std::u16string longSubject = std::u16string(200'000, u'a') + u"b";
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
