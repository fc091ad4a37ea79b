// The one parser of quorvane-cli: global options on either side of every command, --help
// of each command, usage errors that name their cause and exit with status 2.
#include <regex>

#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

TEST(CliCommandLine, GlobalOptionsBeforeOrAfterEveryCommand) {
    TempDir dir;
    fs::create_directories(dir / "music" / "sub");
    MakeMp3(dir / "music" / "top.mp3", {"-b", "128"});
    Tag(dir / "music" / "top.mp3", 3, {"TIT2=Old"}, true);
    fs::copy_file(dir / "music" / "top.mp3", dir / "music" / "sub" / "deep.mp3");
    const auto before = ReadFileBytes(dir / "music" / "top.mp3");
    const std::string music = (dir / "music").string(), noRecurse = (dir / "no-recurse.ini").string();
    ASSERT_EQ(Cli(noRecurse, {"config", "set", "Recurse", "0"}).status, 0);

    for (const std::vector<std::string>& command :
         std::vector<std::vector<std::string>>{{"info"}, {"list"}, {"show"}, {"set", "--title", "New"}, {"remove-v1"},
                                               {"remove-v2"}}) {
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

    // --no-recurse overrides "Recurse" on (its default), info included.
    const fs::path defaults = dir / "defaults.ini";
    EXPECT_NE(Cli(defaults, {"info", music}).out.find("deep.mp3"), std::string::npos);
    EXPECT_EQ(Cli(defaults, {"info", music, "--no-recurse"}).out.find("deep.mp3"), std::string::npos);
    EXPECT_EQ(RunCommand({CliPath(), "--no-recurse", "info", music, "--settings", defaults}).out.find("deep.mp3"),
              std::string::npos);
}

TEST(CliCommandLine, HelpOfEveryCommandListsItsOwnAndTheGlobalOptions) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"info"}, "--json"},      {{"list"}, "--json"},          {{"show"}, "--json"},
        {{"set"}, "--v1-genre"},   {{"remove-v1"}, "PATH"},       {{"remove-v2"}, "PATH"},
        {{"config", "set"}, "VALUE"}, {{"regex-test"}, "--regex"}, {{}, "remove-v2"}};
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
}

TEST(CliCommandLine, UsageErrorsNameTheirCause) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
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
    };
    TempDir dir;
    for (const auto& [args, message] : cases) {
        const CommandResult r = Cli(dir / "s.ini", args);
        EXPECT_EQ(r.status, 2) << message;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << message;
    }
    EXPECT_FALSE(fs::exists(dir / "s.ini"));  // nothing was written
}

}  // namespace
}  // namespace quorvane::test
