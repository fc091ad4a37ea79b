// A save that fails or is killed half-way leaves the original file as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "platform/file_rewrite.h"
#include "library/save_record.h"
#include "record_test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::RecordFiles;

// The edit whose save must move the audio: the tag grows by far more than its padding.
void GrowTag(Mp3FileRecord& r) { r.SetText(kFrameTALB, std::u16string(20000, u'a')); }

std::vector<fs::path> Files(const fs::path& dir) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path());
    return files;
}

TEST_F(RecordFiles, DiskFullDuringAMoveLeavesTheOriginalAndNoTemporaryFile) {
    const fs::path path = dir_ / "full.mp3";
    test::MakeMp3(path, {"-b", "128"}, 10.0);
    test::TagWithMutagen(path, 3, {"TIT2=Title"}, true);
    const auto original = ReadFileBytes(path);
    auto r = test::LoadRecord(path, prompts_);
    GrowTag(*r);
    r->V1().SetString(Id3v1Record::kArtist, u"Someone");  // the ID3v1 step comes first
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // No file may grow past the original's size: the new file cannot be completed.
        signal(SIGXFSZ, SIG_IGN);
        const rlim_t limit = original.size() + 4096;
        const rlimit rl{limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
        test::RecordingPrompts prompts;
        SaveRecord(*r, prompts);
        int code = 0;
        for (const auto& p : prompts.Prompts()) {
            if (p.text.starts_with(u"Error when saving ID3 tags to \"")) code |= 1;
            else code |= 2;
        }
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "expected exactly the saving error";
    EXPECT_EQ(Files(dir_.Path()), std::vector<fs::path>{path});  // no temporary file left
    const auto after = ReadFileBytes(path);
    // The ID3v2 tag and the audio are byte for byte the original's; only the 128-byte
    // ID3v1 record, written in place before the move was tried, may differ.
    ASSERT_EQ(after.size(), original.size());
    EXPECT_TRUE(std::equal(original.begin(), original.end() - 128, after.begin()));
}

// Fails the n-th write or the n-th step of a save with "disk full".
class FailAt : public SaveFaults {
public:
    explicit FailAt(int n) : left_(n) {}
    void BeforeWrite(uint64_t) override { Tick(); }
    void BeforeStep(SaveStep) override { Tick(); }
    bool Fired() const { return left_ < 0; }

private:
    void Tick() {
        if (left_-- == 0) throw FileException{ENOSPC};
    }
    int left_;
};

TEST_F(RecordFiles, EveryInjectedFailureOfAMoveLeavesTheOriginal) {
    const fs::path source = dir_ / "source.mp3";
    test::MakeMp3(source, {"-b", "128"}, 20.0);
    test::TagWithMutagen(source, 3, {"TIT2=Title"}, false);
    const auto original = ReadFileBytes(source);
    for (int n = 0;; ++n) {
        test::TempDir work;
        const fs::path path = work / "song.mp3";
        fs::copy_file(source, path);
        test::RecordingPrompts prompts;
        auto r = test::LoadRecord(path, prompts);
        GrowTag(*r);
        r->fileName = u"renamed.mp3";
        FailAt faults(n);
        SaveRecord(*r, prompts, &faults);
        if (!faults.Fired()) {
            EXPECT_GT(n, 3) << "the save should pass the seam several times";
            EXPECT_EQ(prompts.Count(), 0u);
            break;
        }
        const auto p = prompts.Prompts();
        ASSERT_EQ(p.size(), 1u) << "failure at " << n;
        EXPECT_TRUE(p[0].text.starts_with(u"Error when saving ID3 tags to \"" + PathFromNative(path.string()) + u"\":\n"))
            << U8(p[0].text);
        // The rename still ran, on the untouched file; nothing else is left behind.
        EXPECT_EQ(Files(work.Path()), std::vector<fs::path>{work / "renamed.mp3"}) << "failure at " << n;
        EXPECT_EQ(ReadFileBytes(work / "renamed.mp3"), original) << "failure at " << n;
        ASSERT_LT(n, 10000);
    }
}

TEST_F(RecordFiles, KilledDuringAMoveLosesNothing) {
    const fs::path source = dir_ / "source.mp3";
    test::MakeMp3(source, {"-b", "192"}, 90.0);  // about 2 MB to move
    test::TagWithMutagen(source, 4, {"TIT2=Title", "TPE1=Artist"}, true);
    const auto original = ReadFileBytes(source);
    // What a completed save gives.
    const fs::path done = dir_ / "done.mp3";
    fs::copy_file(source, done);
    {
        auto r = test::LoadRecord(done, prompts_);
        GrowTag(*r);
        SaveRecord(*r, prompts_);
        ASSERT_EQ(prompts_.Count(), 0u);
    }
    const auto expected = ReadFileBytes(done);
    ASSERT_NE(expected, original);

    std::mt19937 rng(42);
    int survivedOriginal = 0, survivedNew = 0;
    for (int round = 0; round < 12; ++round) {
        test::TempDir work;
        const fs::path path = work / "song.mp3";
        fs::copy_file(source, path);
        auto r = test::LoadRecord(path, prompts_);
        GrowTag(*r);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            test::RecordingPrompts prompts;
            const char go = 1;
            (void)!write(ready[1], &go, 1);
            SaveRecord(*r, prompts);
            _exit(0);
        }
        char go = 0;
        ASSERT_EQ(read(ready[0], &go, 1), 1);
        close(ready[0]);
        close(ready[1]);
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 6000)(rng)));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        const auto after = ReadFileBytes(path);
        if (after == original) {
            ++survivedOriginal;
        } else {
            EXPECT_EQ(after, expected) << "round " << round << ": the file is neither the old nor the new one";
            ++survivedNew;
        }
    }
    EXPECT_EQ(survivedOriginal + survivedNew, 12);
}

}  // namespace
}  // namespace quorvane
