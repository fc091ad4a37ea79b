// AtomicFileWriter: a file replaced as a whole or not at all, whichever step fails.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "platform/atomic_file.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane::test {
namespace {

namespace fs = std::filesystem;

// Fails at one step (kWrite: at the first write) and records the events.
struct FailAt : SaveFaults {
    static constexpr int kWrite = 100;
    explicit FailAt(int step) : step(step) {}
    void BeforeStep(SaveStep s) override {
        if (static_cast<int>(s) == step) throw FileException{EIO};
    }
    void BeforeWrite(uint64_t) override {
        if (step == kWrite) throw FileException{ENOSPC};
    }
    void After(SaveEvent event, int) override { events.push_back(event); }
    int step;
    std::vector<SaveEvent> events;
};

// Replaces `path` with "new": the open's error, 0 when it went through; later steps throw.
uint32_t Replace(const fs::path& path, SaveFaults* faults = nullptr) {
    AtomicFileWriter writer;
    uint32_t error = 0;
    if (!writer.Open(PathFromNative(path.string()), error, faults)) return error;
    writer.Write(std::vector<uint8_t>{'n', 'e', 'w'});
    writer.Commit();
    return 0;
}

std::vector<uint8_t> Old() { return {'o', 'l', 'd'}; }
size_t Entries(const fs::path& dir) { return std::distance(fs::directory_iterator(dir), fs::directory_iterator()); }

// Whatever step fails, or without Commit, the old file is as it was and no temporary
// file is left; once done, the new file has the old one's mode, and a link stays a link.
TEST(AtomicFile, ReplacedWholeOrNotAtAll) {
    TempDir dir;
    const fs::path file = dir / "list.m3u";
    for (const int step : {int(SaveStep::CreateTemp), FailAt::kWrite, int(SaveStep::SyncTemp), int(SaveStep::Rename)}) {
        WriteFileBytes(file, Old());
        FailAt faults(step);
        if (step == int(SaveStep::CreateTemp)) {
            EXPECT_EQ(Replace(file, &faults), static_cast<uint32_t>(EIO));
        } else {
            EXPECT_THROW(Replace(file, &faults), FileException) << step;
        }
        EXPECT_EQ(ReadFileBytes(file), Old());
        EXPECT_EQ(Entries(dir.Path()), 1u);
    }
    for (const fs::path& path : {file, dir / "new.m3u"}) {
        AtomicFileWriter writer;
        uint32_t error = 0;
        ASSERT_TRUE(writer.Open(PathFromNative(path.string()), error));
        writer.Write(Old());
        EXPECT_EQ(Entries(dir.Path()), 2u);  // the hidden temporary file beside it
    }
    EXPECT_EQ(Entries(dir.Path()), 1u);

    fs::permissions(file, fs::perms(0640));
    fs::create_symlink(file, dir / "link.m3u");
    FailAt none(-1);
    ASSERT_EQ(Replace(dir / "link.m3u", &none), 0u);
    EXPECT_EQ(ReadFileBytes(file), (std::vector<uint8_t>{'n', 'e', 'w'}));
    EXPECT_TRUE(fs::is_symlink(dir / "link.m3u"));
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));
    EXPECT_EQ(none.events,
              (std::vector<SaveEvent>{SaveEvent::FileSynced, SaveEvent::Renamed, SaveEvent::DirectorySynced}));
}

TEST(AtomicFile, TargetsThatCannotBeReplaced) {
    TempDir dir;
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
}  // namespace quorvane::test
