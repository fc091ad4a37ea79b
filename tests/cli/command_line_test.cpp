// What every command shares: the one parser and its usage errors, the one file walk and
// its order and reports, and the save that follows (killed-save copies, Ctrl+C).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <regex>
#include <thread>

#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

TEST(CliCommandLine, GlobalOptionsBeforeOrAfterEveryCommand) {
    TempDir dir;
    fs::create_directories(dir / "music" / "sub");
    MakeMp3(dir / "music" / "top.mp3", {"-b", "128"});
    TagWithMutagen(dir / "music" / "top.mp3", 3, {"TIT2=old"}, true);
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
    EXPECT_EQ(Py("print(json.loads(sys.stdin.read()))", r.out),
              "[{'subject': '\xC3\xA9 12 a\"\\\\\xF0\x9F\x8E\xB5', 'matched': True, 'start': 2, 'end': 10, 'groups': "
              "[{'number': 1, 'name': 'n', 'text': '12'}, {'number': 2, 'name': None, 'text': 'a\"\\\\\xF0\x9F\x8E\xB5'}]}, "
              "{'subject': 'x', 'matched': False, 'start': None, 'end': None, 'groups': []}, "
              "{'subject': '--json', 'matched': False, 'start': None, 'end': None, 'groups': []}]");

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

std::string Row(const fs::path& path, unsigned kbit, bool vbr, uintmax_t bytes) {
    return path.string() + "\t" + std::to_string(kbit) + (vbr ? "\t1\t" : "\t0\t") +
           std::to_string(bytes * 8 / (kbit * 1000)) + "\n";
}

class CliFileWalk : public CliTest {
protected:
    void SetUp() override {
        fs::create_directories(music_ / "sub" / "deeper");
        fs::create_directories(music_ / "aa");
        MakeMp3(music_ / "b.mp3", {"-b", "128", "-t"});
        MakeMp3(music_ / "sub" / "vbr.MP3", {"-V", "4"});
        for (const char* name : {"a.mp3", "B.mp3", "aa/e.mp3", "sub/deeper/c.mp3"}) {
            fs::copy_file(music_ / "b.mp3", music_ / name);
        }
    }
    fs::path music_ = dir_ / "music";
};

TEST_F(CliFileWalk, InfoListsRealFilesInTheOrderGivenAndSorted) {
    const uintmax_t n = fs::file_size(music_ / "b.mp3");
    // lame's Xing header: frames and bytes give the average bitrate.
    const auto v = ReadFileBytes(music_ / "sub" / "vbr.MP3");
    ASSERT_EQ(std::string(v.begin() + 36, v.begin() + 40), "Xing");
    const auto be32 = [&v](size_t at) { return double(v[at] << 24 | v[at + 1] << 16 | v[at + 2] << 8 | v[at + 3]); };
    const auto kbit = static_cast<unsigned>(44100 * (be32(48) / be32(44)) / 144000);

    const CommandResult r = Run({"info", (music_ / "sub" / "vbr.MP3").string(), music_.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Path\tBitrate\tVBR\tDuration\n" + Row(music_ / "sub" / "vbr.MP3", kbit, true, v.size()) +
                         Row(music_ / "B.mp3", 128, false, n) + Row(music_ / "a.mp3", 128, false, n) +
                         Row(music_ / "b.mp3", 128, false, n) + Row(music_ / "aa" / "e.mp3", 128, false, n) +
                         Row(music_ / "sub" / "deeper" / "c.mp3", 128, false, n));
}

TEST_F(CliFileWalk, EachFailureOfTheWalkIsNamedOnce) {
    fs::create_symlink(dir_ / "gone.mp3", music_ / "aa" / "dangling.mp3");
    const std::string error = "Error when opening file \"" + (music_ / "aa" / "dangling.mp3").string() + "\":\n" +
                              std::strerror(ENOENT) + "\n";
    const CommandResult list = Run({"list", (music_ / "aa").string()});
    EXPECT_EQ(list.status, 1);
    EXPECT_EQ(list.err, error);
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 2) << list.out;  // the header and e.mp3
    EXPECT_EQ(Outcome({"set", "--title", "New", (music_ / "aa").string()}), "1 " + error);  // not once more by the save
    EXPECT_EQ(MutagenView(music_ / "aa" / "e.mp3"), "v2=4 TIT2=New v1=none");

    // Paths without MP3 files are named.
    const std::string empty = (dir_ / "empty").string(), notes = (dir_ / "notes.txt").string();
    fs::create_directories(empty);
    WriteFileBytes(notes, {'x'});
    EXPECT_EQ(Outcome({"list", empty, (music_ / "sub").string()}), "0 No MP3 files in " + empty + "\n");
    const CommandResult none = Run({"info", "--json", empty});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "[]\n");
    EXPECT_EQ(Outcome({"set", "--title", "x", notes}), "1 \"" + notes + "\" is neither a directory nor an .mp3 file\n");
}

TEST_F(CliFileWalk, ProgressOnlyOnATerminalAndClearedBeforeAMessage) {
    fs::create_symlink(dir_ / "gone.mp3", music_ / "c.mp3");  // fails after B.mp3 .. b.mp3
    EXPECT_EQ(Run({"list", music_.string()}).err.find('\r'), std::string::npos);
    // `script` gives the command a terminal; standard output goes to a file.
    const fs::path out = dir_ / "out.tsv";
    const CommandResult r = RunCommand({"script", "-qec",
                                        "'" + CliPath() + "' list '" + music_.string() + "' --settings '" +
                                            (dir_ / "s.ini").string() + "' > '" + out.string() + "'",
                                        "/dev/null"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\r\033[K1 files, " + music_.string()), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\r\033[KError when opening file"), std::string::npos) << r.out;
    EXPECT_EQ(Py("print(open(sys.argv[1], 'rb').read().count(b'\\n'))", "", {out.string()}), "7");  // no progress
}

// A copy that no live save holds goes when a save writes into its directory, or when
// the directory is listed.
TEST_F(CliFileWalk, ASaveOrAListingRemovesTheCopyOfAKilledSave) {
    const fs::path left = music_ / "aa" / ".e.mp3.qvsave-k1ll3d00";
    for (const char* command : {"set", "list"}) {
        WriteFileBytes(left, std::vector<uint8_t>(70000, 1));
        const CommandResult r = command == std::string("set")
                                    ? Run({"set", "--title", "T", (music_ / "aa" / "e.mp3").string()})
                                    : Run({"list", (music_ / "aa").string()});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_FALSE(fs::exists(left)) << command;
    }
}

// The bytes after the ID3v2 tag: the audio, which no save may change.
std::vector<uint8_t> AudioOf(const fs::path& path) {
    const std::vector<uint8_t> b = ReadFileBytes(path);
    const size_t start = b.size() >= 10 && b[0] == 'I' && b[1] == 'D' && b[2] == '3'
                             ? 10 + ((b[6] & 0x7F) << 21 | (b[7] & 0x7F) << 14 | (b[8] & 0x7F) << 7 | (b[9] & 0x7F))
                             : 0;
    return {b.begin() + static_cast<long>(start), b.end()};
}

using CliInterrupt = CliTest;

// Ctrl+C during a save: the file being written is finished, the rest is left as it was,
// and nothing half-written or temporary stays behind.
TEST_F(CliInterrupt, CtrlCDuringASaveFinishesTheCurrentFileAndStops) {
    const fs::path music = dir_ / "music";
    fs::create_directories(music);
    constexpr int kFiles = 60;
    MakeMp3(music / "00.mp3", {"-b", "128"}, 4.0);
    TagWithMutagen(music / "00.mp3", 4, {"TIT2=Old"});
    const std::vector<uint8_t> audio = AudioOf(music / "00.mp3");
    const uintmax_t oldSize = fs::file_size(music / "00.mp3");
    for (int i = 1; i < kFiles; ++i) fs::copy_file(music / "00.mp3", music / (std::to_string(100 + i) + ".mp3"));

    // A title far larger than the old tag's room: every file's audio must move.
    const std::string title(20000, 'N');
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl(CliPath().c_str(), "quorvane-cli", "set", "--title", title.c_str(), music.c_str(), "--settings",
              (dir_ / "s.ini").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wait until the save has begun (the first rewritten file), then interrupt.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (bool started = false; !started && std::chrono::steady_clock::now() < deadline;) {
        // Temporary files come and go meanwhile: a vanished one just does not count.
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(music, ec)) {
            const uintmax_t size = fs::file_size(entry.path(), ec);
            started |= !ec && size != static_cast<uintmax_t>(-1) && size > oldSize + 15000;
        }
        if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    // 130 when the signal came while saving; 0 if the save had already ended.
    EXPECT_TRUE(WEXITSTATUS(status) == 130 || WEXITSTATUS(status) == 0) << WEXITSTATUS(status);

    int newTitles = 0, oldTitles = 0;
    for (const auto& entry : fs::directory_iterator(music)) {
        const std::string name = entry.path().filename().string();
        ASSERT_EQ(name.find(".qvsave-"), std::string::npos) << "temporary file left: " << name;
        EXPECT_EQ(AudioOf(entry.path()), audio) << name;
        const std::string view = MutagenView(entry.path());
        newTitles += view == "v2=4 TIT2=" + title + " v1=none";
        oldTitles += view == "v2=4 TIT2=Old v1=none";
    }
    EXPECT_EQ(newTitles + oldTitles, kFiles);
    EXPECT_GE(newTitles, 1);
    EXPECT_GE(oldTitles, WEXITSTATUS(status) == 130 ? 1 : 0);
}

}  // namespace
}  // namespace quorvane::test
