// The commands that edit tags and names (copy-v1, capitalize, underscores, number, comment,
// generate, rename) on lame files tagged by mutagen: what --dry-run prints, the messages
// on standard error and the exit status, the histories; the files checked by mutagen.
#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

class CliEditCommands : public CliTest {
protected:
    // "name: ID=text ..." a line a file from show --json, frames sorted.
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
};

TEST_F(CliEditCommands, CapitalizeUnderscoresAndNumber) {
    const std::string a = Mp3("a.mp3", {"TIT2=the rolling stones", "TPE1=hip-hop_mix", "TRCK=09/12"});
    const std::string b = Mp3("b.mp3", {"TIT2=Already Done"}), c = Mp3("c.mp3");
    const auto untouched = ReadFileBytes(b);
    EXPECT_EQ(Run({"capitalize", "--dry-run", a, b}).out, a + ": TIT2 \"the rolling stones\" -> \"The Rolling Stones\"\n" +
                                                             a + ": TPE1 \"hip-hop_mix\" -> \"Hip-Hop_Mix\"\n");
    ASSERT_EQ(Run({"capitalize", a, b}).status, 0);
    ASSERT_EQ(Run({"underscores", a, b}).status, 0);
    EXPECT_EQ(MutagenView(a), "v2=4 TIT2=The Rolling Stones TPE1=Hip-Hop Mix TRCK=09/12 v1=none");
    EXPECT_EQ(ReadFileBytes(b), untouched);  // nothing to change, nothing written

    EXPECT_EQ(Run({"number", "--dry-run", c, a}).out, c + ": TRCK none -> \"1\"\n" + a + ": TRCK \"09/12\" -> \"2\"\n");
    ASSERT_EQ(Run({"number", c, a, b}).status, 0);
    EXPECT_EQ(Frames({c, a, b}), "c.mp3: TRCK=1\na.mp3: TIT2=The Rolling Stones TPE1=Hip-Hop Mix TRCK=2\n"
                                 "b.mp3: TIT2=Already Done TRCK=3");
}

TEST_F(CliEditCommands, CopyFromV1PassesOverFilesWithoutOne) {
    const std::string a = Mp3("a.mp3", {"TIT2=Old", "TRCK=3"}), b = Mp3("b.mp3", {"TIT2=Keep"});
    Py("f = open(sys.argv[1], 'ab')\n"
       "f.write(b'TAG' + b'  Title '.ljust(30, b'\\0') + b'Artist'.ljust(60, b'\\0') + b'1999' + bytes(29) + b'\\x07\\x11')",
       "", {a});
    const auto withoutV1 = ReadFileBytes(b);
    EXPECT_EQ(Outcome({"copy-v1", a, b}), "0 " + b + ": no ID3v1 tag, left as it is\n");
    EXPECT_EQ(ReadFileBytes(b), withoutV1);
    EXPECT_EQ(MutagenView(a), "v2=4 TCON=Rock TDRC=1999 TIT2=Title TPE1=Artist TRCK=7 v1=  Title");
}

TEST_F(CliEditCommands, CommentsAddListDelete) {
    const std::string a = Mp3("a.mp3", {"COMM=eng||english", "COMM=deu||german"});
    const std::string b = Mp3("b.mp3", {"COMM=eng||english", "COMM=deu||german"}), c = Mp3("c.mp3", {"COMM=eng|x|only c"});
    // mutagen writes the German comment first.
    EXPECT_EQ(Run({"comment", "list", a, b}).out,
              "Short Description\tLanguage\tCode\tText\n\tGerman\tdeu\tgerman\n\tEnglish\teng\tenglish\n");
    EXPECT_EQ(Py("for c in json.load(sys.stdin): print(sorted(c.items()))", Run({"comment", "list", "--json", a}).out),
              "[('description', ''), ('language', 'deu'), ('languageName', 'German'), ('text', 'german')]\n"
              "[('description', ''), ('language', 'eng'), ('languageName', 'English'), ('text', 'english')]");

    // English unless a language is named.
    EXPECT_EQ(Run({"comment", "add", "--description", "note", "--text", "a", "--dry-run", a}).out,
              a + ": COMM \"eng\" \"note\" none -> \"a\"\n");
    ASSERT_EQ(Run({"comment", "add", "--language", "French", "--description", "note", "--text", "salut", a, c}).status, 0);

    const CommandResult r = Run({"comment", "delete", "--description", "", a});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("it holds 2 comments with the short description \"\""), std::string::npos) << r.err;
    ASSERT_EQ(Run({"comment", "delete", "--description", "", "--language", "German", a, b}).status, 0);
    EXPECT_EQ(MutagenView(a), "v2=4 COMM::eng=english COMM:note:fre=salut v1=none");
    EXPECT_EQ(MutagenView(b), "v2=4 COMM::eng=english v1=none");

    EXPECT_EQ(Run({"comment", "delete-all", "--dry-run", c}).out,
              c + ": COMM \"eng\" \"x\" \"only c\" -> none\n" + c + ": COMM \"fre\" \"note\" \"salut\" -> none\n");
    ASSERT_EQ(Run({"comment", "delete-all", a, c}).status, 0);
    EXPECT_EQ(MutagenView(a) + " " + MutagenView(c), "v2=4 v1=none v2=4 v1=none");
}

// --dry-run prints old and new and stores no history.
TEST_F(CliEditCommands, GenerateByRegexAndByPattern) {
    const std::string a = Mp3("05_Brennick_Quorvane.mp3", {"TRCK=3"}), b = Mp3("Unfit.mp3", {"TPE1=Kept"});
    const std::string c = Mp3("07_Other_Song.MP3");
    EXPECT_EQ(Run({"generate", "--dry-run", "--pattern", "<track>_<artist>_<album>", dir_.Path().string()}).out,
              a + ": TRCK \"3\" -> \"5\", TPE1 (none) -> \"Brennick\", TALB (none) -> \"Quorvane\"\n" + c +
                  ": TRCK (none) -> \"07\", TPE1 (none) -> \"Other\", TALB (none) -> \"Song\"\n");

    // The help text's example; a name without a match is named, the others are saved.
    const std::string expression = "(?P<track>.+)_(?P<artist>.+)_(?P<title>.+)";
    EXPECT_EQ(Outcome({"generate", "--regex", expression, a, b}),
              "1 The regular expression \"" + expression + "\" didn't match the filename \"Unfit.mp3\"\n");
    EXPECT_EQ(Frames({a, b}), "05_Brennick_Quorvane.mp3: TIT2=Quorvane TPE1=Brennick TRCK=5\nUnfit.mp3: TPE1=Kept");

    // A name that does not fit the pattern is passed over.
    ASSERT_EQ(Outcome({"generate", "--pattern", "<track>_<artist>_<title>", b, c}), "0 ");
    EXPECT_EQ(Frames({b, c}), "Unfit.mp3: TPE1=Kept\n07_Other_Song.MP3: TIT2=Song TPE1=Other TRCK=07");
    EXPECT_EQ(Outcome({"generate", "--pattern", "<x>_<artist>_<title>", c}), "1 Unrecognized field: x\n");
    EXPECT_EQ(Run({"config", "get", "GenNormals"}).out, "<track>_<artist>_<title>\n<x>_<artist>_<title>\n");
    EXPECT_EQ(Run({"config", "get", "RegExps"}).out, expression + "\n");
}

TEST_F(CliEditCommands, RenameNeverReplacesAFile) {
    const std::string a = Mp3("a.mp3", {"TPE1=AC/DC", "TRCK=7", "TIT2=Intro"});
    const std::string b = Mp3("b.mp3", {"TPE1=AC/DC", "TRCK=7", "TIT2=Intro"});
    const std::string c = Mp3("c.mp3", {"TRCK=07/12", "TIT2=Outro"}), d = Mp3("d.mp3", {"TPE1=Taken", "TRCK=1", "TIT2=x"});
    WriteFileBytes(dir_ / "Taken - 01 - x.mp3", {'k'});
    EXPECT_EQ(Run({"rename", "--expr", "<track>/<title>", c, "--dry-run"}).out, c + ": \"c.mp3\" -> \"07 12 Outro.mp3\"\n");
    // Named b first: b gets the name, a is refused.
    EXPECT_EQ(Outcome({"rename", "--expr", "<artist> - <track> - <title>", b, a, c, d}),
              "1 Couldn't rename \"a.mp3\" to \"AC DC - 07 - Intro.mp3\".\n"
              "Couldn't rename \"d.mp3\" to \"Taken - 01 - x.mp3\".\n");
    EXPECT_EQ(ReadFileBytes(dir_ / "Taken - 01 - x.mp3"), std::vector<uint8_t>{'k'});
    EXPECT_EQ(MutagenView(dir_ / "AC DC - 07 - Intro.mp3"), "v2=4 TIT2=Intro TPE1=AC/DC TRCK=7 v1=none");
    Tag(d, 4, {"TIT2=D"});
    ASSERT_EQ(Run({"rename", "--expr", "<title>", d}).status, 0);  // a new letter case is a rename like any
    EXPECT_EQ(Files(), " - 07 12 - Outro.mp3|AC DC - 07 - Intro.mp3|D.mp3|Taken - 01 - x.mp3|a.mp3");
    EXPECT_EQ(Run({"config", "get", "Renames"}).out, "<artist> - <track> - <title>\n<title>\n");
}

}  // namespace
}  // namespace quorvane::test
