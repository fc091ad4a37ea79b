// copy-v1, capitalize, underscores, number and comment on lame files tagged by mutagen,
// checked by mutagen and `show --json`; --dry-run prints old and new values only.
#include <algorithm>

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
    // The frames `show --json` lists for the file: "ID=text" and "COMM:lang:desc=text".
    std::string Shown(const fs::path& file) {
        const CommandResult r = Run({"show", "--json", file.string()});
        EXPECT_EQ(r.status, 0) << r.err;
        return Py(R"(out = []
for f in json.load(sys.stdin)[0]['frames']:
    out.append(f['id'] + (':%s:%s' % (f['language'], f['description']) if f['id'] == 'COMM' else '') + '=' + f['text'])
print(' '.join(out)))",
                  r.out);
    }
    // Appends an ID3v1 record: title, artist, track and genre.
    void AppendV1(const fs::path& file, const std::string& title, const std::string& artist, int track, int genre) {
        Py(R"(f = open(sys.argv[1], 'ab')
f.write(b'TAG' + sys.argv[2].encode().ljust(30, b'\0') + sys.argv[3].encode().ljust(30, b'\0') + bytes(30) +
        b'1999' + bytes(29) + bytes([int(sys.argv[4]), int(sys.argv[5])])))",
           "", {file.string(), title, artist, std::to_string(track), std::to_string(genre)});
    }
    TempDir dir_;
    fs::path a_ = dir_ / "m" / "a.mp3", b_ = dir_ / "m" / "b.mp3", c_ = dir_ / "m" / "c.mp3";
};

TEST_F(CliEditCommands, CapitalizeAndUnderscores) {
    Tag(a_, 3, {"TIT2=the rolling stones", "TPE1=hip-hop_mix", "TALB=Some_Title__X", "TCON=rock", "TPE2=band_x"});
    Tag(b_, 4, {"TIT2=Already Done"});
    const auto before = ReadFileBytes(a_);
    const auto untouched = ReadFileBytes(b_);

    const CommandResult dry = Run({"capitalize", "--dry-run", a_.string(), b_.string()});
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(dry.out, a_.string() + ": TIT2 \"the rolling stones\" -> \"The Rolling Stones\"\n" + a_.string() +
                           ": TPE1 \"hip-hop_mix\" -> \"Hip-Hop_Mix\"\n");
    EXPECT_EQ(ReadFileBytes(a_), before);

    ASSERT_EQ(Run({"capitalize", a_.string(), b_.string()}).status, 0);
    EXPECT_EQ(MutagenView(a_),
              "v2=4 TALB=Some_Title__X TCON=rock TIT2=The Rolling Stones TPE1=Hip-Hop_Mix TPE2=band_x v1=none");
    EXPECT_EQ(ReadFileBytes(b_), untouched);  // nothing to change, nothing written

    const CommandResult r = Run({"underscores", a_.string(), b_.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(MutagenView(a_),
              "v2=4 TALB=Some Title  X TCON=rock TIT2=The Rolling Stones TPE1=Hip-Hop Mix TPE2=band_x v1=none");
    EXPECT_EQ(ReadFileBytes(b_), untouched);
}

TEST_F(CliEditCommands, NumberInTheOrderGiven) {
    Tag(a_, 4, {"TRCK=09/12"});
    const CommandResult dry = Run({"number", "--dry-run", c_.string(), a_.string(), b_.string()});
    EXPECT_EQ(dry.out, c_.string() + ": TRCK none -> \"1\"\n" + a_.string() + ": TRCK \"09/12\" -> \"2\"\n" +
                           b_.string() + ": TRCK none -> \"3\"\n");
    ASSERT_EQ(Run({"number", c_.string(), a_.string(), b_.string()}).status, 0);
    EXPECT_EQ(Shown(c_), "TRCK=1");
    EXPECT_EQ(Shown(a_), "TRCK=2");
    EXPECT_EQ(Shown(b_), "TRCK=3");
    // A directory gives its files in name order.
    ASSERT_EQ(Run({"number", (dir_ / "m").string()}).status, 0);
    EXPECT_EQ(MutagenView(a_), "v2=4 TRCK=1 v1=none");
    EXPECT_EQ(MutagenView(c_), "v2=4 TRCK=3 v1=none");
}

TEST_F(CliEditCommands, CopyFromV1PassesOverFilesWithoutOne) {
    Tag(a_, 3, {"TIT2=Old", "TRCK=3", "TALB=Kept?"});
    AppendV1(a_, "  Title ", "Artist", 7, 17);
    Tag(b_, 4, {"TIT2=Keep", "TPE1=Me"});
    AppendV1(c_, "Only v1", "", 0, 255);
    const auto withoutV1 = ReadFileBytes(b_);

    const CommandResult dry = Run({"copy-v1", "--dry-run", a_.string(), b_.string()});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(dry.out, a_.string() + ": TALB \"Kept?\" -> \"\"\n" + a_.string() + ": TCON none -> \"(17)\"\n" +
                           a_.string() + ": TDRC none -> \"1999\"\n" + a_.string() + ": TIT2 \"Old\" -> \"Title\"\n" +
                           a_.string() + ": TPE1 none -> \"Artist\"\n" + a_.string() + ": TRCK \"3\" -> \"7\"\n");

    const CommandResult r = Run({"copy-v1", a_.string(), b_.string(), c_.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, b_.string() + ": no ID3v1 tag, left as it is\n");
    EXPECT_EQ(Shown(a_), "TIT2=Title TRCK=7 TALB= TPE1=Artist TDRC=1999 TCON=(17)");
    EXPECT_EQ(ReadFileBytes(b_), withoutV1);
    EXPECT_EQ(Shown(c_), "TIT2=Only v1 TPE1= TALB= TDRC=1999 TCON=");  // genre 255 empties TCON, track 0 sets none
    EXPECT_EQ(Py("from mutagen.id3 import ID3\nt = ID3(sys.argv[1])\nprint(t['TCON'].genres, t['TRCK'].text)", "",
                 {a_.string()}),
              "['Rock'] ['7']");
}

TEST_F(CliEditCommands, CommentsAddListDelete) {
    for (const fs::path& file : {a_, b_}) Tag(file, 4, {"COMM=eng||english", "COMM=deu||german"});
    Tag(c_, 3, {"COMM=eng|x|only c"});
    const std::string a = a_.string(), b = b_.string(), c = c_.string();

    CommandResult r = Run({"comment", "list", a, b});
    ASSERT_EQ(r.status, 0) << r.err;
    // mutagen writes the German comment first.
    EXPECT_EQ(r.out, "Short Description\tLanguage\tCode\tText\n\tGerman\tdeu\tgerman\n\tEnglish\teng\tenglish\n");
    EXPECT_EQ(Run({"comment", "list", a, c}).out, "Short Description\tLanguage\tCode\tText\n");
    r = Run({"comment", "list", "--json", c});
    EXPECT_EQ(Py("print(json.load(sys.stdin))", r.out),
              "[{'description': 'x', 'language': 'eng', 'languageName': 'English', 'text': 'only c'}]");

    // Unknown languages are usage errors that name the value.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"add", "--language", "Klingonish", "--text", "t"},
                                                 {"add", "--language", "de", "--text", "t"},
                                                 {"delete", "--description", "", "--language", "xx"}}) {
        std::vector<std::string> full = {"comment"};
        full.insert(full.end(), args.begin(), args.end());
        full.push_back(a);
        r = Run(full);
        const std::string value = *(std::find(args.begin(), args.end(), "--language") + 1);
        EXPECT_EQ(r.status, 2) << value;
        EXPECT_NE(r.err.find("unknown language '" + value + "'"), std::string::npos) << r.err;
    }

    r = Run({"comment", "add", "--language", "French", "--description", "note", "--text", "bonjour", "--dry-run", a});
    EXPECT_EQ(r.out, a + ": COMM \"fre\" \"note\" none -> \"bonjour\"\n");
    ASSERT_EQ(Run({"comment", "add", "--language", "fra", "--description", "note", "--text", "salut", a, c}).status, 0);
    EXPECT_EQ(Shown(c), "COMM:eng:x=only c COMM:fra:note=salut");
    // The German comment is changed, not the first one of that short description.
    ASSERT_EQ(Run({"comment", "add", "--language", "German", "--text", "neu", b}).status, 0);
    EXPECT_EQ(Shown(b), "COMM:ger:=neu COMM:eng:=english");

    // Two comments with one short description: none is guessed at.
    const auto before = ReadFileBytes(a_);
    r = Run({"comment", "delete", "--description", "", a});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("it holds 2 comments with the short description \"\""), std::string::npos) << r.err;
    EXPECT_EQ(ReadFileBytes(a_), before);
    r = Run({"comment", "delete", "--description", "", "--language", "German", a, b});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(MutagenView(a_), "v2=4 COMM::eng=english COMM:note:fra=salut v1=none");
    EXPECT_EQ(MutagenView(b_), "v2=4 COMM::eng=english v1=none");

    r = Run({"comment", "delete-all", "--dry-run", a, c});
    EXPECT_EQ(r.out, a + ": COMM \"eng\" \"\" \"english\" -> none\n" + a + ": COMM \"fra\" \"note\" \"salut\" -> none\n" +
                         c + ": COMM \"eng\" \"x\" \"only c\" -> none\n" + c + ": COMM \"fra\" \"note\" \"salut\" -> none\n");
    ASSERT_EQ(Run({"comment", "delete-all", a, c}).status, 0);
    EXPECT_EQ(MutagenView(a_), "v2=4 v1=none");
    EXPECT_EQ(Run({"comment", "list", "--json", a}).out, "[]\n");
}

}  // namespace
}  // namespace quorvane::test
