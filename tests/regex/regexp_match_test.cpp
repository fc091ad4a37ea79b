// What each construct matches: the first match of a pattern in a subject. Cases
// that Python's `re` settles the same way live in the differential test; these are
// this dialect's own points and the edges of each construct.
#include <gtest/gtest.h>

#include "regexp_test_util.h"

namespace quorvane::test {
namespace {

constexpr const char* kNone = nullptr;  // no match

TEST(RegExpMatch, FirstMatchByConstruct) {
    const struct {
        const char* pattern;
        const char* subject;
        const char* match;
    } cases[] = {
        // {m,n}; only the newest literal is repeated: `abc{2}` is ab then cc.
        {"a{2,}", "xaaaay", "aaaa"}, {"a{2,}", "xay", kNone}, {"a{3}", "aaaaa", "aaa"}, {"a{3}", "aa", kNone},
        {"a{1,3}", "aaaa", "aaa"}, {"a{1,3}?", "aaaa", "a"}, {"a{0}b", "ab", "b"}, {"abc{2}", "abcabcc", "abcc"},
        {"(?:ab){2,3}", "abababab", "ababab"}, {"x{0,3}?y", "xxy", "xxy"}, {"(?:a|ab){0,2}c", "abac", "abac"},
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
        {"a|b", "b", "b"}, {"a|(b)c", "a", "a"}, {"a|(b)c", "bc", "bc"}, {"x(a|b|c|d)y", "xdy", "xdy"},
        {"a|", "b", ""}, {"(a|b)|(c|d)|e", "e", "e"}, {"a|ab", "ab", "a"},
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
        {"(?<=_)\\d+", "ab_12", "12"}, {"(?<!_)\\d+", "_12", "2"}, {"\\d+(?!\\d|\\.)", "12.5 34", "5"},
        {"(?<=a.c)d", "abcd", "d"}, {"(?<=a.c)d", "bbcd", kNone}, {"(?<=^\\d+ - )\\w+", "12 - Title", "Title"},
        {"(?<=x(ab|cd)y)z", "xcdyz", "z"}, {"(?<=(?:ab){2})c", "abababc", "c"}, {"(?<=a)", "a", kNone},
        {"(?<=^)a", "a", "a"}, {"(?<=a(?=b)b)c", "abc", "c"},
        // Every code unit is one character: a surrogate pair is two.
        {"x..y", "x\xF0\x9F\x8E\xB5y", "x\xF0\x9F\x8E\xB5y"}, {"x.y", "x\xF0\x9F\x8E\xB5y", kNone},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FirstMatch(c.pattern, c.subject), c.match ? Match(c.match) : std::nullopt) << c.pattern;
    }
}

}  // namespace
}  // namespace quorvane::test
