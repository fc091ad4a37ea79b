// Ctrl+C during a save: the file being written is finished, the rest is left as it was,
// and nothing half-written or temporary stays behind.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "cli/cli_test_support.h"

namespace quorvane::test {
namespace {

// The bytes after the ID3v2 tag: the audio, which no save may change.
std::vector<uint8_t> AudioOf(const fs::path& path) {
    const std::vector<uint8_t> b = ReadFileBytes(path);
    const size_t start = b.size() >= 10 && b[0] == 'I' && b[1] == 'D' && b[2] == '3'
                             ? 10 + ((b[6] & 0x7F) << 21 | (b[7] & 0x7F) << 14 | (b[8] & 0x7F) << 7 | (b[9] & 0x7F))
                             : 0;
    return {b.begin() + static_cast<long>(start), b.end()};
}

TEST(CliInterrupt, CtrlCDuringASaveFinishesTheCurrentFileAndStops) {
    TempDir dir;
    const fs::path music = dir / "music";
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
              (dir / "settings.ini").c_str(), static_cast<char*>(nullptr));
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
