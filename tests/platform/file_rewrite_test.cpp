// The crash-safe rewrite: results against an in-memory copy; a failure, a full disk or
// a kill at any step leaves the original; the copy is synced before it is renamed. And
// the writer of whole small files, replaced whole or not at all.
#include "platform/file_rewrite.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <optional>
#include <random>
#include <thread>

#include "platform/atomic_file.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;
using test::OpenForSave;
using test::ReadFileBytes;

Bytes RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

Bytes Expected(const Bytes& head, const Bytes& old, size_t keepFrom) {
    Bytes v = head;
    if (keepFrom < old.size()) v.insert(v.end(), old.begin() + static_cast<long>(keepFrom), old.end());
    return v;
}

std::vector<fs::path> Leftovers(const fs::path& dir) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (IsRewriteLeftover(entry.path().filename().string())) found.push_back(entry.path());
    }
    return found;
}

void Clean(const fs::path& dir, UserPrompts& prompts) { CleanStaleRewrites(PathFromNative(dir.string()), prompts); }

void Rewrite(BinaryFile& file, const fs::path& path, const Bytes& head, uint64_t keepFrom, SaveFaults* faults = nullptr) {
    RewriteFile(file, PathFromNative(path.string()), head, keepFrom, faults);
}

struct stat Stat(const fs::path& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st;
}

// Starts `body` in a child process that never returns into the test (an exception
// ends it with status 99).
pid_t Spawn(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    try {
        _exit(body());
    } catch (...) {
        _exit(99);
    }
}

// The exit status of a child, or 200 + the signal that ended it.
int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200 + WTERMSIG(status);
}

int InChild(const std::function<int()>& body) { return Wait(Spawn(body)); }

// Heads and cuts on both sides of the move block and the copy block (8 of them); the
// handle is kept across rewrites, so it must always be the file now under the name.
TEST(FileRewrite, RandomRewritesMatchAnInMemoryCopyAndKeepOwnerAndMode) {
    test::TempDir dir;
    const fs::path path = dir / "song.mp3";
    Bytes model = RandomBytes(3 * kMoveBlock + 17, 1);
    test::WriteFileBytes(path, model);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    const bool root = geteuid() == 0;  // only root can give a file away
    ASSERT_EQ(root ? chown(path.c_str(), 65534, 65534) : 0, 0);
    BinaryFile file = OpenForSave(path);
    std::mt19937 rng(20261206);
    const uint64_t edges[] = {0, 1, kMoveBlock - 1, kMoveBlock, 8 * kMoveBlock, 8 * kMoveBlock + 1};
    for (uint32_t round = 0; round < 30; ++round) {
        const Bytes head = RandomBytes(round < 6 ? edges[round] : rng() % (2 * kMoveBlock), round);
        const uint64_t keepFrom = round % 7 == 0 ? model.size() + rng() % 3 : rng() % (model.size() / 2 + 1);
        Rewrite(file, path, head, keepFrom);
        model = Expected(head, model, keepFrom);
        if (model.size() < kMoveBlock) {  // more to move next time, written through the handle
            const uint64_t size = model.size();
            model.resize(size + 9 * kMoveBlock, static_cast<uint8_t>(round));
            file.Seek(size);
            WriteBytes(file, model.data() + size, model.size() - size);
        }
        ASSERT_EQ(ReadFileBytes(path), model) << "round " << round;
    }
    const struct stat st = Stat(path);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, root ? 65534u : geteuid());
    EXPECT_EQ(st.st_gid, root ? 65534u : getegid());
    EXPECT_TRUE(Leftovers(dir.Path()).empty());
    BinaryFile second;  // the handle still keeps other writers out
    uint32_t error = 0;
    EXPECT_FALSE(second.Open(PathFromNative(path.string()), OpenMode::Update, error));
    EXPECT_EQ(error, kErrorSharingViolation);
}

// Fails with ENOSPC at a chosen step, or once more than `budget` bytes were written;
// or, with `die`, ends the process there like a kill (no unwinding, no clean-up).
struct FailAt : SaveFaults {
    FailAt(std::optional<SaveStep> s, uint64_t b) : step(s), budget(b) {}
    void Fire() const {
        if (die) _exit(0);
        throw FileException{ENOSPC};
    }
    void BeforeWrite(uint64_t count) override {
        if ((written += count) > budget) Fire();
    }
    void BeforeStep(SaveStep s) override {
        if (step == s) Fire();
    }
    std::optional<SaveStep> step;
    uint64_t budget, written = 0;
    bool die = false;
};

// At each step, in the head, at its end, inside the first and the last copy block, and
// (with other hard links) while the old file is overwritten from the copy: a failure, or
// a kill, followed by the clean-up of the directory leaves the old file or, once the copy
// back had begun, the new one, and no copy. A kill at a random moment likewise.
TEST(FileRewrite, AFailureOrAKillAtAnyStepThenACleanUpLeaveTheOldOrTheNewFileAndNoCopy) {
    test::TempDir dir;
    const fs::path path = dir / "song.mp3", alias = dir / "alias.mp3";
    const Bytes old = RandomBytes(1024 * 1024 + 5, 7), head(5000, 0x55);
    const Bytes expected = Expected(head, old, 100);
    test::RecordingPrompts prompts;
    auto check = [&](const Bytes& now, bool links, const std::string& what) {
        EXPECT_TRUE(Leftovers(dir.Path()).empty()) << what;
        if (links) {
            EXPECT_EQ(ReadFileBytes(alias), now) << what;
        }
        fs::remove(alias);
    };
    for (const bool links : {false, true}) {
        for (const bool kill : {false, true}) {
            std::vector<FailAt> points = {{SaveStep::CreateTemp, UINT64_MAX}, {SaveStep::SyncTemp, UINT64_MAX},
                                          {links ? SaveStep::CopyBack : SaveStep::Rename, UINT64_MAX}};
            for (uint64_t budget : {0ull, 4999ull, 5000ull, 200000ull, 1000000ull}) points.push_back({{}, budget});
            // Into the copy back: the old file is partly overwritten, the copy complete.
            const uint64_t copied = expected.size();
            if (links) for (uint64_t budget : {copied, copied + 1, copied + 200000}) points.push_back({{}, budget});
            for (FailAt f : points) {
                const bool finished = f.budget >= copied && f.budget != UINT64_MAX;
                const std::string what = std::string(kill ? "kill" : "fail") + (links ? " with another link" : "") +
                                         ", budget " + std::to_string(f.budget);
                test::WriteFileBytes(path, old);
                if (links) fs::create_hard_link(path, alias);
                if (kill) {
                    f.die = true;
                    EXPECT_EQ(InChild([&] {
                                  BinaryFile child = OpenForSave(path);
                                  Rewrite(child, path, head, 100, &f);
                                  return 1;
                              }),
                              0) << what;
                } else {
                    BinaryFile file = OpenForSave(path);
                    EXPECT_THROW(Rewrite(file, path, head, 100, &f), FileException) << what;
                    if (!finished) {
                        EXPECT_EQ(file.GetSize(), old.size()) << what;  // still the original
                    }
                }
                EXPECT_EQ(Leftovers(dir.Path()).size(), (kill && f.step != SaveStep::CreateTemp) || finished ? 1u : 0u)
                    << what;
                Clean(dir.Path(), prompts);
                const Bytes now = ReadFileBytes(path);
                EXPECT_TRUE(now == (finished ? expected : old)) << what;
                check(now, links, what);
            }
        }
    }

    std::mt19937 rng(42);
    for (int round = 0; round < 12; ++round) {
        const bool links = round % 2;
        test::WriteFileBytes(path, old);
        if (links) fs::create_hard_link(path, alias);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = Spawn([&] {
            BinaryFile saving = OpenForSave(path);
            (void)!write(ready[1], "g", 1);
            Rewrite(saving, path, head, 100);
            return 0;
        });
        close(ready[1]);
        char go = 0;
        ASSERT_EQ(read(ready[0], &go, 1), 1);
        close(ready[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 8000));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        Clean(dir.Path(), prompts);
        const Bytes now = ReadFileBytes(path);
        EXPECT_TRUE(now == old || now == expected) << "round " << round << ": neither the old nor the new file";
        check(now, links, "round " + std::to_string(round));
    }
    EXPECT_EQ(prompts.Count(), 0u);
}

// Stops a rewrite in a child process at `step` (or at the copy's rename to its
// complete name) until the parent says go on.
struct PauseAt : SaveFaults {
    PauseAt(std::optional<SaveStep> s, int toParent, int fromParent) : step(s), out(toParent), in(fromParent) {}
    void Pause() const {
        char c = 'p';
        (void)!write(out, &c, 1);
        (void)!read(in, &c, 1);
    }
    void BeforeStep(SaveStep s) override {
        if (step == s) Pause();
    }
    void After(SaveEvent e, int) override {
        if (!step && e == SaveEvent::Renamed) Pause();
    }
    std::optional<SaveStep> step;
    int out, in;
};

// Two processes: the copy of a live save, partial or complete, is never touched by a
// clean-up, and the save then ends as it would have. A clean-up running all through
// many saves never breaks one (a copy is locked from the moment it has its name).
TEST(FileRewrite, ACleanUpNeverTouchesTheCopyOfALiveSave) {
    test::TempDir dir;
    const fs::path path = dir / "song.mp3";
    const Bytes old = RandomBytes(300000, 3), head(4000, 0x33);
    test::RecordingPrompts prompts;
    for (const bool links : {false, true}) {
        SCOPED_TRACE(links ? "other links" : "one link");
        test::WriteFileBytes(path, old);
        if (links) fs::create_hard_link(path, dir / "alias.mp3");
        int up[2], down[2];
        ASSERT_EQ(pipe(up), 0);
        ASSERT_EQ(pipe(down), 0);
        const pid_t child = Spawn([&] {
            close(up[0]);  // the parent's ends: a parent gone ends the pause
            close(down[1]);
            PauseAt pause(links ? std::nullopt : std::optional(SaveStep::SyncTemp), up[1], down[0]);
            BinaryFile saving = OpenForSave(path);
            Rewrite(saving, path, head, 0, &pause);
            return 0;
        });
        close(up[1]);
        close(down[0]);
        char c = 0;
        EXPECT_EQ(read(up[0], &c, 1), 1);
        const auto copies = Leftovers(dir.Path());
        EXPECT_EQ(copies.size(), 1u);
        const Bytes copy = copies.empty() ? Bytes() : ReadFileBytes(copies[0]);
        Clean(dir.Path(), prompts);
        EXPECT_EQ(Leftovers(dir.Path()), copies);
        EXPECT_EQ(copies.empty() ? Bytes() : ReadFileBytes(copies[0]), copy);
        EXPECT_EQ(ReadFileBytes(path), old);
        EXPECT_EQ(write(down[1], "g", 1), 1);
        close(up[0]);
        close(down[1]);
        EXPECT_EQ(Wait(child), 0);
        EXPECT_EQ(ReadFileBytes(path), Expected(head, old, 0));
        EXPECT_TRUE(Leftovers(dir.Path()).empty());
        fs::remove(dir / "alias.mp3");
    }

    test::WriteFileBytes(path, RandomBytes(20000, 4));
    const pid_t saver = Spawn([&] {
        BinaryFile saving = OpenForSave(path);
        for (int i = 0; i < 300; ++i) Rewrite(saving, path, Bytes(1 + i % 7, uint8_t(i)), i % 7);
        return 0;
    });
    int status = 0;
    while (waitpid(saver, &status, WNOHANG) == 0) Clean(dir.Path(), prompts);
    EXPECT_EQ(status, 0) << "a save failed while its directory was cleaned";
    EXPECT_TRUE(Leftovers(dir.Path()).empty());
    EXPECT_EQ(prompts.Count(), 0u);
}

// A complete copy stays while another process has its file open for writing, and stays
// (reported once) when its file is gone; the names of copies are exact.
TEST(FileRewrite, ACompleteCopyWithoutItsFileIsKeptAndReportedOnce) {
    test::TempDir dir;
    const fs::path path = dir / "song.mp3";
    const Bytes old = RandomBytes(300000, 5), head(100, 1);
    test::WriteFileBytes(path, old);
    fs::create_hard_link(path, dir / "alias.mp3");
    {
        BinaryFile file = OpenForSave(path);
        FailAt late({}, head.size() + old.size() + 1000);
        EXPECT_THROW(Rewrite(file, path, head, 0, &late), FileException);
    }
    const auto copies = Leftovers(dir.Path());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(ReadFileBytes(copies[0]), Expected(head, old, 0));
    test::RecordingPrompts prompts;
    {
        BinaryFile holder = OpenForSave(path);  // a live writer of the file: try later
        Clean(dir.Path(), prompts);
        EXPECT_EQ(Leftovers(dir.Path()), copies);
    }
    fs::remove(path);  // the file (this inode, under this name) is gone
    test::WriteFileBytes(path, old);
    Clean(dir.Path(), prompts);
    Clean(dir.Path(), prompts);
    EXPECT_EQ(Leftovers(dir.Path()), copies);
    EXPECT_EQ(ReadFileBytes(path), old);
    const auto p = prompts.Prompts();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].kind, "error");
    EXPECT_NE(p[0].text.find(u"kept as \"" + PathFromNative(copies[0].string()) + u"\""), std::u16string::npos)
        << U8(p[0].text);

    const std::pair<const char*, bool> names[] = {
        {".a.mp3.qvsave-abc12xyz", true},        {".a.mp3.qvcopy-abc12xyz-1f0a", true},
        {"a.mp3.qvsave-abc12xyz", false},        {".a.mp3.qvsave-abc12xy", false},
        {".a.mp3.qvsave-abc12xyz.mp3", false},   {".a.mp3.qvsave-ABC12XYZ", false},
        {".a.mp3.qvcopy-abc12xyz", false},       {".a.mp3.qvcopy-abc12xyz-1g", false},
        {".a.mp3.qvcopy-abc12xyz-", false},      {".a.mp3.qvcopy-abc12xyz-11111111111111111", false},
    };
    for (const auto& [name, leftover] : names) EXPECT_EQ(IsRewriteLeftover(name), leftover) << name;
}

// Real failures, each in a child: a directory the copy cannot be made in (as nobody,
// since root ignores permissions), a full disk (a file size limit), and a FIFO.
TEST(FileRewrite, ReadOnlyDirectoryFullDiskAndFifoGiveACleanError) {
    test::TempDir dir;
    chmod(dir.Path().c_str(), 0755);
    const Bytes old = RandomBytes(300000, 9);
    const struct {
        std::string name;
        uint32_t error;
    } cases[] = {{"ro", EACCES}, {"full", EFBIG}, {"fifo", ESPIPE}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path sub = dir / c.name, path = sub / "song.mp3";
        fs::create_directory(sub);
        c.name == "fifo" ? (void)mkfifo(path.c_str(), 0666) : test::WriteFileBytes(path, old);
        chmod(path.c_str(), 0666);
        if (c.name == "ro") chmod(sub.c_str(), 0555);
        const int status = InChild([&] {
            if (c.name == "ro" && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 10;
            const rlimit limit{old.size() + 1000, old.size() + 1000};
            if (c.name == "full" && (signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit))) return 11;
            BinaryFile file = OpenForSave(path);
            try {
                Rewrite(file, path, Bytes(4000, 1), 0);
            } catch (const FileException& e) {
                return e.error == c.error ? 0 : 12;
            }
            return 13;
        });
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(c.name == "fifo" || ReadFileBytes(path) == old);
        EXPECT_EQ(fs::is_fifo(path), c.name == "fifo");
        EXPECT_TRUE(Leftovers(sub).empty());
    }
}

// Logs the steps, the writes (a run of them as one), the renames and the syncs in
// order. The sync system call itself is caught (below), so a sync that is only
// announced does not count. A sync or rename names the file it concerned ("old" or
// "copy") and whether that file then had its final size ("whole").
struct Recorder : SaveFaults {
    Recorder(ino_t old, off_t size) : old_(old), size_(size) { recording = this; }
    ~Recorder() override { recording = nullptr; }
    void BeforeWrite(uint64_t) override {
        if (log.empty() || log.back() != "write") log.push_back("write");
    }
    void BeforeStep(SaveStep s) override {
        log.push_back(Strings{"create", "before sync", "before rename", "before copy back"}.at(static_cast<size_t>(s)));
    }
    void After(SaveEvent e, int fd) override {
        if (e == SaveEvent::Renamed) Log("rename ", fd);
    }
    void Log(const char* what, int fd) {
        struct stat st {};
        fstat(fd, &st);
        if (S_ISDIR(st.st_mode)) return log.push_back("sync dir");
        log.push_back(what + std::string(st.st_ino == old_ ? "old" : "copy") + (st.st_size == size_ ? " whole" : " part"));
    }
    static inline std::atomic<Recorder*> recording{nullptr};
    Strings log;
    ino_t old_;
    off_t size_;
};

// A missing or late sync cannot be seen by killing a process, so the order is recorded:
// the copy synced whole before it is renamed into place, the directory after. A symbolic
// link stays a link to the rewritten file. A file with other hard links is rewritten in
// place from the synced copy, so every name sees the new content, and synced itself.
TEST(FileRewrite, TheCopyIsSyncedWholeBeforeItIsRenamedAndLinksSurvive) {
    test::TempDir dir;
    fs::create_directory(dir / "real");
    const fs::path path = dir / "real" / "song.mp3", link = dir / "link.mp3", alias = dir / "real" / "alias.mp3";
    const Bytes old = RandomBytes(300000, 11);
    test::WriteFileBytes(path, old);
    fs::create_symlink(path, link);
    BinaryFile file = OpenForSave(link);
    Recorder r(Stat(path).st_ino, 7000 + 300000 - 100);
    Rewrite(file, link, Bytes(7000, 1), 100, &r);
    EXPECT_EQ(r.log, (Strings{"create", "write", "before sync", "sync copy whole", "before rename", "rename copy whole",
                              "sync dir"}));
    EXPECT_TRUE(fs::is_symlink(link));
    const Bytes once = Expected(Bytes(7000, 1), old, 100);
    EXPECT_EQ(ReadFileBytes(path), once);

    fs::create_hard_link(path, alias);
    const ino_t inode = Stat(path).st_ino;
    Recorder h(inode, 9000 + 306900);
    Rewrite(file, path, Bytes(9000, 2), 0, &h);
    // The copy is named complete, durably, before the first byte of the old file changes.
    EXPECT_EQ(h.log, (Strings{"create", "write", "before sync", "sync copy whole", "before copy back",
                              "rename copy whole", "sync dir", "write", "sync old whole", "sync dir"}));
    const Bytes twice = Expected(Bytes(9000, 2), once, 0);
    EXPECT_EQ(ReadFileBytes(alias), twice);
    Rewrite(file, path, {}, 9000);  // and shorter
    EXPECT_EQ(ReadFileBytes(alias), Expected({}, twice, 9000));
    EXPECT_EQ(Stat(path).st_ino, inode);  // so the name shows it too
    EXPECT_TRUE(Leftovers(dir / "real").empty() && Leftovers(dir.Path()).empty());
}

// Replaces `path` with "new": the open's error, 0 when it went through; later steps throw.
uint32_t Replace(const fs::path& path, SaveFaults* faults = nullptr) {
    AtomicFileWriter writer;
    uint32_t error = 0;
    if (!writer.Open(PathFromNative(path.string()), error, faults)) return error;
    writer.Write(Bytes{'n', 'e', 'w'});
    writer.Commit();
    return 0;
}

// Whatever step fails, or without Commit, the old file is as it was and no temporary
// file is left; once done, the new file has the old one's mode, a link stays a link,
// and the new file was synced before its rename. Directories and missing folders are
// refused at once.
TEST(AtomicFile, ReplacedWholeOrNotAtAllOrRefused) {
    test::TempDir dir;
    const fs::path file = dir / "list.m3u";
    const Bytes old = {'o', 'l', 'd'};
    for (FailAt f : {FailAt(SaveStep::CreateTemp, UINT64_MAX), FailAt({}, 0), FailAt(SaveStep::SyncTemp, UINT64_MAX),
                     FailAt(SaveStep::Rename, UINT64_MAX)}) {
        test::WriteFileBytes(file, old);
        if (f.step == SaveStep::CreateTemp) {
            EXPECT_EQ(Replace(file, &f), static_cast<uint32_t>(ENOSPC));
        } else {
            EXPECT_THROW(Replace(file, &f), FileException);
        }
        EXPECT_EQ(ReadFileBytes(file), old);
        EXPECT_TRUE(Leftovers(dir.Path()).empty());
    }
    for (const fs::path& path : {file, dir / "new.m3u"}) {
        AtomicFileWriter writer;
        uint32_t error = 0;
        ASSERT_TRUE(writer.Open(PathFromNative(path.string()), error));
        writer.Write(old);
        EXPECT_EQ(Leftovers(dir.Path()).size(), 1u);  // the hidden temporary file beside it
    }
    EXPECT_TRUE(Leftovers(dir.Path()).empty());
    EXPECT_FALSE(fs::exists(dir / "new.m3u"));

    fs::permissions(file, fs::perms(0640));
    fs::create_symlink(file, dir / "link.m3u");
    Recorder r(Stat(file).st_ino, 3);
    ASSERT_EQ(Replace(dir / "link.m3u", &r), 0u);
    EXPECT_EQ(ReadFileBytes(file), (Bytes{'n', 'e', 'w'}));
    EXPECT_TRUE(fs::is_symlink(dir / "link.m3u"));
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));
    EXPECT_EQ(r.log, (Strings{"create", "write", "before sync", "sync copy whole", "before rename", "rename copy whole",
                              "sync dir"}));

    EXPECT_EQ(Replace(dir.Path()), static_cast<uint32_t>(EISDIR));
    EXPECT_EQ(Replace(dir / "none" / "x.m3u"), static_cast<uint32_t>(ENOENT));
    // A device is written directly: /dev/null takes anything, /dev/full fails the write.
    EXPECT_EQ(Replace("/dev/null"), 0u);
    try {
        Replace("/dev/full");
        ADD_FAILURE() << "writing /dev/full went through";
    } catch (const FileException& e) {
        EXPECT_EQ(e.error, static_cast<uint32_t>(ENOSPC));
    }
}

}  // namespace
}  // namespace quorvane

// Every sync of the test program passes here (the library is linked in statically).
extern "C" int fsync(int fd) {
    const int rc = static_cast<int>(syscall(SYS_fsync, fd));
    if (quorvane::Recorder* r = quorvane::Recorder::recording.load()) r->Log("sync ", fd);
    return rc;
}
