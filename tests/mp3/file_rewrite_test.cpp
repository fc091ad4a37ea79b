// Byte moves inside a file and the crash-safe rewrite: results against an in-memory
// copy, and failures at every step leaving the original untouched.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>

#include "platform/file_rewrite.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {
namespace fs = std::filesystem;
using test::OpenForSave;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

std::vector<fs::path> Leftovers(const fs::path& dir) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().filename().string().find(kRewriteTempMarker) != std::string::npos) {
            found.push_back(entry.path());
        }
    }
    return found;
}

std::vector<uint8_t> Expected(const std::vector<uint8_t>& head, const std::vector<uint8_t>& old, size_t keepFrom) {
    std::vector<uint8_t> v = head;
    if (keepFrom < old.size()) v.insert(v.end(), old.begin() + static_cast<long>(keepFrom), old.end());
    return v;
}

TEST(FileRewrite, ShiftUpAndCutFrontMatchAnInMemoryCopy) {
    TempDir dir;
    const fs::path path = dir / "moves.bin";
    std::mt19937 rng(20261206);
    std::vector<uint8_t> model = RandomBytes(200000, 1);
    WriteFileBytes(path, model);
    BinaryFile file = OpenForSave(path);
    for (int op = 0; op < 400; ++op) {
        const size_t size = model.size();
        // Mostly moves that straddle block boundaries, sometimes tiny or empty ones.
        const uint64_t amount = (rng() % 4 == 0) ? rng() % 64 : rng() % (2 * kMoveBlock + 777);
        if (rng() % 2 == 0 && size < 2'000'000) {
            const uint64_t start = rng() % (size + 20);  // sometimes beyond the end
            ShiftUp(file, start, amount);
            if (start < size && amount > 0) {
                model.resize(size + amount, 0);
                std::copy_backward(model.begin() + static_cast<long>(start), model.begin() + static_cast<long>(size),
                                   model.end());
            }
        } else {
            const uint64_t count = size == 0 ? 0 : amount % (size + 2);
            CutFront(file, count);
            model.erase(model.begin(), model.begin() + static_cast<long>(std::min<uint64_t>(count, size)));
        }
        if (model.size() < 1000) {  // keep some substance to move
            const auto more = RandomBytes(150000, static_cast<uint32_t>(op));
            file.Seek(model.size());
            WriteBytes(file, more.data(), more.size());
            model.insert(model.end(), more.begin(), more.end());
        }
        ASSERT_EQ(file.GetSize(), model.size()) << "op " << op;
        if (op % 20 == 0) {
            ASSERT_EQ(ReadFileBytes(path), model) << "op " << op;
        }
    }
    file.Close();
    EXPECT_EQ(ReadFileBytes(path), model);
}

TEST(FileRewrite, NewContentReplacesTheFileAndTheHandleFollows) {
    TempDir dir;
    const fs::path path = dir / "song.mp3";
    const auto old = RandomBytes(3 * 1024 * 1024 + 17, 2);
    WriteFileBytes(path, old);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const auto inodeBefore = fs::status(path).permissions();
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);

    BinaryFile file = OpenForSave(path);
    const std::vector<uint8_t> head(4096, 0xAB);
    RewriteFile(file, PathFromNative(path.string()), head, 1000);
    EXPECT_EQ(ReadFileBytes(path), Expected(head, old, 1000));
    EXPECT_EQ(fs::status(path).permissions(), inodeBefore);
    EXPECT_TRUE(Leftovers(dir.Path()).empty());

    // The caller's handle is the new file: what it writes is on disk under the name,
    // and it still keeps other writers out.
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    struct stat held {};
    ASSERT_EQ(fstat(file.Descriptor(), &held), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(held.st_ino, after.st_ino);
    EXPECT_EQ(file.GetSize(), head.size() + old.size() - 1000);
    BinaryFile second;
    uint32_t error = 0;
    EXPECT_FALSE(second.Open(PathFromNative(path.string()), OpenMode::Update, error));
    EXPECT_EQ(error, kErrorSharingViolation);
    file.Seek(0);
    file.Write("XYZ", 3);
    file.Close();
    const auto now = ReadFileBytes(path);
    EXPECT_EQ(now[0], 'X');
    EXPECT_EQ(now[2], 'Z');
}

TEST(FileRewrite, EmptyHeadAndKeepBeyondTheEnd) {
    TempDir dir;
    const fs::path path = dir / "a.bin";
    const auto old = RandomBytes(5000, 3);
    WriteFileBytes(path, old);
    BinaryFile file = OpenForSave(path);
    RewriteFile(file, PathFromNative(path.string()), {}, 1234);
    EXPECT_EQ(ReadFileBytes(path), Expected({}, old, 1234));
    const std::vector<uint8_t> head = {1, 2, 3};
    RewriteFile(file, PathFromNative(path.string()), head, 999999);
    EXPECT_EQ(ReadFileBytes(path), head);
}

TEST(FileRewrite, OwnerIsKeptWherePermitted) {
    if (geteuid() != 0) GTEST_SKIP() << "changing owners needs root";
    TempDir dir;
    const fs::path path = dir / "owned.mp3";
    WriteFileBytes(path, RandomBytes(10000, 4));
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(path.c_str(), 0604), 0);
    BinaryFile file = OpenForSave(path);
    const std::vector<uint8_t> head(100, 7);
    RewriteFile(file, PathFromNative(path.string()), head, 0);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
}

TEST(FileRewrite, SymbolicLinkStaysALinkToTheRewrittenFile) {
    TempDir dir;
    fs::create_directory(dir / "real");
    const fs::path target = dir / "real" / "track.mp3";
    const fs::path link = dir / "link.mp3";
    const auto old = RandomBytes(20000, 5);
    WriteFileBytes(target, old);
    fs::create_symlink(target, link);
    BinaryFile file = OpenForSave(link);
    const std::vector<uint8_t> head(300, 9);
    RewriteFile(file, PathFromNative(link.string()), head, 50);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(target), Expected(head, old, 50));
    EXPECT_TRUE(Leftovers(dir / "real").empty());
    EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

TEST(FileRewrite, HardLinkedFileIsRewrittenUnderEveryName) {
    TempDir dir;
    const fs::path path = dir / "one.mp3";
    const fs::path other = dir / "two.mp3";
    const auto old = RandomBytes(400000, 6);
    WriteFileBytes(path, old);
    fs::create_hard_link(path, other);
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    BinaryFile file = OpenForSave(path);
    const std::vector<uint8_t> head(8000, 1);  // longer: the file grows
    RewriteFile(file, PathFromNative(path.string()), head, 10);
    const auto expected = Expected(head, old, 10);
    EXPECT_EQ(ReadFileBytes(path), expected);
    EXPECT_EQ(ReadFileBytes(other), expected);
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_TRUE(Leftovers(dir.Path()).empty());
    // And shorter.
    RewriteFile(file, PathFromNative(path.string()), {}, 9000);
    EXPECT_EQ(ReadFileBytes(other), Expected({}, expected, 9000));
}

// Fails with `error` at a chosen step, or once more than `budget` bytes were written.
class FailAt : public SaveFaults {
public:
    std::optional<SaveStep> step;
    uint64_t budget = UINT64_MAX;
    uint32_t error = ENOSPC;
    uint64_t written = 0;
    void BeforeWrite(uint64_t count) override {
        if (written + count > budget) throw FileException{error};
        written += count;
    }
    void BeforeStep(SaveStep s) override {
        if (step && *step == s) throw FileException{error};
    }
};

TEST(FileRewrite, AnyFailureLeavesTheOriginalAndNoTemporaryFile) {
    TempDir dir;
    const fs::path path = dir / "song.mp3";
    const auto old = RandomBytes(1024 * 1024 + 5, 7);
    const std::vector<uint8_t> head(5000, 0x55);
    for (bool hardLinked : {false, true}) {
        std::vector<FailAt> failures;
        // The last step before the old file is touched: the rename, or with other hard
        // links the copy back.
        const SaveStep last = hardLinked ? SaveStep::CopyBack : SaveStep::Rename;
        for (SaveStep s : {SaveStep::CreateTemp, SaveStep::SyncTemp, last}) {
            FailAt f;
            f.step = s;
            f.error = EIO;
            failures.push_back(f);
        }
        for (uint64_t budget : {0ull, 4999ull, 5000ull, 200000ull, 1000000ull}) {
            FailAt f;
            f.budget = budget;
            failures.push_back(f);
        }
        for (FailAt& f : failures) {
            SCOPED_TRACE(testing::Message() << "hard link " << hardLinked << " budget " << f.budget);
            WriteFileBytes(path, old);
            if (hardLinked) fs::create_hard_link(path, dir / "alias.mp3");
            BinaryFile file = OpenForSave(path);
            f.written = 0;
            try {
                RewriteFile(file, PathFromNative(path.string()), head, 100, &f);
                ADD_FAILURE() << "no failure";
            } catch (const FileException& e) {
                EXPECT_EQ(e.error, f.error);
            }
            EXPECT_EQ(ReadFileBytes(path), old);
            EXPECT_TRUE(Leftovers(dir.Path()).empty());
            // The handle still holds the original, ready for the next step.
            EXPECT_EQ(file.GetSize(), old.size());
            file.Close();
            fs::remove(dir / "alias.mp3");
        }
    }
}

TEST(FileRewrite, HardLinkFailureDuringCopyBackKeepsTheCompleteCopy) {
    TempDir dir;
    const fs::path path = dir / "song.mp3";
    const auto old = RandomBytes(600000, 8);
    WriteFileBytes(path, old);
    fs::create_hard_link(path, dir / "alias.mp3");
    BinaryFile file = OpenForSave(path);
    const std::vector<uint8_t> head(3000, 0x11);
    FailAt f;
    // Everything of the copy is written, then the copy back fails part-way.
    f.budget = head.size() + old.size() + 200000;
    EXPECT_THROW(RewriteFile(file, PathFromNative(path.string()), head, 0, &f), FileException);
    const auto left = Leftovers(dir.Path());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(ReadFileBytes(left[0]), Expected(head, old, 0));
}

// Runs `body` in a child process; returns its exit status.
int InChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
}

TEST(FileRewrite, ReadOnlyDirectoryGivesACleanError) {
    TempDir dir;
    const fs::path ro = dir / "ro";
    fs::create_directory(ro);
    const fs::path path = ro / "song.mp3";
    const auto old = RandomBytes(50000, 9);
    WriteFileBytes(path, old);
    chmod(path.c_str(), 0666);
    chmod(dir.Path().c_str(), 0755);
    chmod(ro.c_str(), 0555);
    const bool root = geteuid() == 0;
    const int status = InChild([&]() {
        // Root ignores directory permissions: try as nobody.
        if (root && (setgid(65534) != 0 || setuid(65534) != 0)) return 10;
        BinaryFile file;
        uint32_t error = 0;
        if (!file.Open(PathFromNative(path.string()), OpenMode::Update, error)) return 11;
        const std::vector<uint8_t> head(100, 1);
        try {
            RewriteFile(file, PathFromNative(path.string()), head, 0);
        } catch (const FileException& e) {
            return e.error == EACCES ? 0 : 12;
        }
        return 13;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_TRUE(Leftovers(ro).empty());
}

TEST(FileRewrite, AKilledSaveLeavesEitherTheOldOrTheNewFile) {
    TempDir dir;
    const fs::path path = dir / "song.mp3";
    const auto old = RandomBytes(2 * 1024 * 1024, 10);
    const std::vector<uint8_t> head(2000, 0x77);
    const auto expected = Expected(head, old, 500);

    // Dies like a killed process: no unwinding, no clean-up.
    class Killer : public SaveFaults {
    public:
        uint64_t budget = UINT64_MAX;
        std::optional<SaveStep> step;
        uint64_t written = 0;
        void BeforeWrite(uint64_t count) override {
            written += count;
            if (written > budget) _exit(0);
        }
        void BeforeStep(SaveStep s) override {
            if (step && *step == s) _exit(0);
        }
    };
    std::vector<Killer> kills(6);
    kills[0].budget = 1;
    kills[1].budget = 300000;
    kills[2].budget = 1900000;
    kills[3].step = SaveStep::SyncTemp;
    kills[4].step = SaveStep::Rename;
    // kills[5] runs to the end.
    for (size_t i = 0; i < kills.size(); ++i) {
        SCOPED_TRACE(i);
        WriteFileBytes(path, old);
        const int status = InChild([&]() {
            BinaryFile file;
            uint32_t error = 0;
            if (!file.Open(PathFromNative(path.string()), OpenMode::Update, error)) return 1;
            RewriteFile(file, PathFromNative(path.string()), head, 500, &kills[i]);
            return 0;
        });
        EXPECT_EQ(status, 0);
        const auto now = ReadFileBytes(path);
        if (i + 1 < kills.size()) {
            EXPECT_EQ(now, old);
        } else {
            EXPECT_EQ(now, expected);
        }
        for (const auto& left : Leftovers(dir.Path())) fs::remove(left);
    }
}

TEST(FileRewrite, OnlyRegularFilesAreReplaced) {
    TempDir dir;
    const fs::path path = dir / "pipe.mp3";
    ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
    BinaryFile file = OpenForSave(path);
    ASSERT_TRUE(file.IsOpen());
    const std::vector<uint8_t> head(100, 1);
    try {
        RewriteFile(file, PathFromNative(path.string()), head, 0);
        ADD_FAILURE() << "rewritten";
    } catch (const FileException& e) {
        EXPECT_EQ(e.error, static_cast<uint32_t>(ESPIPE));
    }
    EXPECT_TRUE(fs::is_fifo(path));
    EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

}  // namespace
}  // namespace quorvane
