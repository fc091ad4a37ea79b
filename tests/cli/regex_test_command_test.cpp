// quorvane-cli regex-test end to end: text and JSON output, compile errors, runaways.
#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

TEST(CliRegexTest, JsonIsValidAndComplete) {
    // Offsets are UTF-16 code units: the é before the match counts one, the
    // surrogate pair inside counts two.
    const CommandResult r = RunCommand({CliPath(), "regex-test", "--json", "--regex", "(?P<n>\\d+) (.+)",
                                        "\xC3\xA9 12 a\"\\\xF0\x9F\x8E\xB5", "x", "--", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const CommandResult check = RunPython(
        "import json,sys\n"
        "d=json.loads(sys.argv[1])\n"
        "assert len(d)==3, d\n"
        "a,b,c=d\n"
        "assert a=={'subject':'\\u00e9 12 a\"\\\\\\U0001F3B5','matched':True,'start':2,'end':10,'groups':["
        "{'number':1,'name':'n','text':'12'},{'number':2,'name':None,'text':'a\"\\\\\\U0001F3B5'}]}, a\n"
        "assert b=={'subject':'x','matched':False,'start':None,'end':None,'groups':[]}, b\n"
        "assert c['subject']=='--json' and c['matched'] is False, c\n"
        "print('ok')\n",
        {r.out});
    EXPECT_EQ(check.out, "ok\n") << check.err << r.out;
}

TEST(CliRegexTest, BadPatternReportsErrorValue) {
    const CommandResult r = RunCommand({CliPath(), "regex-test", "--regex", "a{3,2}", "aaa"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "The regular expression you entered could not be parsed.\n"
                     "regular expression error 10: counted quantifier out of order or too large\n");
}

TEST(CliRegexTest, TextOutputAndARunawayPattern) {
    const CommandResult r =
        RunCommand({CliPath(), "regex-test", "--regex", "(?P<x>a+)+b", "caab", std::string(40, 'a')});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "caab\n  match 1-4\n  group 1 <x>: aa\n" + std::string(40, 'a') + "\n  no match\n");
    EXPECT_NE(r.err.find("too many steps"), std::string::npos);
}

}  // namespace
}  // namespace quorvane::test
