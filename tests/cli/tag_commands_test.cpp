// list, show, set, remove-v1/-v2 and config on lame files tagged by mutagen, checked by
// mutagen, hashlib and json.
#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

class CliTagCommands : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(album_ / "cd2");
        MakeMp3(album_ / "01.mp3", {"-b", "128", "-t"}, 3.0);
        Tag(album_ / "01.mp3", 3,
            {"TIT2=First", "TPE1=Band", "TALB=Record", "TRCK=1", "TCON=(17)", "TYER=2001",
             "COMM=eng|note|hello", "APIC=5000"},
            true);
        MakeMp3(album_ / "cd2" / "02.MP3", {"-V", "2"}, 3.0);
        Tag(album_ / "cd2" / "02.MP3", 4, {"TIT2=Second", "TCON=Jazz", "TPE1=Solo|Guest"});
    }
    CommandResult Run(const std::vector<std::string>& args) { return Cli(dir_ / "s.ini", args); }
    TempDir dir_;
    fs::path album_ = dir_ / "album";
};

TEST_F(CliTagCommands, ListAsJsonAndAsTable) {
    const CommandResult r = Run({"list", "--json", album_.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Py("for row in json.load(sys.stdin): print('|'.join(str(row[k]) for k in ['filename', 'track', "
                 "'artist', 'album', 'title', 'year', 'genre', 'vbr']))",
                 r.out),
              "01.mp3|1|Band|Record|First|2001|Rock|False\n02.MP3||Solo||Second||Jazz|True");

    EXPECT_EQ(Run({"list", album_.string(), "--no-recurse"}).out, "Filename\tTrack\tArtist\tAlbum\tTitle\tYear\tBitrate\tDirectory\tGenre\tDuration\n"
                         "01.mp3\t1\tBand\tRecord\tFirst\t2001\t128\t" + album_.string() + "\tRock\t00:0" +
                             std::to_string(fs::file_size(album_ / "01.mp3") * 8 / 128000) + "\n");
    EXPECT_NE(Run({"list", (album_ / "cd2").string()}).out.find(" (VBR)\t"), std::string::npos);
}

TEST_F(CliTagCommands, ShowJsonHoldsEveryFieldUnderItsLayoutName) {
    const fs::path file = album_ / "01.mp3";
    const CommandResult r = Run({"show", "--json", album_.string()});
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

TEST_F(CliTagCommands, SetWritesEveryFileAndDryRunWritesNothing) {
    const auto before = ReadFileBytes(album_ / "01.mp3");
    const CommandResult dry = Run({"set", "--dry-run", "--title", "New", album_.string()});
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(ReadFileBytes(album_ / "01.mp3"), before);
    EXPECT_EQ(dry.out, (album_ / "01.mp3").string() + ": write ID3v2 TIT2=\"New\"\n" +
                           (album_ / "cd2" / "02.MP3").string() + ": write ID3v2 TIT2=\"New\"\n");

    const CommandResult r = Run({"set", "--title", "New", "--artist", "Ünïcode", "--v1-genre", "Jazz",
                                 "--v1-track", "255", album_.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(MutagenView(album_ / "01.mp3"),
              "v2=4 APIC:cover=5000 COMM:note:eng=hello TALB=Record TCON=Rock TDRC=2001 TIT2=New TPE1=Ünïcode "
              "TRCK=1 v1=First");
    EXPECT_EQ(MutagenView(album_ / "cd2" / "02.MP3"), "v2=4 TCON=Jazz TIT2=New TPE1=Ünïcode v1=");  // one value
    EXPECT_EQ(Py("d = open(sys.argv[1], 'rb').read()[-128:]\nprint(d[:3].decode(), d[126], d[127])", "",
                 {(album_ / "01.mp3").string()}),
              "TAG 255 8");  // track 255, genre 8 (Jazz)
}

// Bytes of a tag that no frame holds are shown and kept by a save; a text the code page
// cannot hold is saved in UTF-16, and what ID3v1 loses is said.
TEST_F(CliTagCommands, UnreadBytesAreShownAndKeptAndTextsKeepTheirCharacters) {
    const fs::path file = album_ / "01.mp3";
    std::vector<uint8_t> bytes = ReadFileBytes(file);
    const size_t tagEnd = 10 + ((bytes[6] * 128u + bytes[7]) * 128u + bytes[8]) * 128u + bytes[9];
    std::copy_n("GARBAGE!", 8, bytes.begin() + long(tagEnd) - 20);  // in the padding mutagen left
    WriteFileBytes(file, bytes);
    for (int round = 0; round < 2; ++round) {
        EXPECT_NE(Run({"show", file.string()}).out.find("\n  unread: 8 bytes, kept behind the padding\n"),
                  std::string::npos);
        EXPECT_EQ(Py("print([r['unreadBytes'] for r in json.load(sys.stdin)])", Run({"show", "--json", album_.string()}).out),
                  "[8, 0]");
        if (round == 1) break;
        const CommandResult r = Run({"set", "--title", "Café ☃", "--v1-title", "Café ☃", file.string()});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "quorvane-cli set: ID3v1 title: characters CP1252 cannot hold are saved as \"?\"\n");
    }
    EXPECT_EQ(Py("from mutagen.id3 import ID3\nt = ID3(sys.argv[1])['TIT2']\nprint(int(t.encoding), t.text[0])", "",
                 {file.string()}),
              "1 Café ☃");
    EXPECT_TRUE(MutagenView(file).ends_with(" v1=Café ?")) << MutagenView(file);
}

TEST_F(CliTagCommands, RemoveCommands) {
    const fs::path file = album_ / "01.mp3";
    EXPECT_EQ(Run({"remove-v2", "--dry-run", file.string()}).out, file.string() + ": remove ID3v2\n");
    ASSERT_EQ(Run({"remove-v1", file.string()}).status, 0);
    EXPECT_TRUE(MutagenView(file).starts_with("v2=3 ")) << MutagenView(file);
    EXPECT_TRUE(MutagenView(file).ends_with(" v1=none"));
    ASSERT_EQ(Run({"remove-v2", album_.string()}).status, 0);
    EXPECT_EQ(MutagenView(file), "v2=none v1=none");
    EXPECT_EQ(MutagenView(album_ / "cd2" / "02.MP3"), "v2=none v1=none");
}

TEST_F(CliTagCommands, Config) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> steps = {
        {{"get", "Recurse"}, "1\n"},         {{"set", "Recurse", "0"}, ""},
        {{"set", "XML/Structure1", "3"}, ""}, {{"set", "Renames", "<artist> - <title>", "<track>"}, ""},
        {{"get", "Renames"}, "<artist> - <title>\n<track>\n"},
        {{"set", "--dry-run", "Encoding", "2"}, "would set Encoding\t2\n"}, {{"get", "Encoding"}, "0\n"}};
    for (auto [args, out] : steps) {
        args.insert(args.begin(), "config");
        const CommandResult r = Run(args);
        EXPECT_EQ(r.status, 0) << args[2] << r.err;
        EXPECT_EQ(r.out, out) << args[2];
    }
    const std::string list = Run({"config", "list"}).out;
    for (const char* line : {"\nRecurse\t0\n", "\nXML/Structure1\t3\n", "\nUse2.4\t1\n"}) {
        EXPECT_NE(("\n" + list).find(line), std::string::npos) << list;
    }
}

}  // namespace
}  // namespace quorvane::test
