// What the compiler accepts and what it refuses, with which error value.
#include <gtest/gtest.h>

#include "regexp_test_util.h"

namespace quorvane::test {
namespace {

TEST(RegExpSyntax, ErrorValueOrNone) {
    const struct {
        const char* pattern;
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
    };
    for (const auto& c : cases) EXPECT_EQ(CompileError(c.pattern), c.error) << c.pattern;
}

TEST(RegExpSyntax, FailedCompileThrowsOneExceptionAndLeavesNothingToSearch) {
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

}  // namespace
}  // namespace quorvane::test
