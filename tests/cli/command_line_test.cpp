// The one parser of quorvane-cli: global options on either side of every command, --help
// of each command, usage errors that name their cause and exit with status 2; the
// commands that need no MP3 file (config, regex-test).
#include <regex>

#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

TEST(CliCommandLine, GlobalOptionsBeforeOrAfterEveryCommand) {
    TempDir dir;
    fs::create_directories(dir / "music" / "sub");
    MakeMp3(dir / "music" / "top.mp3", {"-b", "128"});
    Tag(dir / "music" / "top.mp3", 3, {"TIT2=old"}, true);
    fs::copy_file(dir / "music" / "top.mp3", dir / "music" / "sub" / "deep.mp3");
    const auto before = ReadFileBytes(dir / "music" / "top.mp3");
    const std::string music = (dir / "music").string(), noRecurse = (dir / "no-recurse.ini").string();
    ASSERT_EQ(Cli(noRecurse, {"config", "set", "Recurse", "0"}).status, 0);

    for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
             {"info"}, {"list"}, {"show"}, {"set", "--title", "New"}, {"remove-v1"}, {"remove-v2"}, {"capitalize"},
             {"copy-v1"}, {"number"}, {"generate", "--pattern", "<title>"}, {"rename", "--expr", "<title>"},
             {"comment", "add", "--text", "c"}, {"export", "m3u", "--out", (dir / "a.m3u").string()}}) {
        std::vector<std::string> first = {CliPath(), "--settings", noRecurse, "--dry-run"}, last = command;
        first.insert(first.end(), command.begin(), command.end());
        first.push_back(music);
        last.insert(last.end(), {music, "--dry-run"});
        for (const CommandResult& r : {RunCommand(first), Cli(noRecurse, last)}) {
            EXPECT_EQ(r.status, 0) << command[0] << r.err;
            EXPECT_NE(r.out.find("top.mp3"), std::string::npos) << command[0] << r.out;
            EXPECT_EQ(r.out.find("deep.mp3"), std::string::npos) << command[0] << r.out;  // "Recurse" 0 read
        }
    }
    EXPECT_EQ(ReadFileBytes(dir / "music" / "top.mp3"), before);  // --dry-run held everywhere
    EXPECT_FALSE(fs::exists(dir / "a.m3u"));

    // --no-recurse overrides "Recurse" on (its default), info included.
    const fs::path defaults = dir / "defaults.ini";
    EXPECT_NE(Cli(defaults, {"info", music}).out.find("deep.mp3"), std::string::npos);
    EXPECT_EQ(Cli(defaults, {"info", music, "--no-recurse"}).out.find("deep.mp3"), std::string::npos);
    EXPECT_EQ(RunCommand({CliPath(), "--no-recurse", "info", music, "--settings", defaults}).out.find("deep.mp3"),
              std::string::npos);
}

TEST(CliCommandLine, HelpListsEachCommandsOptionsAndUsageErrorsNameTheirCause) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"info"}, "--json"},      {{"list"}, "--json"},          {{"show"}, "--json"},
        {{"set"}, "--v1-genre"},   {{"remove-v1"}, "PATH"},       {{"remove-v2"}, "PATH"},
        {{"config", "set"}, "VALUE"}, {{"regex-test"}, "--regex"}, {{"export", "xml"}, "--store-options"},
        {{}, "remove-v2"}};
    for (const auto& [command, own] : cases) {
        std::vector<std::string> argv = {CliPath()};
        argv.insert(argv.end(), command.begin(), command.end());
        argv.push_back("--help");
        const CommandResult r = RunCommand(argv);
        EXPECT_EQ(r.status, 0) << own;
        for (const std::string& option : {own, std::string("--no-recurse"), std::string("--settings FILE")}) {
            EXPECT_NE(r.out.find(option), std::string::npos) << own << "\n" << r.out;
        }
    }
    const CommandResult version = RunCommand({CliPath(), "--version"});
    EXPECT_TRUE(std::regex_match(version.out, std::regex("Quorvane [0-9]+\\.[0-9]+\n"))) << version.out;

    // Usage errors name their cause, exit with status 2 and write nothing.
    const std::string d65(65, 'd');
    const std::vector<std::pair<std::vector<std::string>, std::string>> errors = {
        {{"--bogus", "list", "a.mp3"}, "quorvane-cli list: unknown option '--bogus'"},
        {{"list", "a.mp3", "--bogus"}, "quorvane-cli list: unknown option '--bogus'"},
        {{"frobnicate", "a.mp3"}, "quorvane-cli: unknown command 'frobnicate'"},
        {{}, "a command is required"},
        {{"show", "--json"}, "PATH is required"},
        {{"set", "a.mp3"}, "nothing to set"},
        {{"set", "--v1-track", "256", "a.mp3"}, "--v1-track: takes a number from 0 to 255"},
        {{"set", "--v1-track", "-1", "a.mp3"}, "--v1-track"},
        {{"set", "--v1-genre", "NoSuchGenre", "a.mp3"}, "unknown genre 'NoSuchGenre'"},
        {{"config"}, "quorvane-cli config: a subcommand is required"},
        {{"config", "set", "Recurse", "maybe"}, "Recurse takes 1 or 0"},
        {{"config", "get", "NoSuchSetting"}, "unknown setting 'NoSuchSetting'"},
        {{"regex-test", "--regex", "a"}, "SUBJECT is required"},
        {{"regex-test", "subject"}, "--regex is required"},
        {{"generate", "a.mp3"}, "quorvane-cli generate: --pattern or --regex is required"},
        {{"comment", "add", "--language", "de", "--text", "t", "a.mp3"}, "--language: unknown language 'de'"},
        {{"export", "pls", "a.mp3"}, "quorvane-cli export pls: --out is required"},
        {{"export", "xml", "--out", "x", "--level", "genre", "a.mp3"}, "--level: genre not in"},
        {{"export", "xml", "--out", "x", "--level", "album", "--level", "year", "--level", "album", "--level",
          "album", "--level", "artist", "a.mp3"},
         "quorvane-cli export xml: at most 4 levels"},
        {{"picture", "add", "--file", "f.png", "--type", "21", "a.mp3"}, "--type: Value 21 not in range 0 to 20"},
        {{"picture", "add", "--file", "f.png", "--type", "x", "a.mp3"}, "--type: Value x not in range"},
        {{"picture", "add", "--file", "f.png", "--type", "3", "--description", d65, "a.mp3"}, "at most 64 characters"},
        {{"picture", "add", "--type", "3", "a.mp3"}, "--file is required"},
        {{"picture", "delete", "a.mp3"}, "--type is required"},
        {{"picture", "a.mp3"}, "quorvane-cli picture: unexpected argument 'a.mp3'"},
    };
    TempDir dir;
    for (const auto& [args, message] : errors) {
        const CommandResult r = Cli(dir / "s.ini", args);
        EXPECT_EQ(r.status, 2) << message;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << message;
    }
    EXPECT_FALSE(fs::exists(dir / "s.ini"));  // nothing was written
}

TEST(CliCommandLine, CommandsWithoutMp3FilesConfigAndRegexTest) {
    TempDir dir;
    const std::vector<std::pair<std::vector<std::string>, std::string>> steps = {
        {{"get", "Recurse"}, "1\n"},         {{"set", "Recurse", "0"}, ""},
        {{"set", "XML/Structure1", "3"}, ""}, {{"set", "Renames", "<artist> - <title>", "<track>"}, ""},
        {{"get", "Renames"}, "<artist> - <title>\n<track>\n"},
        {{"set", "--dry-run", "Encoding", "2"}, "would set Encoding\t2\n"}, {{"get", "Encoding"}, "0\n"}};
    for (auto [args, out] : steps) {
        args.insert(args.begin(), "config");
        const CommandResult r = Cli(dir / "s.ini", args);
        EXPECT_EQ(r.status, 0) << args[2] << r.err;
        EXPECT_EQ(r.out, out) << args[2];
    }
    const std::string list = "\n" + Cli(dir / "s.ini", {"config", "list"}).out;
    for (const char* line : {"\nRecurse\t0\n", "\nXML/Structure1\t3\n", "\nUse2.4\t1\n"}) {
        EXPECT_NE(list.find(line), std::string::npos) << list;
    }

    // regex-test: offsets are UTF-16 code units, the é before the match counts one, the
    // surrogate pair inside two; the words after "--" are subjects.
    CommandResult r = RunCommand({CliPath(), "regex-test", "--json", "--regex", "(?P<n>\\d+) (.+)",
                                  "\xC3\xA9 12 a\"\\\xF0\x9F\x8E\xB5", "x", "--", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Py("a, b, c = json.loads(sys.stdin.read())\n"
                 "assert a == {'subject': '\\u00e9 12 a\"\\\\\\U0001F3B5', 'matched': True, 'start': 2, 'end': 10, "
                 "'groups': [{'number': 1, 'name': 'n', 'text': '12'}, "
                 "{'number': 2, 'name': None, 'text': 'a\"\\\\\\U0001F3B5'}]}, a\n"
                 "assert b == {'subject': 'x', 'matched': False, 'start': None, 'end': None, 'groups': []}, b\n"
                 "assert c['subject'] == '--json' and c['matched'] is False, c\n"
                 "print('ok')",
                 r.out),
              "ok");

    r = RunCommand({CliPath(), "regex-test", "--regex", "a{3,2}", "aaa"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "The regular expression you entered could not be parsed.\n"
                     "regular expression error 10: counted quantifier out of order or too large\n");

    r = RunCommand({CliPath(), "regex-test", "--regex", "(?P<x>a+)+b", "caab", std::string(40, 'a')});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "caab\n  match 1-4\n  group 1 <x>: aa\n" + std::string(40, 'a') + "\n  no match\n");
    EXPECT_NE(r.err.find("too many steps"), std::string::npos);
}

}  // namespace
}  // namespace quorvane::test
