// The ID3v2 writer on crafted files: the worked examples on disk, the same bytes as
// the in-place moves would give, footers, removal, huge files and failing saves.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "platform/file_rewrite.h"
#include "platform/text_codec.h"
#include "support/test_support.h"
#include "tags/id3v2_writer.h"
#include "tags/writer_test_frames.h"

namespace quorvane {
namespace {
namespace fs = std::filesystem;
using test::OpenForSave;
using test::FramesOfLength;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

constexpr uint32_t kNever = 4294967295u;

// "Audio": random bytes that never begin with "ID3".
std::vector<uint8_t> Audio(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    if (n > 0) v[0] = 0xFF;
    return v;
}

// A file with an old tag whose size field is `size` (body of 'T's), then the audio.
std::vector<uint8_t> TaggedFile(uint32_t size, const std::vector<uint8_t>& audio, uint8_t major = 3,
                                uint8_t flags = 0, size_t bodyBytes = SIZE_MAX) {
    auto header = FormatV2Header(major == 4, size);
    header[3] = major;
    header[5] = flags;
    std::vector<uint8_t> file(header.begin(), header.end());
    file.resize(10 + std::min<size_t>(size, bodyBytes), 'T');
    file.insert(file.end(), audio.begin(), audio.end());
    return file;
}

ino_t Inode(const fs::path& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_ino;
}

// What the moves of the plan give when carried out in place, as the tag writer once
// did: ShiftUp or CutFront, then the tag over the front.
std::vector<uint8_t> InPlaceReference(const fs::path& path, const std::vector<uint8_t>& frames, bool use24,
                                      uint32_t decrease) {
    BinaryFile file = OpenForSave(path);
    const uint64_t size = file.GetSize();
    std::optional<V2HeaderInfo> header;
    if (size > 10) {
        uint8_t bytes[10];
        file.Seek(0);
        header = ParseV2Header(bytes, file.Read(bytes, 10));
    }
    const V2WritePlan plan = PlanV2Write(OldTagSpace(header, size), frames.size(), size, decrease);
    if (plan.kind == V2WriteKind::Insert || plan.kind == V2WriteKind::Grow) {
        ShiftUp(file, plan.shiftStart, plan.shiftDistance);
    } else if (plan.kind == V2WriteKind::Cut) {
        CutFront(file, plan.cutCount);
    }
    const auto head = BuildV2TagBytes(frames, use24, plan.padding);
    file.Seek(0);
    WriteBytes(file, head.data(), head.size());
    file.Close();
    return ReadFileBytes(path);
}

struct FileCase {
    const char* name;
    std::vector<uint8_t> before;
    size_t frames;
    uint32_t decrease;
    V2WriteKind kind;
    uint64_t newLength;
    uint64_t padding;
    size_t audioFrom;  // where the kept bytes begin in `before`
};

TEST(WriterFile, WorkedExamplesOnDisk) {
    const auto audio5000 = Audio(5000, 1);
    const std::vector<FileCase> cases = {
        {"insert", audio5000, 300, kNever, V2WriteKind::Insert, 8192, 2882, 0},
        {"in place", TaggedFile(2000, Audio(100000 - 2010, 2)), 1500, kNever, V2WriteKind::InPlace, 100000, 500, 2010},
        {"cut", TaggedFile(600000, Audio(5000000 - 600010, 3)), 1000, 131072, V2WriteKind::Cut, 4403200, 2200,
         600010},
        {"cut never", TaggedFile(600000, Audio(5000000 - 600010, 3)), 1000, kNever, V2WriteKind::InPlace, 5000000,
         599000, 600010},
        {"grow", TaggedFile(100, Audio(10000 - 110, 4)), 300, kNever, V2WriteKind::Grow, 12288, 2088, 110},
        {"tiny file", {'I', 'D', '3'}, 40, kNever, V2WriteKind::Insert, 4096, 4096 - 53, 0},
        {"empty file", {}, 40, kNever, V2WriteKind::Insert, 4096, 4046, 0},
        // Major version 5: not a tag, kept as data.
        {"major 5", TaggedFile(100, Audio(3000, 5), 5), 200, kNever, V2WriteKind::Insert, 4096, 4096 - 3110 - 210,
         0},
        // A size field beyond the file: the reader sees no tag, so nothing is overwritten.
        {"size beyond file", TaggedFile(900000, Audio(1000, 6), 3, 0, 0), 200, kNever, V2WriteKind::Insert, 4096,
         4096 - 1010 - 210, 0},
    };
    for (const bool use24 : {false, true}) {
        for (const FileCase& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << (use24 ? " v2.4" : " v2.3"));
            TempDir dir;
            const fs::path path = dir / "file.mp3";
            const fs::path reference = dir / "reference.mp3";
            WriteFileBytes(path, c.before);
            WriteFileBytes(reference, c.before);
            const ino_t inode = Inode(path);
            const auto frames = FramesOfLength(c.frames, "Title", use24);

            BinaryFile file = OpenForSave(path);
            const V2WritePlan plan =
                WriteV2Frames(frames, file, PathFromNative(path.string()), {use24, c.decrease, nullptr});
            file.Close();
            EXPECT_EQ(plan.kind, c.kind);
            const auto after = ReadFileBytes(path);
            ASSERT_EQ(after.size(), c.newLength);
            EXPECT_EQ(plan.padding, c.padding);
            // Header: version, no flags, size = frames + padding.
            const auto header = ParseV2Header(after.data(), after.size());
            ASSERT_TRUE(header);
            EXPECT_EQ(header->major, use24 ? 4 : 3);
            EXPECT_EQ(header->flags, 0);
            EXPECT_EQ(header->size, c.frames + c.padding);
            EXPECT_TRUE(std::equal(frames.begin(), frames.end(), after.begin() + 10));
            const size_t tagEnd = 10 + c.frames + c.padding;
            EXPECT_TRUE(std::all_of(after.begin() + 10 + static_cast<long>(c.frames),
                                    after.begin() + static_cast<long>(tagEnd), [](uint8_t b) { return b == 0; }));
            // The kept bytes, untouched, end the file.
            EXPECT_TRUE(std::equal(c.before.begin() + static_cast<long>(std::min(c.audioFrom, c.before.size())),
                                   c.before.end(), after.begin() + static_cast<long>(tagEnd), after.end()));
            // The same bytes as the in-place moves give.
            EXPECT_EQ(after, InPlaceReference(reference, frames, use24, c.decrease));
            // A tag that fits is written into the same file; moves make a new one.
            if (c.kind == V2WriteKind::InPlace) {
                EXPECT_EQ(Inode(path), inode);
            } else {
                EXPECT_NE(Inode(path), inode);
            }
        }
    }
}

TEST(WriterFile, FooterCountsAsSpaceAndIsOverwritten) {
    TempDir dir;
    const fs::path path = dir / "footer.mp3";
    const auto audio = Audio(30000, 7);
    // v2.4 tag of size 990 with a footer: header, 990 bytes, footer, then the audio.
    auto before = TaggedFile(990, {}, 4, 0x10);
    const uint8_t footer[10] = {'3', 'D', 'I', 4, 0, 0x10, 0, 0, 0x07, 0x5E};
    before.insert(before.end(), footer, footer + 10);
    before.insert(before.end(), audio.begin(), audio.end());
    WriteFileBytes(path, before);
    const auto frames = FramesOfLength(1000, "Footer", true);
    BinaryFile file = OpenForSave(path);
    const auto plan = WriteV2Frames(frames, file, PathFromNative(path.string()), {true, 0, nullptr});
    file.Close();
    EXPECT_EQ(plan.kind, V2WriteKind::InPlace);
    EXPECT_EQ(plan.padding, 0u);
    const auto after = ReadFileBytes(path);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[5], 0);  // no footer flag
    EXPECT_EQ(ParseV2Header(after.data(), 10)->size, 1000u);
    EXPECT_TRUE(std::equal(frames.begin(), frames.end(), after.begin() + 10));
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), after.begin() + 1010));
}

TEST(WriterFile, RemoveTakesTheTagAndItsFooter) {
    TempDir dir;
    const fs::path path = dir / "remove.mp3";
    const auto audio = Audio(20000, 8);
    auto withFooter = TaggedFile(500, {}, 4, 0x10);
    withFooter.insert(withFooter.end(), 10, 'F');
    withFooter.insert(withFooter.end(), audio.begin(), audio.end());

    struct RemoveCase {
        const char* name;
        std::vector<uint8_t> before;
        bool removed;
        std::vector<uint8_t> after;
    };
    const std::vector<RemoveCase> cases = {
        {"v2.3", TaggedFile(700, audio), true, audio},
        {"v2.4 footer", withFooter, true, audio},
        // The footer flag means nothing under v2.3: the 10 bytes stay as data.
        {"v2.3 footer flag", TaggedFile(700, audio, 3, 0x10), true, audio},
        {"v2.2", TaggedFile(70, audio, 2), true, audio},
        {"no tag", audio, false, audio},
        {"tag only", TaggedFile(700, {}), false, TaggedFile(700, {})},
        {"beyond the file", TaggedFile(70000, {}, 3, 0, 100), false, TaggedFile(70000, {}, 3, 0, 100)},
        {"ten bytes", std::vector<uint8_t>(TaggedFile(0, {})), false, TaggedFile(0, {})},
    };
    for (const RemoveCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(path, c.before);
        BinaryFile file = OpenForSave(path);
        EXPECT_EQ(RemoveV2Tag(file, PathFromNative(path.string())), c.removed);
        EXPECT_EQ(file.GetSize(), c.after.size());  // the handle follows the new file
        file.Close();
        EXPECT_EQ(ReadFileBytes(path), c.after);
    }
}

TEST(WriterFile, FilesOf4GiBAreRefusedUntouched) {
    TempDir dir;
    const fs::path path = dir / "huge.mp3";
    WriteFileBytes(path, TaggedFile(100, Audio(1000, 9)));
    // Sparse: no disk space is used.
    fs::resize_file(path, uint64_t{1} << 32);
    const ino_t inode = Inode(path);
    BinaryFile file = OpenForSave(path);
    for (size_t frames : {50, 5000}) {  // would fit, and would grow
        try {
            WriteV2Frames(FramesOfLength(frames, "Big", true), file, PathFromNative(path.string()),
                          {true, 0, nullptr});
            ADD_FAILURE() << "written";
        } catch (const FileException& e) {
            EXPECT_EQ(e.error, kErrorFileTooLarge);
        }
    }
    try {
        RemoveV2Tag(file, PathFromNative(path.string()));
        ADD_FAILURE() << "removed";
    } catch (const FileException& e) {
        EXPECT_EQ(e.error, kErrorFileTooLarge);
    }
    file.Close();
    EXPECT_EQ(fs::file_size(path), uint64_t{1} << 32);
    EXPECT_EQ(Inode(path), inode);
    std::vector<uint8_t> start(110);
    FILE* f = fopen(path.c_str(), "rb");
    ASSERT_EQ(fread(start.data(), 1, start.size(), f), start.size());
    fclose(f);
    EXPECT_EQ(start, std::vector<uint8_t>(TaggedFile(100, {})));
    EXPECT_NE(FileException{kErrorFileTooLarge}.FormatFileError().find(u"4 GiB"), std::u16string::npos);
}

TEST(WriterFile, TagsTooLargeForTheSizeFieldAreRefused) {
    // Size bytes with their top bits set decode (unmasked) beyond 28 bits; rewriting
    // such a tag in place could not state its size.
    TempDir dir;
    const fs::path path = dir / "x.mp3";
    // 0x80 00 00 00 decodes to 2^28, one more than a size field can state.
    std::vector<uint8_t> start = {'I', 'D', '3', 3, 0, 0, 0x80, 0, 0, 0};
    WriteFileBytes(path, start);
    fs::resize_file(path, 270'000'000);  // sparse
    BinaryFile file = OpenForSave(path);
    try {
        WriteV2Frames(FramesOfLength(100, "T", false), file, PathFromNative(path.string()), {false, kNever, nullptr});
        ADD_FAILURE() << "written";
    } catch (const FileException& e) {
        EXPECT_EQ(e.error, kErrorFileTooLarge);
    }
    file.Close();
    std::vector<uint8_t> now(10);
    FILE* f = fopen(path.c_str(), "rb");
    ASSERT_EQ(fread(now.data(), 1, now.size(), f), now.size());
    fclose(f);
    EXPECT_EQ(now, start);
}

class FailAfter : public SaveFaults {
public:
    explicit FailAfter(uint64_t budget) : budget_(budget) {}
    void BeforeWrite(uint64_t count) override {
        if (written_ + count > budget_) throw FileException{ENOSPC};
        written_ += count;
    }

private:
    uint64_t budget_;
    uint64_t written_ = 0;
};

TEST(WriterFile, FullDiskDuringAMoveLosesNothing) {
    TempDir dir;
    const fs::path path = dir / "song.mp3";
    const std::vector<std::pair<std::vector<uint8_t>, size_t>> cases = {
        {Audio(400000, 11), 300},                          // insert
        {TaggedFile(100, Audio(400000, 12)), 3000},        // grow
        {TaggedFile(600000, Audio(400000, 13)), 1000},     // cut
        {TaggedFile(700, Audio(400000, 14)), 0},           // remove (frames unused)
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        for (uint64_t budget : {0ull, 100ull, 5000ull, 300000ull}) {
            SCOPED_TRACE(testing::Message() << "case " << i << " budget " << budget);
            WriteFileBytes(path, cases[i].first);
            BinaryFile file = OpenForSave(path);
            FailAfter faults(budget);
            try {
                if (i == 3) {
                    RemoveV2Tag(file, PathFromNative(path.string()), &faults);
                } else {
                    WriteV2Frames(FramesOfLength(cases[i].second, "T", false), file, PathFromNative(path.string()),
                                  {false, 131072, &faults});
                }
                ADD_FAILURE() << "no failure";
            } catch (const FileException& e) {
                EXPECT_EQ(e.error, static_cast<uint32_t>(ENOSPC));
            }
            file.Close();
            EXPECT_EQ(ReadFileBytes(path), cases[i].first);
            EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
        }
    }
}

}  // namespace
}  // namespace quorvane
