// quorvane-cli end to end: lame-made files tagged by mutagen, checked by mutagen.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../mp3/record_test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using test::CommandResult;

class CliBatch : public ::testing::Test {
protected:
    CommandResult Cli(std::vector<std::string> args) {
        std::vector<std::string> argv = {test::CliPath(), args.at(0), "--settings", settings_.string()};
        argv.insert(argv.end(), args.begin() + 1, args.end());
        return test::RunCommand(argv);
    }
    // Runs a Python check over JSON on standard input; prints what the check prints.
    std::string Py(const std::string& code, const std::string& json, const std::vector<std::string>& args = {}) {
        std::vector<std::string> argv = {test::PythonPath(), "-c", "import json,sys,hashlib\n" + code};
        argv.insert(argv.end(), args.begin(), args.end());
        const CommandResult r = test::RunCommand(argv, json);
        EXPECT_EQ(r.status, 0) << r.err;
        std::string out = r.out;
        while (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    }
    void MakeTree() {
        fs::create_directories(dir_ / "album" / "cd2");
        test::MakeMp3(dir_ / "album" / "01.mp3", {"-b", "128", "-t"}, 3.0);
        test::TagWithMutagen(dir_ / "album" / "01.mp3", 3,
                             {"TIT2=First", "TPE1=Band", "TALB=Record", "TRCK=1", "TCON=(17)", "TYER=2001",
                              "COMM=eng|note|hello", "APIC=5000"},
                             true);
        test::MakeMp3(dir_ / "album" / "cd2" / "02.MP3", {"-V", "2"}, 3.0);
        test::TagWithMutagen(dir_ / "album" / "cd2" / "02.MP3", 4, {"TIT2=Second", "TCON=Jazz"}, false);
    }

    test::TempDir dir_;
    fs::path settings_ = dir_ / "settings.ini";
};

TEST_F(CliBatch, ListAsJsonAndAsTable) {
    MakeTree();
    const CommandResult r = Cli({"list", "--json", (dir_ / "album").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");  // no progress when standard error is not a terminal
    const std::string view = Py(R"(
rows = json.load(sys.stdin)
keys = ["path","directory","filename","track","artist","album","title","year","genre","bitrate","duration","vbr"]
for row in sorted(rows, key=lambda r: r["filename"]):
    assert sorted(row) == sorted(keys), row
    assert all(isinstance(row[k], str) for k in keys[:9])
    assert isinstance(row["bitrate"], int) and isinstance(row["duration"], int) and isinstance(row["vbr"], bool)
    print("|".join(str(row[k]) for k in ["filename","track","artist","album","title","year","genre","bitrate","vbr"]))
)",
                                r.out);
    EXPECT_EQ(view.substr(0, view.find('\n')), "01.mp3|1|Band|Record|First|2001|Rock|128|False");
    EXPECT_TRUE(view.find("\n02.MP3||||Second||Jazz|") != std::string::npos) << view;
    EXPECT_TRUE(view.ends_with("|True")) << view;

    const CommandResult table = Cli({"list", "--no-recurse", (dir_ / "album").string()});
    ASSERT_EQ(table.status, 0) << table.err;
    const std::string header = "Filename\tTrack\tArtist\tAlbum\tTitle\tYear\tBitrate\tDirectory\tGenre\tDuration\n";
    ASSERT_TRUE(table.out.starts_with(header)) << table.out;
    const std::string row = table.out.substr(header.size());
    EXPECT_EQ(row, "01.mp3\t1\tBand\tRecord\tFirst\t2001\t128\t" + (dir_ / "album").string() + "\tRock\t00:0" +
                       std::to_string(fs::file_size(dir_ / "album" / "01.mp3") * 8 / 128000) + "\n");
    // A VBR row reads "<n> (VBR)".
    const CommandResult vbr = Cli({"list", (dir_ / "album" / "cd2" / "02.MP3").string()});
    EXPECT_NE(vbr.out.find(" (VBR)\t"), std::string::npos) << vbr.out;
}

TEST_F(CliBatch, ShowJsonHoldsTheWholeRecord) {
    MakeTree();
    const fs::path file = dir_ / "album" / "01.mp3";
    const CommandResult r = Cli({"show", "--json", file.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string view = Py(R"(
from mutagen.id3 import ID3
rec = json.load(sys.stdin)[0]
tags = ID3(sys.argv[1])
assert rec["path"] == sys.argv[1]
assert rec["audioStart"] == tags.size, (rec["audioStart"], tags.size)
assert rec["hasV1"] is True and rec["vbr"] is False and rec["bitrate"] == 128
print(rec["v1"]["title"], rec["v1"]["artist"], rec["v1"]["genre"], rec["v1"]["track"])
pic = tags.getall("APIC")[0]
for f in rec["frames"]:
    if f["id"] == "APIC":
        assert f["sha256"] == hashlib.sha256(pic.data).hexdigest()
        assert f["size"] == len(pic.data) and f["mime"] == "image/jpeg" and f["type"] == 3 and f["description"] == "cover"
        print("APIC ok")
    elif f["id"] == "COMM":
        print("COMM", f["language"], f["description"], f["text"])
    else:
        print(f["id"], f.get("text"))
)",
                                r.out, {file.string()});
    EXPECT_NE(view.find("First Band Rock 1"), std::string::npos) << view;
    EXPECT_NE(view.find("APIC ok"), std::string::npos) << view;
    EXPECT_NE(view.find("COMM eng note hello"), std::string::npos) << view;
    EXPECT_NE(view.find("TIT2 First"), std::string::npos) << view;
    EXPECT_NE(view.find("TDRC 2001"), std::string::npos) << view;  // TYER of the v2.3 file
}

TEST_F(CliBatch, SetWritesEveryFileAndDryRunWritesNothing) {
    MakeTree();
    const fs::path album = dir_ / "album";
    const auto before = test::ReadFileBytes(album / "01.mp3");
    const CommandResult dry = Cli({"set", "--dry-run", "--title", "New", album.string()});
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(test::ReadFileBytes(album / "01.mp3"), before);
    EXPECT_NE(dry.out.find("01.mp3: write ID3v2 TIT2=\"New\""), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("02.MP3: write ID3v2 TIT2=\"New\""), std::string::npos) << dry.out;

    const CommandResult r = Cli({"set", "--title", "New", "--artist", "Ünïcode", "--v1-genre", "Jazz",
                                 "--v1-track", "9", album.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(test::MutagenView(album / "01.mp3"),
              "v2=4 APIC:cover=5000 COMM:note:eng=hello TALB=Record TCON=Rock TDRC=2001 TIT2=New TPE1=Ünïcode "
              "TRCK=1 v1=First");
    // The ID3v1 options give the file without one a new ID3v1 tag.
    EXPECT_EQ(test::MutagenView(album / "cd2" / "02.MP3"), "v2=4 TCON=Jazz TIT2=New TPE1=Ünïcode v1=");
    const std::string v1 = Py(R"(
data = open(sys.argv[1], 'rb').read()[-128:]
print(data[:3].decode(), data[126], data[127])
)",
                              "", {(album / "01.mp3").string()});
    EXPECT_EQ(v1, "TAG 9 8");  // track 9, genre 8 (Jazz)
}

TEST_F(CliBatch, RemoveCommands) {
    MakeTree();
    const fs::path file = dir_ / "album" / "01.mp3";
    const auto before = test::ReadFileBytes(file);
    const CommandResult dry = Cli({"remove-v2", "--dry-run", file.string()});
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(dry.out, file.string() + ": remove ID3v2\n");
    EXPECT_EQ(test::ReadFileBytes(file), before);
    ASSERT_EQ(Cli({"remove-v1", file.string()}).status, 0);
    EXPECT_TRUE(test::MutagenView(file).ends_with(" v1=none"));
    EXPECT_TRUE(test::MutagenView(file).starts_with("v2=3 "));
    const CommandResult r = Cli({"remove-v2", (dir_ / "album").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::MutagenView(file), "v2=none v1=none");
    EXPECT_EQ(test::MutagenView(dir_ / "album" / "cd2" / "02.MP3"), "v2=none v1=none");
}

TEST_F(CliBatch, ExitStatusesAndMessages) {
    MakeTree();
    EXPECT_EQ(Cli({"list", "--bogus"}).status, 2);
    EXPECT_EQ(Cli({"show", "--json"}).status, 2);  // no paths
    EXPECT_EQ(Cli({"set", (dir_ / "album").string()}).status, 2);  // nothing to set
    EXPECT_EQ(Cli({"set", "--v1-genre", "NoSuchGenre", (dir_ / "album").string()}).status, 2);
    EXPECT_EQ(Cli({"set", "--v1-track", "300", (dir_ / "album").string()}).status, 2);
    EXPECT_EQ(test::RunCommand({test::CliPath(), "frobnicate"}).status, 2);

    const CommandResult missing = Cli({"list", (dir_ / "gone.mp3").string(), (dir_ / "album").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Error when opening file \"" + (dir_ / "gone.mp3").string() + "\":"), std::string::npos)
        << missing.err;
    EXPECT_EQ(std::count(missing.out.begin(), missing.out.end(), '\n'), 4);  // header, the failed file, two more

    std::ofstream(dir_ / "notes.txt") << "x";
    EXPECT_EQ(Cli({"list", (dir_ / "notes.txt").string()}).status, 1);
}

TEST_F(CliBatch, ProgressOnlyOnATerminal) {
    MakeTree();
    // `script` gives the command a terminal; standard output goes to a file.
    const fs::path out = dir_ / "out.tsv";
    const std::string command = "'" + test::CliPath() + "' list --settings '" + settings_.string() + "' '" +
                                (dir_ / "album").string() + "' > '" + out.string() + "'";
    const CommandResult r = test::RunCommand({"script", "-qec", command, "/dev/null"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1 files, " + (dir_ / "album").string()), std::string::npos) << r.out;
    std::ifstream in(out);
    const std::string table((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 3);  // no progress in the output
}

TEST_F(CliBatch, GlobalOptionsBeforeTheCommand) {
    MakeTree();
    const CommandResult r = test::RunCommand({test::CliPath(), "--settings", settings_.string(), "--no-recurse",
                                              "list", "--json", (dir_ / "album").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Py("print(len(json.load(sys.stdin)))", r.out), "1");
}

TEST_F(CliBatch, Config) {
    EXPECT_EQ(Cli({"config", "get", "Recurse"}).out, "1\n");
    EXPECT_EQ(Cli({"config", "set", "Recurse", "0"}).status, 0);
    EXPECT_EQ(Cli({"config", "get", "Recurse"}).out, "0\n");
    EXPECT_EQ(Cli({"config", "set", "XML/Structure1", "3"}).status, 0);
    EXPECT_EQ(Cli({"config", "get", "XML/Structure1"}).out, "3\n");
    EXPECT_EQ(Cli({"config", "set", "Renames", "<artist> - <title>", "<track>"}).status, 0);
    EXPECT_EQ(Cli({"config", "get", "Renames"}).out, "<artist> - <title>\n<track>\n");
    EXPECT_EQ(Cli({"config", "set", "--dry-run", "Encoding", "2"}).status, 0);
    EXPECT_EQ(Cli({"config", "get", "Encoding"}).out, "0\n");
    EXPECT_EQ(Cli({"config", "set", "Recurse", "maybe"}).status, 2);
    EXPECT_EQ(Cli({"config", "get", "NoSuchValue"}).status, 2);
    EXPECT_EQ(Cli({"config", "set"}).status, 2);
    const std::string list = Cli({"config", "list"}).out;
    EXPECT_NE(list.find("Recurse\t0\n"), std::string::npos) << list;
    EXPECT_NE(list.find("XML/Structure1\t3\n"), std::string::npos) << list;
    EXPECT_NE(list.find("Use2.4\t1\n"), std::string::npos) << list;

    // With "Recurse" off the scan stays in the directory.
    MakeTree();
    const CommandResult r = Cli({"list", "--json", (dir_ / "album").string()});
    EXPECT_EQ(Py("print(len(json.load(sys.stdin)))", r.out), "1");
}

}  // namespace
}  // namespace quorvane
