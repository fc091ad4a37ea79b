// copy-v1, capitalize, underscores, number and comment on lame files tagged by mutagen,
// checked by mutagen and `show --json`; --dry-run prints old and new values only.
#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

class CliEditCommands : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "m");
        MakeMp3(a_, {"-b", "64"}, 1.0);
        fs::copy_file(a_, b_);
        fs::copy_file(a_, c_);
    }
    CommandResult Run(const std::vector<std::string>& args) { return Cli(dir_ / "s.ini", args); }
    // The frames `show --json` lists: "ID=text", "COMM:language:description=text".
    std::string Shown(const fs::path& file) {
        return Py("print(' '.join(f['id'] + (':%s:%s' % (f['language'], f['description']) if f['id'] == 'COMM' else '')"
                  " + '=' + f['text'] for f in json.load(sys.stdin)[0]['frames']))",
                  Run({"show", "--json", file.string()}).out);
    }
    TempDir dir_;
    fs::path a_ = dir_ / "m" / "a.mp3", b_ = dir_ / "m" / "b.mp3", c_ = dir_ / "m" / "c.mp3";
    std::string a = a_.string(), b = b_.string(), c = c_.string();
};

TEST_F(CliEditCommands, CapitalizeUnderscoresAndNumber) {
    Tag(a_, 3, {"TIT2=the rolling stones", "TPE1=hip-hop_mix", "TALB=Some_Title__X", "TPE2=band_x", "TRCK=09/12"});
    Tag(b_, 4, {"TIT2=Already Done"});
    const auto before = ReadFileBytes(a_), untouched = ReadFileBytes(b_);
    const CommandResult dry = Run({"capitalize", "--dry-run", a, b});
    EXPECT_EQ(dry.out, a + ": TIT2 \"the rolling stones\" -> \"The Rolling Stones\"\n" + a +
                           ": TPE1 \"hip-hop_mix\" -> \"Hip-Hop_Mix\"\n");
    EXPECT_EQ(ReadFileBytes(a_), before);

    ASSERT_EQ(Run({"capitalize", a, b}).status, 0);
    ASSERT_EQ(Run({"underscores", a, b}).status, 0);
    EXPECT_EQ(MutagenView(a_), "v2=4 TALB=Some Title  X TIT2=The Rolling Stones TPE1=Hip-Hop Mix TPE2=band_x "
                               "TRCK=09/12 v1=none");
    EXPECT_EQ(ReadFileBytes(b_), untouched);  // nothing to change, nothing written

    EXPECT_EQ(Run({"number", "--dry-run", c, a}).out, c + ": TRCK none -> \"1\"\n" + a + ": TRCK \"09/12\" -> \"2\"\n");
    ASSERT_EQ(Run({"number", c, a, b}).status, 0);
    EXPECT_EQ(Shown(c_) + " " + Shown(b_), "TRCK=1 TIT2=Already Done TRCK=3");
    EXPECT_NE(Shown(a_).find(" TRCK=2"), std::string::npos);
}

TEST_F(CliEditCommands, CopyFromV1PassesOverFilesWithoutOne) {
    Tag(a_, 3, {"TIT2=Old", "TRCK=3"});
    Tag(b_, 4, {"TIT2=Keep"});
    Py("f = open(sys.argv[1], 'ab')\n"
       "f.write(b'TAG' + b'  Title '.ljust(30, b'\\0') + b'Artist'.ljust(60, b'\\0') + b'1999' + bytes(29) + b'\\x07\\x11')",
       "", {a});
    const auto withoutV1 = ReadFileBytes(b_);
    const CommandResult dry = Run({"copy-v1", "--dry-run", a});
    EXPECT_EQ(dry.out, a + ": TALB none -> \"\"\n" + a + ": TCON none -> \"(17)\"\n" + a + ": TDRC none -> \"1999\"\n" +
                           a + ": TIT2 \"Old\" -> \"Title\"\n" + a + ": TPE1 none -> \"Artist\"\n" + a +
                           ": TRCK \"3\" -> \"7\"\n");
    const CommandResult r = Run({"copy-v1", a, b});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, b + ": no ID3v1 tag, left as it is\n");
    EXPECT_EQ(ReadFileBytes(b_), withoutV1);
    EXPECT_EQ(Py("from mutagen.id3 import ID3\nt = ID3(sys.argv[1])\nprint(t['TCON'].genres, t['TIT2'], t['TRCK'])",
                 "", {a}),
              "['Rock'] Title 7");
}

TEST_F(CliEditCommands, CommentsAddListDelete) {
    for (const fs::path& file : {a_, b_}) Tag(file, 4, {"COMM=eng||english", "COMM=deu||german"});
    Tag(c_, 3, {"COMM=eng|x|only c"});
    // mutagen writes the German comment first.
    EXPECT_EQ(Run({"comment", "list", a, b}).out,
              "Short Description\tLanguage\tCode\tText\n\tGerman\tdeu\tgerman\n\tEnglish\teng\tenglish\n");
    EXPECT_EQ(Run({"comment", "list", "--json", c, a}).out, "[]\n");
    CommandResult r = Run({"comment", "add", "--language", "de", "--text", "t", a});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown language 'de'"), std::string::npos) << r.err;

    EXPECT_EQ(Run({"comment", "add", "--language", "French", "--description", "note", "--text", "a", "--dry-run", a}).out,
              a + ": COMM \"fre\" \"note\" none -> \"a\"\n");
    ASSERT_EQ(Run({"comment", "add", "--language", "fra", "--description", "note", "--text", "salut", a, c}).status, 0);
    EXPECT_EQ(Shown(c_), "COMM:eng:x=only c COMM:fra:note=salut");
    ASSERT_EQ(Run({"comment", "add", "--language", "German", "--text", "neu", b}).status, 0);
    EXPECT_EQ(Shown(b_), "COMM:ger:=neu COMM:eng:=english");  // the German one, though not first

    const auto before = ReadFileBytes(a_);
    r = Run({"comment", "delete", "--description", "", a});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("it holds 2 comments with the short description \"\""), std::string::npos) << r.err;
    EXPECT_EQ(ReadFileBytes(a_), before);
    ASSERT_EQ(Run({"comment", "delete", "--description", "", "--language", "German", a, b}).status, 0);
    EXPECT_EQ(MutagenView(a_), "v2=4 COMM::eng=english COMM:note:fra=salut v1=none");
    EXPECT_EQ(MutagenView(b_), "v2=4 COMM::eng=english v1=none");

    EXPECT_EQ(Run({"comment", "delete-all", "--dry-run", c}).out,
              c + ": COMM \"eng\" \"x\" \"only c\" -> none\n" + c + ": COMM \"fra\" \"note\" \"salut\" -> none\n");
    ASSERT_EQ(Run({"comment", "delete-all", a, c}).status, 0);
    EXPECT_EQ(MutagenView(a_) + " " + MutagenView(c_), "v2=4 v1=none v2=4 v1=none");
}

}  // namespace
}  // namespace quorvane::test
