// The commands that read and change tags and names, on lame files tagged and checked by
// mutagen: output a script can trust, --dry-run, messages, exit status, histories.
#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

class CliTagCommands : public CliTest {
protected:
    void SetUp() override {
        fs::create_directories(album_ / "cd2");
        MakeMp3(album_ / "01.mp3", {"-b", "128", "-t"}, 3.0);
        TagWithMutagen(album_ / "01.mp3", 3,
                       {"TIT2=First", "TPE1=Band", "TALB=Record", "TRCK=1", "TCON=(17)", "TYER=2001",
                        "COMM=eng|note|hello", "APIC=5000"},
                       true);
        MakeMp3(album_ / "cd2" / "02.MP3", {"-V", "2"}, 3.0);
        TagWithMutagen(album_ / "cd2" / "02.MP3", 4, {"TIT2=Second", "TCON=Jazz", "TPE1=Solo|Guest"});
    }
    fs::path album_ = dir_ / "album";
};

TEST_F(CliTagCommands, ListAndShowAsJsonAndAsText) {
    CommandResult r = Run({"list", "--json", album_.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Py("for row in json.load(sys.stdin): print('|'.join(str(row[k]) for k in ['filename', 'track', "
                 "'artist', 'album', 'title', 'year', 'genre', 'vbr']))",
                 r.out),
              "01.mp3|1|Band|Record|First|2001|Rock|False\n02.MP3||Solo||Second||Jazz|True");

    EXPECT_EQ(Run({"list", album_.string(), "--no-recurse"}).out, "Filename\tTrack\tArtist\tAlbum\tTitle\tYear\tBitrate\tDirectory\tGenre\tDuration\n"
                         "01.mp3\t1\tBand\tRecord\tFirst\t2001\t128\t" + album_.string() + "\tRock\t00:0" +
                             std::to_string(fs::file_size(album_ / "01.mp3") * 8 / 128000) + "\n");
    EXPECT_NE(Run({"list", (album_ / "cd2").string()}).out.find(" (VBR)\t"), std::string::npos);

    // show --json holds every field under its layout name.
    const fs::path file = album_ / "01.mp3";
    r = Run({"show", "--json", album_.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string view = Py(R"(from mutagen.id3 import ID3
first, second = json.load(sys.stdin)
pic = ID3(sys.argv[1]).getall("APIC")[0]
assert first["path"] == sys.argv[1] and first["hasV1"] and not first["vbr"] and first["bitrate"] == 128, first
assert second["v1"] is None and second["vbr"], second
print(first["v1"])
for f in first["frames"] + second["frames"]:
    if f["id"] == "APIC":
        assert f["data"] == {"size": len(pic.data), "sha256": hashlib.sha256(pic.data).hexdigest()}, f
    print(sorted(f.items()))
)", r.out, {file.string()});
    for (const char* line : {
             "{'title': 'First', 'artist': 'Band', 'album': 'Record', 'year': '2001', 'comment': '', 'track': 1, "
             "'genre': 'Rock'}\n",
             "[('id', 'TPE1'), ('text', 'Band')]\n",
             "[('id', 'TDRC'), ('text', '2001')]\n",  // the v2.3 file's TYER
             "[('description', 'note'), ('id', 'COMM'), ('language', 'eng'), ('text', 'hello')]\n",
             "[('data', {'size': 5000, 'sha256': '",
             "'}), ('description', 'cover'), ('id', 'APIC'), ('mime', 'image/jpeg'), ('type', 3)]\n",
             "[('id', 'TPE1'), ('text', 'Solo'), ('values', ['Solo', 'Guest'])]\n"}) {
        EXPECT_NE(view.find(line), std::string::npos) << line << "\n" << view;
    }
    EXPECT_NE(Run({"show", album_.string()}).out.find("  TPE1 text=\"Solo\" values=[\"Solo\", \"Guest\"]\n"),
              std::string::npos);
}

// What ID3v1 loses of a text is said once, the ID3v2 frame keeps every character; bytes
// of a tag that no frame holds are shown, and kept by a save.
TEST_F(CliTagCommands, SetWritesEveryFileAndKeepsUnreadBytes) {
    const fs::path file = album_ / "01.mp3";
    std::vector<uint8_t> bytes = ReadFileBytes(file);
    const size_t tagEnd = 10 + ((bytes[6] * 128u + bytes[7]) * 128u + bytes[8]) * 128u + bytes[9];
    std::copy_n("GARBAGE!", 8, bytes.begin() + long(tagEnd) - 20);  // in the padding mutagen left
    WriteFileBytes(file, bytes);
    EXPECT_NE(Run({"show", file.string()}).out.find("\n  unread: 8 bytes, kept behind the padding\n"), std::string::npos);
    EXPECT_EQ(Run({"set", "--dry-run", "--title", "New", album_.string()}).out,
              file.string() + ": write ID3v2 TIT2=\"New\"\n" + (album_ / "cd2" / "02.MP3").string() +
                  ": write ID3v2 TIT2=\"New\"\n");

    const CommandResult r = Run({"set", "--title", "Café ☃", "--artist", "Ünïcode", "--v1-title", "Café ☃",
                                 "--v1-genre", "Jazz", "--v1-track", "255", album_.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "quorvane-cli set: ID3v1 title: characters CP1252 cannot hold are saved as \"?\"\n");
    EXPECT_EQ(MutagenView(file), "v2=4 APIC:cover=5000 COMM:note:eng=hello TALB=Record TCON=Rock TDRC=2001 "
                                 "TIT2=Café ☃ TPE1=Ünïcode TRCK=1 v1=Café ?");
    EXPECT_EQ(MutagenView(album_ / "cd2" / "02.MP3"), "v2=4 TCON=Jazz TIT2=Café ☃ TPE1=Ünïcode v1=Café ?");  // one value
    EXPECT_EQ(Py("d = open(sys.argv[1], 'rb').read()[-128:]\nprint(d[:3].decode(), d[126], d[127])", "", {file.string()}),
              "TAG 255 8");  // track 255, genre 8 (Jazz)
    EXPECT_EQ(Py("print([r['unreadBytes'] for r in json.load(sys.stdin)])", Run({"show", "--json", album_.string()}).out),
              "[8, 0]");
}

// A tag whose header claims more than the file holds is named and left; the others go.
TEST_F(CliTagCommands, RemoveCommands) {
    const fs::path file = album_ / "01.mp3", overlong = album_ / "overlong.mp3";
    EXPECT_EQ(Run({"remove-v2", "--dry-run", file.string()}).out, file.string() + ": remove ID3v2\n");
    ASSERT_EQ(Run({"remove-v1", album_.string()}).status, 0);  // 02.MP3 has none: no failure
    EXPECT_TRUE(MutagenView(file).starts_with("v2=3 ")) << MutagenView(file);
    EXPECT_TRUE(MutagenView(file).ends_with(" v1=none"));
    std::vector<uint8_t> claim = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x07, 0x68};  // v2.3, 1000 bytes
    claim.resize(510, 0xAB);
    WriteFileBytes(overlong, claim);
    const CommandResult r = Run({"remove-v2", album_.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with("The ID3v2 tag at the start of \"" + overlong.string() +
                                  "\" was not removed: its header claims 1010 bytes, and only 510 follow."))
        << r.err;
    EXPECT_EQ(ReadFileBytes(overlong), claim);
    EXPECT_EQ(MutagenView(file), "v2=none v1=none");
    EXPECT_EQ(MutagenView(album_ / "cd2" / "02.MP3"), "v2=none v1=none");
}

using CliOutput = CliTest;

std::string Hex(const std::string& bytes) {
    std::string hex;
    for (const unsigned char c : bytes) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
    return hex;
}

TEST_F(CliOutput, EveryNameComesBackAsItsBytesAndEveryFieldAsValidJson) {
    const fs::path dir = dir_ / "disc \xfe";  // not UTF-8
    const std::vector<std::string> names = {"back\\slash.mp3", "caf\xc3\xa9 \xe2\x99\xaa.mp3", "ctl\x01\x1f.mp3",
                                            "lone \xff\xfe.mp3", "new\nline.mp3", "quote\"d.mp3", "tab\there.mp3"};
    Mp3("disc \xfe/" + names[0]);
    for (size_t i = 1; i < names.size(); ++i) fs::copy_file(dir / names[0], dir / names[i]);
    std::string paths, files;
    for (const std::string& name : names) paths += Hex((dir / name).string()) + "\n";
    for (const std::string& name : names) files += Hex(dir.string()) + " " + Hex(name) + "\n";
    const std::string decode = "rows = json.loads(sys.stdin.buffer.read().decode('utf-8', 'strict'))\n"
                               "for r in rows: print(' '.join(os.fsencode(r[k]).hex() for k in sys.argv[1:]))\n";
    for (const char* command : {"info", "list", "show"}) {
        const CommandResult r = Run({command, "--json", dir.string()});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Py(decode, r.out, {"path"}) + "\n", paths) << command;
        if (command == std::string("list")) {
            EXPECT_EQ(Py(decode, r.out, {"directory", "filename"}) + "\n", files);
        }
    }
    // Tab-separated rows: one a file, control bytes and backslashes escaped.
    const std::string tsv = Run({"list", dir.string()}).out;
    for (const char* cell : {"\nback\\\\slash.mp3\t", "\nctl\\x01\\x1f.mp3\t", "\nnew\\nline.mp3\t", "\ntab\\there.mp3\t"}) {
        EXPECT_NE(tsv.find(cell), std::string::npos) << cell << tsv;
    }
    EXPECT_EQ(std::count(tsv.begin(), tsv.end(), '\n'), 8);

    // Language and MIME bytes above ASCII give valid JSON.
    const std::string audio = Mp3("audio.mp3"), odd = (dir_ / "odd.mp3").string();
    // ID3v2.3: COMM with the language bytes E9 FF 80; APIC whose MIME type holds FF.
    Py(R"(import struct
def frame(fid, body): return fid + struct.pack('>I', len(body)) + b'\0\0' + body
tag = frame(b'COMM', b'\0\xe9\xff\x80d\0hi') + frame(b'APIC', b'\0image/\xff\0\3x\0\x89P') + bytes(32)
size = bytes(len(tag) >> s & 127 for s in (21, 14, 7, 0))
open(sys.argv[1], 'wb').write(b'ID3\3\0\0' + size + tag + open(sys.argv[2], 'rb').read()))",
       "", {odd, audio});
    const CommandResult r = Run({"show", "--json", odd});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Py("f = json.loads(sys.stdin.buffer.read().decode('utf-8', 'strict'))[0]['frames']\n"
                 "print(f[0]['language'].encode('latin-1').hex(), f[1]['mime'].encode('latin-1').hex())",
                 r.out),
              "e9ff80 696d6167652fff");
}

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
    TagWithMutagen(d, 4, {"TIT2=D"});
    ASSERT_EQ(Run({"rename", "--expr", "<title>", d}).status, 0);  // a new letter case is a rename like any
    EXPECT_EQ(Py("print('|'.join(sorted(n for n in os.listdir(sys.argv[1]) if n.endswith('.mp3'))))", "",
                 {dir_.Path().string()}),
              " - 07 12 - Outro.mp3|AC DC - 07 - Intro.mp3|D.mp3|Taken - 01 - x.mp3|a.mp3");
    EXPECT_EQ(Run({"config", "get", "Renames"}).out, "<artist> - <track> - <title>\n<title>\n");
}

}  // namespace
}  // namespace quorvane::test
