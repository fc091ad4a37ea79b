// The dialect as the compiler reads it: error values, quantifiers, classes,
// escapes, groups and flags.
#include <gtest/gtest.h>

#include "regexp_test_util.h"

namespace quorvane::test {
namespace {

using std::nullopt;
using std::optional;
using std::string;

TEST(RegExpCompile, ErrorValues) {
    const struct {
        const char* pattern;
        int error;
    } cases[] = {
        {"a\\0", 0},     {"(?im", 0},     {"(?m-", 0},      {"\\-", 1},       {"\\_", 1},
        {"\\f", 1},      {"\\v", 1},      {"\\x41", 1},     {"\\E", 1},       {"abc\\", 1},
        {"(a\\1)", 2},   {"\\1(a)", 2},   {"\\3", 2},       {"*a", 3},        {"a|*b", 3},
        {"(*a)", 3},     {"+", 3},        {"(", 4},         {"(a", 4},        {"(#comment", 4},
        {"((a)", 4},     {"(?#x", 4},     {")", 5},         {"a)", 5},        {"(a))", 5},
        {"(?", 6},       {"(?P<name", 6}, {"[", 6},         {"[^", 6},        {"[abc", 6},
        {"[a-", 6},      {"[a-]", 7},     {"[z-a]", 8},     {"a{x}", 9},      {"a{1x}", 9},
        {"a{1,x}", 9},   {"a{1,2x}", 9},  {"a{,3}", 9},     {"a{2,", 9},      {"a{3,2}", 10},
        {"a{5", 10},     {"(?Pname>a)", 11}, {"a{2,3", 11}, {"a{0", 11},      {"(?i:a)", 13},
        {"(?q)", 13},    {"(?m-i-x)", 13}, {"(?<x)", 13},
    };
    for (const auto& c : cases) EXPECT_EQ(CompileError(c.pattern), c.error) << c.pattern;
}

TEST(RegExpCompile, ValidPatternsCompile) {
    for (const char* p : {"", "a", "(a)\\1", "(a)\\12", "()", "(|)", "a|", "|a", "[]", "[^]", "[]a]", "a**",
                          "^*", "$+", "\\b?", "(?x)a b", "(?i)abc", "(?-i)a", "(?)", "(#note)a", "(?#note)a",
                          "(?<:ab)", "\\Q", "\\Qa\\E", "a{0}", "a{2,}", "a{3}", "[\\d]", "(?P<>a)"}) {
        EXPECT_EQ(CompileError(p), -1) << p;
    }
}

TEST(RegExpCompile, CountedQuantifiers) {
    EXPECT_EQ(FirstMatch("a{2,}", "xaaaay"), optional<string>("aaaa"));
    EXPECT_EQ(FirstMatch("a{2,}", "xay"), nullopt);
    EXPECT_EQ(FirstMatch("a{3}", "aaaaa"), optional<string>("aaa"));
    EXPECT_EQ(FirstMatch("a{3}", "aa"), nullopt);
    EXPECT_EQ(FirstMatch("a{1,3}", "aaaa"), optional<string>("aaa"));
    EXPECT_EQ(FirstMatch("a{1,3}?", "aaaa"), optional<string>("a"));
    EXPECT_EQ(FirstMatch("a{0}b", "ab"), optional<string>("b"));
    // Only the newest literal is repeated: `abc{2}` is ab then cc.
    EXPECT_EQ(FirstMatch("abc{2}", "abcabcc"), optional<string>("abcc"));
    EXPECT_EQ(FirstMatch("(?:ab){2,3}", "abababab"), optional<string>("ababab"));
    EXPECT_EQ(FirstMatch("x{0,3}?y", "xxy"), optional<string>("xxy"));
    EXPECT_EQ(FirstMatch("\\d{2}-\\d{1,2}", "track 07-3.mp3"), optional<string>("07-3"));
}

TEST(RegExpCompile, Classes) {
    // `[]` is an empty class that never matches.
    EXPECT_EQ(FirstMatch("[]", "abc]"), nullopt);
    EXPECT_EQ(FirstMatch("x[]|y", "xy"), optional<string>("y"));
    // `[]a]` is the empty class, then the literals a and ].
    EXPECT_EQ(FirstMatch("[]a]", "a]"), nullopt);
    EXPECT_EQ(FirstMatch("[]a]|a]", "xa]"), optional<string>("a]"));
    // Inside a class the backslash stands for itself.
    EXPECT_EQ(FirstMatch("[\\d]+", "5\\dd"), optional<string>("\\dd"));
    EXPECT_EQ(FirstMatch("[a-c_]+", "xx_cab-"), optional<string>("_cab"));
    EXPECT_EQ(FirstMatch("[^a-c]+", "abcdefa"), optional<string>("def"));
    EXPECT_EQ(FirstMatch("[^]", "q"), optional<string>("q"));
    EXPECT_EQ(FirstMatch("[-a]+", "x-a-"), optional<string>("-a-"));
    // A negated class takes line terminators, a range does not in line mode.
    EXPECT_EQ(FirstMatch("[^x]", "\n"), optional<string>("\n"));
    EXPECT_EQ(FirstMatch("[\t-\r]", "\n"), nullopt);
    EXPECT_EQ(FirstMatch("(?-m)[\t-\r]", "\n"), optional<string>("\n"));
}

TEST(RegExpCompile, Escapes) {
    EXPECT_EQ(FirstMatch("\\$\\(\\)\\*\\+\\.\\?\\[\\\\\\]\\^\\{\\|\\}", "x$()*+.?[\\]^{|}"),
              optional<string>("$()*+.?[\\]^{|}"));
    EXPECT_EQ(FirstMatch("a\\tb\\nc\\rd", "a\tb\nc\rd"), optional<string>("a\tb\nc\rd"));
    EXPECT_EQ(FirstMatch("\\d+", "ab123c"), optional<string>("123"));
    EXPECT_EQ(FirstMatch("\\D+", "12ab3"), optional<string>("ab"));
    EXPECT_EQ(FirstMatch("\\w+", "--aZ9_\xC3\xA9-"), optional<string>("aZ9_"));
    // \W excludes digits and the underscore; \w stays ASCII.
    EXPECT_EQ(FirstMatch("\\W", "5"), nullopt);
    EXPECT_EQ(FirstMatch("\\W", "_"), nullopt);
    EXPECT_EQ(FirstMatch("\\W", "\xC3\xA9"), optional<string>("\xC3\xA9"));
    EXPECT_EQ(FirstMatch("\\s+", "a \t\n\r\f\vb"), optional<string>(" \t\n\r\f\v"));
    EXPECT_EQ(FirstMatch("\\S", "\f"), nullopt);
    EXPECT_EQ(FirstMatch("\\S+", " ab "), optional<string>("ab"));
}

TEST(RegExpCompile, Quotation) {
    EXPECT_EQ(FirstMatch("\\Qa.b\\E", "a.b"), optional<string>("a.b"));
    EXPECT_EQ(FirstMatch("\\Qa.b\\E", "axb"), nullopt);
    // Without \E the quotation runs to the end, backslashes included.
    EXPECT_EQ(FirstMatch("\\Qa\\b", "xa\\b"), optional<string>("a\\b"));
    EXPECT_EQ(FirstMatch("\\Q(\\E+", "((("), optional<string>("((("));
    // An empty quotation adds nothing, so the quantifier after it has nothing to repeat.
    EXPECT_EQ(CompileError("\\Q\\E*"), 3);
    EXPECT_EQ(FirstMatch("x\\Q\\Ey", "xy"), optional<string>("xy"));
}

TEST(RegExpCompile, GroupsAreNumberedByOpeningParenthesis) {
    RegExp re;
    re.Compile(U16("((a)(b))(?:c)(?=d)(?P<name>d)(?>e)"));
    ASSERT_EQ(re.GroupCount(), 5u);
    EXPECT_EQ(re.GroupName(4), u"name");
    EXPECT_EQ(re.GroupName(1), u"");
    const std::u16string subject = u"abcde";
    const char16_t* pos = subject.c_str();
    ASSERT_TRUE(re.Search(pos));
    EXPECT_EQ(re.GroupTextByNumber(1), u"ab");
    EXPECT_EQ(re.GroupTextByNumber(2), u"a");
    EXPECT_EQ(re.GroupTextByNumber(3), u"b");
    EXPECT_EQ(re.GroupTextByNumber(4), u"d");
    // An atomic group is numbered like any capturing group.
    EXPECT_EQ(re.GroupTextByNumber(5), u"e");
}

TEST(RegExpCompile, NamedGroupsAndLookup) {
    RegExp re;
    re.Compile(U16("(?P<artist>.+)_(?P<title>.+)"));
    EXPECT_EQ(re.GroupCount(), 2u);
    EXPECT_EQ(re.GroupName(1), u"artist");
    EXPECT_EQ(re.GroupName(2), u"title");
    EXPECT_TRUE(re.HasGroup(u"artist"));
    EXPECT_FALSE(re.HasGroup(u"Artist"));
    EXPECT_FALSE(re.HasGroup(u""));
    // An unknown name raises error 2 even before any search.
    EXPECT_THROW(re.GetGroupText(u"Artist"), RegExpException);
    try {
        re.GetGroupText(u"album");
        FAIL();
    } catch (const RegExpException& e) {
        EXPECT_EQ(e.Error(), RegExpError::NoSuchGroup);
    }
    // Before a search a known group is empty.
    EXPECT_EQ(re.GetGroupText(u"artist"), u"");

    RegExp twice;
    twice.Compile(U16("(?P<x>a)(b)(?P<x>c)"));
    EXPECT_TRUE(twice.HasGroup(u""));  // the unnamed group has the empty name
    EXPECT_EQ(FirstMatch(twice, u"abc"), optional<string>("abc"));
    EXPECT_EQ(Group(twice, "x"), "a");  // the first group of that name wins
}

TEST(RegExpCompile, BackReferences) {
    EXPECT_EQ(FirstMatch("(a|b)\\1", "abba"), optional<string>("bb"));
    // \12 with one group: group 1, then the literal 2.
    EXPECT_EQ(FirstMatch("(a)\\12", "aa2"), optional<string>("aa2"));
    EXPECT_EQ(FirstMatch("(a)\\12", "aa"), nullopt);
    // With twelve groups the same text is a reference to group 12.
    const string twelve = "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)\\12";
    EXPECT_EQ(FirstMatch(twelve, "abcdefghijkll"), optional<string>("abcdefghijkll"));
    // A reference to a group that took no part matches the empty text.
    EXPECT_EQ(FirstMatch("(?:(x)|y)\\1z", "yz"), optional<string>("yz"));
    EXPECT_EQ(FirstMatch("(\\w+) \\1", "say bye bye now"), optional<string>("bye bye"));
}

TEST(RegExpCompile, AlternationKeepsEveryBranch) {
    EXPECT_EQ(FirstMatch("a|b", "a"), optional<string>("a"));
    EXPECT_EQ(FirstMatch("a|b", "b"), optional<string>("b"));
    EXPECT_EQ(FirstMatch("a|(b)c", "a"), optional<string>("a"));
    EXPECT_EQ(FirstMatch("a|(b)c", "bc"), optional<string>("bc"));
    EXPECT_EQ(FirstMatch("x(a|b|c|d)y", "xdy"), optional<string>("xdy"));
    EXPECT_EQ(FirstMatch("a|", "b"), optional<string>(""));
    EXPECT_EQ(FirstMatch("(a|b)|(c|d)|e", "e"), optional<string>("e"));
}

TEST(RegExpCompile, Flags) {
    EXPECT_EQ(FirstMatch("(?x)a b", "ab"), optional<string>("ab"));
    EXPECT_EQ(FirstMatch("(?x)a b", "a b"), nullopt);
    // x leaves escaped blanks and blanks inside classes alone.
    EXPECT_EQ(FirstMatch("(?x)a\\Q \\E[ ]b", "a  b"), optional<string>("a  b"));
    // i is accepted but matching stays case-sensitive.
    EXPECT_EQ(FirstMatch("(?i)abc", "ABC"), nullopt);
    EXPECT_EQ(FirstMatch("(?i)abc", "abc"), optional<string>("abc"));
    // Flags hold to the end of the pattern; a group does not restore them.
    EXPECT_EQ(FirstMatch("((?x)a )b c", "abc"), optional<string>("abc"));
    EXPECT_EQ(FirstMatch("(?x)a(?-x) b", "a b"), optional<string>("a b"));
    // Line mode is on at the start; -m limits ^ and $ to the subject's ends.
    EXPECT_EQ(FirstMatch("^b", "a\nb"), optional<string>("b"));
    EXPECT_EQ(FirstMatch("(?-m)^b", "a\nb"), nullopt);
    EXPECT_EQ(FirstMatch("a$", "a\nb"), optional<string>("a"));
    EXPECT_EQ(FirstMatch("(?-m)a$", "a\nb"), nullopt);
    EXPECT_EQ(FirstMatch("(?-m)b$", "a\nb"), optional<string>("b"));
}

TEST(RegExpCompile, NonCapturingGroupSpellings) {
    EXPECT_EQ(FirstMatch("(?:ab)+", "abab"), optional<string>("abab"));
    // `(?<:` is a plain group read left to right, not a reversed sequence.
    EXPECT_EQ(FirstMatch("(?<:a.c)", "xabc"), optional<string>("abc"));
    EXPECT_EQ(FirstMatch("(?<:a.c)", "cba"), nullopt);
    RegExp re;
    re.Compile(U16("(?:a)(?<:b)(c)"));
    EXPECT_EQ(re.GroupCount(), 1u);
}

TEST(RegExpCompile, Comments) {
    EXPECT_EQ(FirstMatch("a(#any text)b", "ab"), optional<string>("ab"));
    EXPECT_EQ(FirstMatch("a(?#any text)b", "ab"), optional<string>("ab"));
    // A comment is not an item: a quantifier after it applies to what came before.
    EXPECT_EQ(FirstMatch("a(#c)+", "aaa"), optional<string>("aaa"));
}

TEST(RegExpCompile, QuantifierAfterAnyItem) {
    EXPECT_EQ(FirstMatch("(ab)+", "xababa"), optional<string>("abab"));
    EXPECT_EQ(FirstMatch("a?b", "b"), optional<string>("b"));
    EXPECT_EQ(FirstMatch("a??b", "ab"), optional<string>("ab"));
    EXPECT_EQ(FirstMatch("(a+)+b", "aaab"), optional<string>("aaab"));
    EXPECT_EQ(FirstMatch("^*a", "ba"), optional<string>("a"));
}

TEST(RegExpCompile, LimitsRefuseHugePatterns) {
    // Counts beyond the limit and ranges whose expansion would be huge are refused
    // with the counted-quantifier error instead of exhausting memory.
    EXPECT_EQ(CompileError("a{0,100000}"), 10);
    EXPECT_EQ(CompileError("a{100000}"), 10);
    EXPECT_EQ(CompileError("a{0,4294967295}"), 10);
    EXPECT_EQ(CompileError("a{99999999999999999999999}"), 10);
    EXPECT_EQ(CompileError("(a{0,100}){0,100}"), 10);
    EXPECT_EQ(CompileError(".{0,1000}"), 10);
    EXPECT_EQ(CompileError("a{10000}"), -1);
    EXPECT_EQ(CompileError(".{0,300}"), -1);
    // Nesting deeper than the limit is refused too, so compiling and building
    // cannot exhaust the stack.
    EXPECT_EQ(CompileError(string(2000, '(') + "a" + string(2000, ')')), 12);
    EXPECT_EQ(CompileError(string(2000, '(') + "a"), 12);
    EXPECT_EQ(CompileError("a" + string(3000, '?')), 12);
    EXPECT_EQ(CompileError(string(200, '(') + "a" + string(200, ')')), -1);
    // 255 groups are fine, the 256th is not.
    string groups;
    for (int i = 0; i < 255; ++i) groups += "(a)";
    EXPECT_EQ(CompileError(groups), -1);
    EXPECT_EQ(CompileError(groups + "(a)"), 12);
    // Many alternatives do not nest.
    string alternatives = "a";
    for (int i = 0; i < 5000; ++i) alternatives += "|b";
    EXPECT_EQ(CompileError(alternatives), -1);
}

TEST(RegExpCompile, FailedCompileLeavesNothingToSearch) {
    RegExp re;
    EXPECT_THROW(re.Compile(U16("(a")), RegExpException);
    const std::u16string subject = u"a";
    const char16_t* pos = subject.c_str();
    EXPECT_FALSE(re.Search(pos));
    EXPECT_EQ(pos, subject.c_str());
    // The object can be compiled again.
    re.Compile(U16("a"));
    EXPECT_TRUE(re.Search(pos));
}

}  // namespace
}  // namespace quorvane::test
