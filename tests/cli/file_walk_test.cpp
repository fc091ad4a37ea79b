// The one file walk of every command: paths in the order given, directories scanned
// sorted (files, then subdirectories), each failure reported once, info on real files;
// and the save that follows: the copy a killed save left goes, Ctrl+C stops cleanly.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

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
    Tag(music / "00.mp3", 4, {"TIT2=Old"});
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
