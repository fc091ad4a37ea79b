// The one file walk of every command: paths in the order given, directories scanned
// sorted (files, then subdirectories), each failure reported once, info on real files.
#include <cstring>

#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

std::string Row(const fs::path& path, unsigned kbit, bool vbr, uintmax_t bytes) {
    return path.string() + "\t" + std::to_string(kbit) + (vbr ? "\t1\t" : "\t0\t") +
           std::to_string(bytes * 8 / (kbit * 1000)) + "\n";
}

class CliFileWalk : public ::testing::Test {
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
    TempDir dir_;
    fs::path music_ = dir_ / "music", settings_ = dir_ / "s.ini";
};

TEST_F(CliFileWalk, InfoListsRealFilesInTheOrderGivenAndSorted) {
    const uintmax_t n = fs::file_size(music_ / "b.mp3");
    // lame's Xing header: frames and bytes give the average bitrate.
    const auto v = ReadFileBytes(music_ / "sub" / "vbr.MP3");
    ASSERT_EQ(std::string(v.begin() + 36, v.begin() + 40), "Xing");
    const auto be32 = [&v](size_t at) { return double(v[at] << 24 | v[at + 1] << 16 | v[at + 2] << 8 | v[at + 3]); };
    const auto kbit = static_cast<unsigned>(44100 * (be32(48) / be32(44)) / 144000);

    const CommandResult r = Cli(settings_, {"info", (music_ / "sub" / "vbr.MP3").string(), music_.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Path\tBitrate\tVBR\tDuration\n" + Row(music_ / "sub" / "vbr.MP3", kbit, true, v.size()) +
                         Row(music_ / "B.mp3", 128, false, n) + Row(music_ / "a.mp3", 128, false, n) +
                         Row(music_ / "b.mp3", 128, false, n) + Row(music_ / "aa" / "e.mp3", 128, false, n) +
                         Row(music_ / "sub" / "deeper" / "c.mp3", 128, false, n));
}

TEST_F(CliFileWalk, AnUnopenableFileIsReportedOnceAndGetsNoRow) {
    fs::create_symlink(dir_ / "gone.mp3", music_ / "aa" / "dangling.mp3");
    const std::string error = "Error when opening file \"" + (music_ / "aa" / "dangling.mp3").string() + "\":\n" +
                              std::strerror(ENOENT) + "\n";
    const CommandResult list = Cli(settings_, {"list", (music_ / "aa").string()});
    EXPECT_EQ(list.status, 1);
    EXPECT_EQ(list.err, error);
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 2) << list.out;  // the header and e.mp3
    const CommandResult set = Cli(settings_, {"set", "--title", "New", (music_ / "aa").string()});
    EXPECT_EQ(set.status, 1);
    EXPECT_EQ(set.err, error);  // not once more by the save
    EXPECT_EQ(MutagenView(music_ / "aa" / "e.mp3"), "v2=4 TIT2=New v1=none");
}

TEST_F(CliFileWalk, PathsWithoutMp3FilesAreNamed) {
    const std::string empty = (dir_ / "empty").string(), notes = (dir_ / "notes.txt").string();
    fs::create_directories(empty);
    WriteFileBytes(notes, {'x'});
    const CommandResult some = Cli(settings_, {"list", empty, (music_ / "aa").string()});
    EXPECT_EQ(some.status, 0);
    EXPECT_EQ(some.err, "No MP3 files in " + empty + "\n");
    const CommandResult none = Cli(settings_, {"info", "--json", empty});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "[]\n");
    const CommandResult text = Cli(settings_, {"set", "--title", "x", notes});
    EXPECT_EQ(text.status, 1);
    EXPECT_EQ(text.err, "\"" + notes + "\" is neither a directory nor an .mp3 file\n");
}

TEST_F(CliFileWalk, ProgressOnlyOnATerminalAndClearedBeforeAMessage) {
    fs::create_symlink(dir_ / "gone.mp3", music_ / "c.mp3");  // fails after B.mp3 .. b.mp3
    EXPECT_EQ(Cli(settings_, {"list", music_.string()}).err.find('\r'), std::string::npos);
    // `script` gives the command a terminal; standard output goes to a file.
    const fs::path out = dir_ / "out.tsv";
    const CommandResult r = RunCommand({"script", "-qec",
                                        "'" + CliPath() + "' list '" + music_.string() + "' --settings '" +
                                            settings_.string() + "' > '" + out.string() + "'",
                                        "/dev/null"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\r\033[K1 files, " + music_.string()), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\r\033[KError when opening file"), std::string::npos) << r.out;
    EXPECT_EQ(Py("print(open(sys.argv[1], 'rb').read().count(b'\\n'))", "", {out.string()}), "7");  // no progress
}

}  // namespace
}  // namespace quorvane::test
