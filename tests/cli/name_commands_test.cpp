// rename and generate end to end on lame files: show --json and the disk afterwards, the
// messages on standard error, --dry-run, and the histories.
#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

class CliNameCommands : public ::testing::Test {
protected:
    std::string Make(const std::string& name, const std::vector<std::string>& frames = {}) {
        MakeMp3(dir_ / name, {"-b", "64"}, 0.5);
        if (!frames.empty()) Tag(dir_ / name, 4, frames);
        return (dir_ / name).string();
    }
    CommandResult Run(const std::vector<std::string>& args) { return Cli(dir_ / "s.ini", args); }
    // "name: TIT2=Q TPE1=B" (frames sorted) from show --json, a line a file.
    std::string Frames(const std::vector<std::string>& paths) {
        std::vector<std::string> args = {"show", "--json"};
        args.insert(args.end(), paths.begin(), paths.end());
        return Py("for f in json.load(sys.stdin): print(os.path.basename(f['path']) + ':', "
                  "' '.join(sorted(x['id'] + '=' + x['text'] for x in f['frames'])))",
                  Run(args).out);
    }
    std::string Files() {
        return Py("print('|'.join(sorted(n for n in os.listdir(sys.argv[1]) if n.endswith('.mp3'))))", "",
                  {dir_.Path().string()});
    }
    TempDir dir_;
};

TEST_F(CliNameCommands, GenerateByPatternAndByRegex) {
    const std::string a = Make("05_Brennick_Quorvane.mp3", {"TRCK=3"});
    const std::string b = Make("Unfit.mp3", {"TPE1=Kept"});
    const std::string c = Make("07_Other_Song.MP3");
    CommandResult r = Run({"generate", "--pattern", "<track>_<artist>_<title>", a, b, c});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Frames({a, b, c}), "05_Brennick_Quorvane.mp3: TIT2=Quorvane TPE1=Brennick TRCK=5\n"
                                 "Unfit.mp3: TPE1=Kept\n07_Other_Song.MP3: TIT2=Song TPE1=Other TRCK=07");
    EXPECT_EQ(MutagenView(c), "v2=4 TIT2=Song TPE1=Other TRCK=07 v1=none");
    r = Run({"generate", "--pattern", "<x>_<artist>_<title>", c});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Unrecognized field: x\n");

    // The help text's example; a name without a match is named; an optional group that
    // took no part leaves its frame alone.
    const std::string expression = "(?P<track>.+)_(?P<artist>.+)_(?P<title>.+)";
    Tag(dir_ / "05_Brennick_Quorvane.mp3", 4, {"TDRC=1999"});
    r = Run({"generate", "--regex", expression, a, b});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "The regular expression \"" + expression + "\" didn't match the filename \"Unfit.mp3\"\n");
    ASSERT_EQ(Run({"generate", "--regex", "_(?P<title>[^_.]+)( \\((?P<year>\\d+)\\))?\\.", a}).status, 0);
    EXPECT_EQ(Frames({a}), "05_Brennick_Quorvane.mp3: TDRC=1999 TIT2=Quorvane TPE1=Brennick TRCK=05");
    r = Run({"generate", "--regex", "(?P<artist>.+", a});
    EXPECT_EQ(r.err, "The regular expression you entered could not be parsed.\n");
    EXPECT_EQ(Run({"config", "get", "GenNormals"}).out, "<track>_<artist>_<title>\n<x>_<artist>_<title>\n");
    EXPECT_EQ(Run({"config", "get", "RegExps"}).out,
              expression + "\n_(?P<title>[^_.]+)( \\((?P<year>\\d+)\\))?\\.\n");
}

TEST_F(CliNameCommands, RenameNeverReplacesAFile) {
    const std::string a = Make("a.mp3", {"TPE1=AC/DC", "TRCK=7", "TIT2=Intro"});
    const std::string b = Make("b.mp3", {"TPE1=AC/DC", "TRCK=7", "TIT2=Intro"});
    const std::string c = Make("c.mp3", {"TRCK=07/12", "TIT2=Outro"});
    const std::string d = Make("d.mp3", {"TPE1=Taken", "TRCK=1", "TIT2=x"});
    WriteFileBytes(dir_ / "Taken - 01 - x.mp3", {'k'});
    // Named b first: b gets the name, a is refused.
    CommandResult r = Run({"rename", "--expr", "<artist> - <track> - <title>", b, a, c, d});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Couldn't rename \"a.mp3\" to \"AC DC - 07 - Intro.mp3\".\n"
                     "Couldn't rename \"d.mp3\" to \"Taken - 01 - x.mp3\".\n");
    EXPECT_EQ(Files(), " - 07 12 - Outro.mp3|AC DC - 07 - Intro.mp3|Taken - 01 - x.mp3|a.mp3|d.mp3");
    EXPECT_EQ(ReadFileBytes(dir_ / "Taken - 01 - x.mp3"), std::vector<uint8_t>{'k'});
    EXPECT_EQ(MutagenView(dir_ / "AC DC - 07 - Intro.mp3"), "v2=4 TIT2=Intro TPE1=AC/DC TRCK=7 v1=none");
    Tag(dir_ / "d.mp3", 4, {"TIT2=D"});
    ASSERT_EQ(Run({"rename", "--expr", "<title>", d}).status, 0);  // a new letter case
    r = Run({"rename", "--expr", "<artist> <x>", a});
    EXPECT_EQ(r.err, "Unrecognized field: x\n");
    EXPECT_EQ(Files(), " - 07 12 - Outro.mp3|AC DC - 07 - Intro.mp3|D.mp3|Taken - 01 - x.mp3|a.mp3");
    EXPECT_EQ(Run({"config", "get", "Renames"}).out, "<artist> - <track> - <title>\n<title>\n<artist> <x>\n");
}

TEST_F(CliNameCommands, DryRunPrintsOldAndNewAndWritesNothing) {
    const std::string file = Make("05_Brennick_Quorvane.mp3", {"TRCK=3", "TIT2=Old"});
    const auto before = ReadFileBytes(file);
    CommandResult r = Run({"generate", "--dry-run", "--pattern", "<track>_<artist>_<title>", dir_.Path().string()});
    EXPECT_EQ(r.out, file + ": TRCK \"3\" -> \"5\", TPE1 (none) -> \"Brennick\", TIT2 \"Old\" -> \"Quorvane\"\n");
    r = Run({"rename", "--expr", "<track>/<title>", file, "--dry-run"});
    EXPECT_EQ(r.out, file + ": \"05_Brennick_Quorvane.mp3\" -> \"03 Old.mp3\"\n");
    EXPECT_EQ(ReadFileBytes(file), before);
    EXPECT_EQ(Files(), "05_Brennick_Quorvane.mp3");
    EXPECT_EQ(Run({"config", "get", "GenNormals"}).out + Run({"config", "get", "Renames"}).out, "");
}

}  // namespace
}  // namespace quorvane::test
