// Writing ID3v2 tags: the write plan as pure arithmetic, then the writer on files.
#include <fstream>
#include <random>

#include "tag_test_util.h"
#include "tags/id3v2_write_plan.h"
#include "tags/id3v2_writer.h"

namespace quorvane::tagtest {
namespace {

using Header = std::array<uint8_t, 10>;

// A file with an old tag whose size field is `size` (a body of 'T's), then the audio.
Bytes TaggedFile(uint32_t size, const Bytes& audio, uint8_t major = 3) {
    return Cat({Tag(major, Bytes(size, 'T')), audio});
}

// Throws ENOSPC at the first write. (Failures further on are the file rewrite's to survive.)
struct FailFirstWrite : SaveFaults {
    void BeforeWrite(uint64_t) override { throw FileException{ENOSPC}; }
};

using WriterTest = TagFileTest;

// Files whose header the parts must read alike: where the reader says the audio starts
// (the end of the tag, capped at the end of the file) is what the writer keeps behind its
// new tag and what the remover leaves.
TEST_F(WriterTest, ReaderWriterAndRemoverAgreeOnWhatCountsAsATag) {
    const Bytes audio = Audio(3000, 1);
    auto tagged = [&](Header h, size_t body) { return Cat({Bytes(h.begin(), h.end()), Bytes(body, 0), audio}); };
    auto with = [](Header h, size_t at, uint8_t value) {
        h[at] = value;
        return h;
    };
    const Header v23 = FormatV2Header(false, 500);
    const struct {
        const char* name;
        Bytes bytes;
        uint64_t audioStart;  // 0: no tag
    } files[] = {
        {"no tag", audio, 0},
        {"ten bytes", Bytes(v23.begin(), v23.end()), 0},
        {"v2.3", tagged(v23, 500), 510},
        {"v2.4 footer", tagged(with(FormatV2Header(true, 500), 5, 0x10), 510), 520},
        {"footer flag in v2.3", tagged(with(v23, 5, 0x10), 500), 510},
        {"v2.2", tagged(with(v23, 3, 2), 500), 510},
        {"major 5", tagged(with(v23, 3, 5), 500), 0},
        {"wrong magic", tagged(with(v23, 2, '4'), 500), 0},
        {"unmasked top bits", tagged(with(with(v23, 8, 1), 9, 0x80), 256), 266},
        // Ten header bytes and 3000 more: the size field against the file's length.
        {"tag only", tagged(FormatV2Header(false, 3000), 0), 3010},
        {"tag cut by the end", tagged(FormatV2Header(false, 3005), 0), 3010},
        {"size equal to the file", tagged(FormatV2Header(false, 3010), 0), 3010},
        {"size beyond the file", tagged(FormatV2Header(false, 3011), 0), 0},
    };
    for (const auto& [name, bytes, expectedStart] : files) {
        for (const size_t length : {40, 700}) {  // frames that fit an old tag, and frames that do not
            SCOPED_TRACE(testing::Message() << name << ", frames " << length);
            BinaryFile file = Open(bytes);
            const ino_t inode = Inode(path_);
            Id3Tag tag;
            const uint64_t audioStart = ReadV2(tag, file);
            EXPECT_EQ(audioStart, expectedStart);

            // The writer keeps what the reader calls audio, behind the tag it planned.
            const Bytes frames = FramesOfLength(length, "T", length == 40);
            const V2WritePlan plan = WriteV2Frames(frames, file, NativePath(path_), {.use24 = length == 40});
            EXPECT_EQ(plan.kind == V2WriteKind::Insert, expectedStart == 0);
            EXPECT_EQ(plan.keepFrom, audioStart);
            EXPECT_EQ(After(), Cat({BuildV2TagBytes(frames, length == 40, plan.padding),
                                    Bytes(bytes.begin() + long(audioStart), bytes.end())}));
            EXPECT_EQ(Inode(path_) == inode, !plan.MovesAudio());  // a move makes a new file
            file.Close();

            BinaryFile again = Open(bytes);
            // The remover takes every whole tag, also one with nothing behind it, and
            // names one that claims more than the file holds instead of leaving it silently.
            const V2Removal removal = RemoveV2Tags(again, NativePath(path_));
            const auto decoded = DecodeV2Header(bytes.data(), bytes.size());
            const bool whole = decoded && decoded->Extent() <= bytes.size();
            EXPECT_EQ(removal.tags, whole ? 1 : 0);
            EXPECT_EQ(removal.overlong.has_value(), decoded && !whole);
            EXPECT_EQ(After(), whole ? Bytes(bytes.begin() + long(audioStart), bytes.end()) : bytes);
        }
    }
}

struct PlanCase {
    const char* name;
    std::optional<uint64_t> oldSpace;
    uint64_t frames, fileSize;
    uint32_t decrease;
    V2WriteKind kind;
    uint64_t padding, newLength;
    uint64_t shiftStart, shiftDistance, cutCount;
};

const PlanCase kPlanCases[] = {
    // No tag, 5000 bytes of audio, 300 bytes of frames: size field 3182, length 8192.
    {"insert", std::nullopt, 300, 5000, kNever, V2WriteKind::Insert, 2882, 8192, 0, 3192, 0},
    // An unpadded length that already is a multiple of 4096 gets a whole block.
    {"insert exact", std::nullopt, 86, 4000, kNever, V2WriteKind::Insert, 4096, 8192, 0, 4192, 0},
    // Old tag 2000, frames 1500, file 100000: in place, 500 bytes of padding.
    {"in place", 2000, 1500, 100000, kNever, V2WriteKind::InPlace, 500, 100000, 0, 0, 0},
    // Old tag 600000, frames 1000, file 5000000, threshold 128 KB: 596800 bytes cut.
    {"cut", 600000, 1000, 5000000, 131072, V2WriteKind::Cut, 2200, 4403200, 0, 0, 596800},
    {"cut never", 600000, 1000, 5000000, kNever, V2WriteKind::InPlace, 599000, 5000000, 0, 0, 0},
    // Surplus one byte below the threshold stays; at the threshold it goes.
    {"below threshold", 600000, 1000, 5000000, 596801, V2WriteKind::InPlace, 599000, 5000000, 0, 0, 0},
    {"at threshold", 600000, 1000, 5000000, 596800, V2WriteKind::Cut, 2200, 4403200, 0, 0, 596800},
    // Old tag 100, frames 300, file 10000: audio up by 2288, padding 2088, length 12288.
    {"grow", 100, 300, 10000, kNever, V2WriteKind::Grow, 2088, 12288, 110, 2288, 0},
    // One byte too many grows; exactly the old space stays.
    {"grow by one", 4000, 4001, 9000, kNever, V2WriteKind::Grow, 3287, 12288, 4010, 3288, 0},
    {"exact fit", 4000, 4000, 9000, 0, V2WriteKind::InPlace, 0, 9000, 0, 0, 0},
    // A v2.4 footer adds 10 bytes of space: size 990 and a footer fit 1000 bytes.
    {"footer reused", 1000, 1000, 50000, kNever, V2WriteKind::InPlace, 0, 50000, 0, 0, 0},
    {"empty frames", 500, 0, 3000, 0, V2WriteKind::InPlace, 500, 3000, 0, 0, 0},
    // Old space not above the ideal size: never cut, even with threshold 0.
    {"old below ideal", 3000, 100, 20000, 0, V2WriteKind::InPlace, 2900, 20000, 0, 0, 0},
};

TEST(WriterPlan, WorkedExamples) {
    for (const PlanCase& c : kPlanCases) {
        SCOPED_TRACE(c.name);
        const V2WritePlan plan = PlanV2Write(c.oldSpace, c.frames, c.fileSize, c.decrease);
        EXPECT_EQ(plan.kind, c.kind);
        EXPECT_EQ(plan.padding, c.padding);
        EXPECT_EQ(plan.newLength, c.newLength);
        EXPECT_EQ(plan.shiftStart, c.shiftStart);
        EXPECT_EQ(plan.shiftDistance, c.shiftDistance);
        EXPECT_EQ(plan.cutCount, c.cutCount);
        EXPECT_EQ(plan.keepFrom, c.oldSpace ? *c.oldSpace + 10 : 0);
    }
}

TEST(WriterPlan, InvariantsOverRandomInputs) {
    std::mt19937_64 rng(4096);
    for (int i = 0; i < 200000; ++i) {
        const uint64_t fileSize = rng() % (uint64_t{1} << (rng() % 33));
        const uint64_t frames = rng() % (uint64_t{1} << (rng() % 21));
        std::optional<uint64_t> old;
        if (fileSize > 10 && rng() % 4 != 0) old = rng() % (fileSize - 9);  // 10 + old <= fileSize
        const uint32_t decrease = (rng() % 3 == 0) ? kNever : static_cast<uint32_t>(rng() % 2000000);
        const V2WritePlan p = PlanV2Write(old, frames, fileSize, decrease);
        SCOPED_TRACE(testing::Message() << fileSize << " " << frames << " " << (old ? *old : 0) << " " << decrease);
        ASSERT_EQ(p.tagBytes, 10 + frames + p.padding);
        ASSERT_LE(p.keepFrom, fileSize);
        ASSERT_EQ(p.newLength, p.tagBytes + fileSize - p.keepFrom);
        if (p.MovesAudio()) {
            ASSERT_GE(p.padding, 1u);
            ASSERT_LE(p.padding, 4096u);
            ASSERT_EQ(p.newLength % 4096, 0u);
        } else {
            ASSERT_EQ(p.newLength, fileSize);
        }
        switch (p.kind) {
            case V2WriteKind::Insert: ASSERT_FALSE(old); break;
            case V2WriteKind::Grow: ASSERT_LT(*old, frames); break;
            case V2WriteKind::InPlace: ASSERT_GE(*old, frames); break;
            case V2WriteKind::Cut:
                ASSERT_GE(p.cutCount, decrease);
                ASSERT_EQ(p.newLength, fileSize - p.cutCount);
                break;
        }
    }
}

TEST_F(WriterTest, AFooterCountsAsSpaceAndIsOverwritten) {
    const Bytes audio = Audio(30000, 7);
    const Bytes before = Cat({Tag(4, Bytes(990, 'T'), 0, 0x10), B("3DI"), B({4, 0, 0x10, 0, 0, 0x07, 0x5E}), audio});
    const Bytes frames = FramesOfLength(1000, "Footer", true);
    BinaryFile file = Open(before);
    EXPECT_EQ(WriteV2Frames(frames, file, NativePath(path_), {}).kind, V2WriteKind::InPlace);
    EXPECT_EQ(After(), Cat({B("ID3"), B({4, 0, 0}), Syncsafe(1000), frames, audio}));
}

// Bytes the reader could not read stay at the end of the tag, behind ten zeros at least,
// whether the tag is inserted, rewritten with no room to spare, or given padding.
TEST_F(WriterTest, UnreadBytesStayBehindThePadding) {
    const Bytes frames = Text(4, "TIT2", "T");
    const Bytes unread = Cat({B("TALB"), BigEndian(999), B({0, 'x'})});
    const Bytes audio = Audio(3000, 3);
    for (const uint32_t old : {0u, uint32_t(frames.size() + 10 + unread.size()), 5000u}) {
        BinaryFile file = Open(old ? TaggedFile(old, audio, 4) : audio);
        const V2WritePlan plan = WriteV2Frames(frames, file, NativePath(path_), {}, unread);
        EXPECT_EQ(plan.padding == 0, old == frames.size() + 10 + unread.size()) << old;
        const size_t zeros = plan.padding + 10;  // other readers stop at the zeros
        EXPECT_EQ(After(), Cat({B("ID3"), B({4, 0, 0}), Syncsafe(uint32_t(frames.size() + zeros + unread.size())), frames,
                                Bytes(zeros, 0), unread, audio}));
        Id3Tag tag;
        ReadV2(tag, file);
        EXPECT_EQ(FrameLetters(tag), Letters({"TIT2"}));
        EXPECT_EQ(Unread(tag), unread);
    }
}

TEST_F(WriterTest, FilesAndTagsTooLargeAreRefusedUntouched) {
    // 4 GiB and more: the size arithmetic is 32-bit. Sparse files use no disk space.
    const Bytes start = TaggedFile(100, Audio(1000, 9));
    test::WriteFileBytes(path_, start);
    fs::resize_file(path_, uint64_t{1} << 32);
    // A size field whose top bits are set decodes beyond 28 bits: such a tag cannot be
    // rewritten in place with a truthful size.
    const fs::path wide = dir_ / "wide.mp3";
    test::WriteFileBytes(wide, B({'I', 'D', '3', 3, 0, 0, 0x80, 0, 0, 0}));
    fs::resize_file(wide, 270'000'000);
    for (const fs::path& path : {path_, wide}) {
        const auto size = fs::file_size(path);
        BinaryFile file = test::OpenForSave(path);
        for (size_t frames : {50, 5000}) {  // would fit, would grow
            try {
                WriteV2Frames(FramesOfLength(frames, "Big", true), file, NativePath(path), {});
                ADD_FAILURE() << "written";
            } catch (const FileException& e) {
                EXPECT_EQ(e.error, kErrorFileTooLarge);
            }
        }
        file.Close();
        EXPECT_EQ(fs::file_size(path), size);
    }
    BinaryFile file = test::OpenForSave(path_);
    EXPECT_THROW(RemoveV2Tags(file, NativePath(path_)), FileException);
    file.Close();
    Bytes head(start.size());
    std::ifstream(path_, std::ios::binary).read(reinterpret_cast<char*>(head.data()), long(head.size()));
    EXPECT_EQ(head, start);
}

// Every kind of save writes through the failure seam; a failed save leaves the tag
// unsaved, so that the next save writes it. A save marks only the frames saved.
TEST_F(WriterTest, AFailedSaveKeepsTheTagUnsavedAndTheNextOneGoesThrough) {
    const Bytes audio = Audio(400000, 11);
    struct Case {
        const char* name;
        Bytes before;
        size_t picture;
        uint32_t decrease;
        bool remove;
    };
    const Case cases[] = {
        {"insert", audio, 0, kNever, false},
        {"grow", TaggedFile(100, audio), 3000, kNever, false},
        {"cut", TaggedFile(600000, audio), 0, 131072, false},
        {"in place", TaggedFile(5000, audio), 0, kNever, false},
        {"remove", TaggedFile(700, audio), 0, kNever, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BinaryFile file = Open(c.before);
        Id3Tag tag;
        FailFirstWrite faults;
        TagWriteOptions options{.decreasePaddingVal = c.decrease, .faults = &faults};
        if (!c.remove) WriteV2(tag, file, NativePath(path_), options);  // unchanged: nothing written
        tag.SetText(kFrameTIT2, u"Title");
        tag.V1().SetTrack(4);
        if (c.picture) tag.SetPicture(3, "image/png", u"", Bytes(c.picture, 0x42));
        try {
            c.remove ? (void)RemoveV2(tag, file, NativePath(path_), options) : WriteV2(tag, file, NativePath(path_), options);
            ADD_FAILURE() << "no failure";
        } catch (const FileException& e) {
            EXPECT_EQ(e.error, uint32_t(ENOSPC));
        }
        EXPECT_TRUE(tag.Frames()[0]->HasChanged());  // the file itself is the rewrite's to keep intact

        options.faults = nullptr;
        c.remove ? (void)RemoveV2(tag, file, NativePath(path_), options) : WriteV2(tag, file, NativePath(path_), options);
        EXPECT_TRUE(tag.V1().IsChanged());
        tag.V1().SetChanged(false);
        EXPECT_FALSE(tag.IsChanged());
        EXPECT_TRUE(AudioBytes(After()) == audio);
    }
}

// Tags stacked at the start all go (the reader shows the first one's frames); a tag
// whose header claims more than is left is named and left with what follows it.
TEST_F(WriterTest, RemovalTakesEveryStackedTagAndNamesAnOverlongOne) {
    const Bytes first = Tag(3, Text(3, "TIT2", "First"), 20), second = Tag(4, Text(4, "TIT2", "Second"));
    const Bytes footed = Cat({Tag(4, Text(4, "TPE1", "F"), 0, 0x10), B("3DI"), B({4, 0, 0x10, 0, 0, 0, 12})});
    const Bytes overlong = Cat({B("ID3"), B({3, 0, 0}), Syncsafe(5000), Bytes(100, 1)});
    const Bytes audio = Audio(5000, 3);
    Bytes nine;
    for (int i = 0; i < 9; ++i) nine = Cat({nine, second});
    struct Case {
        const char* name;
        Bytes before;
        int tags;
        Bytes after;
        std::optional<uint64_t> overlongAt;
    };
    const Case cases[] = {
        {"two tags", Cat({first, second, audio}), 2, audio, {}},
        {"a footer between", Cat({first, footed, second, audio}), 3, audio, {}},
        {"tags only", Cat({first, second}), 2, {}, {}},
        {"a header only", Tag(3, {}), 1, {}, {}},
        {"junk between", Cat({first, Bytes(1, 0), second, audio}), 1, Cat({Bytes(1, 0), second, audio}), {}},
        {"overlong behind", Cat({first, overlong}), 1, overlong, first.size()},
        {"overlong first", Cat({overlong, Audio(200, 4)}), 0, Cat({overlong, Audio(200, 4)}), 0},
        {"more than the bound", Cat({nine, audio}), 8, Cat({second, audio}), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BinaryFile file = Open(c.before);
        Id3Tag tag;
        tag.SetText(kFrameTIT2, u"x");
        const V2Removal removal = RemoveV2(tag, file, NativePath(path_), {});
        EXPECT_FALSE(tag.IsChanged());
        EXPECT_EQ(removal.tags, c.tags);
        EXPECT_EQ(removal.bytes, c.before.size() - c.after.size());
        EXPECT_EQ(removal.overlong ? std::optional(removal.overlong->offset) : std::nullopt, c.overlongAt);
        if (removal.overlong) {
            EXPECT_EQ(removal.overlong->claimed, 5010u);
            EXPECT_EQ(removal.overlong->available, c.before.size() - *c.overlongAt);
        }
        EXPECT_EQ(After(), c.after);
    }
    Id3Tag read;
    EXPECT_EQ(ReadTagBytes(dir_, cases[0].before, read), first.size());
    EXPECT_EQ(TextOf(read, kFrameTIT2), "First");
}

TEST_F(WriterTest, AnotherCodePageReadsAndWritesCyrillicWhileTheSystemOneStays) {
    const CodePage cp1251("CP1251");
    const std::string privet = "\xCF\xF0\xE8\xE2\xE5\xF2";
    Id3Tag fromSystem, fromOption;
    Read(Tag(3, Text(3, "TIT2", privet)), fromSystem);
    Read(Tag(3, Text(3, "TIT2", privet)), fromOption, {.codePage = &cp1251});
    EXPECT_EQ(fromOption.GetText(kFrameTIT2), u"Привет");
    EXPECT_EQ(fromSystem.GetText(kFrameTIT2), u"Ïðèâåò");

    BinaryFile file = Open(Audio(1000, 2));
    Id3Tag tag;
    tag.SetText(kFrameTIT2, u"Привет");
    tag.V1().SetString(Id3v1Record::kTitle, u"Привет");
    const TagWriteOptions options{.use24 = false, .codePage = &cp1251};
    WriteV1(tag.V1(), file, options);
    WriteV2(tag, file, NativePath(path_), options);
    const Bytes after = After();
    EXPECT_EQ(Bytes(after.begin() + 10, after.begin() + 27), Text(3, "TIT2", privet));
    EXPECT_EQ(std::string(after.end() - 125, after.end() - 119), privet);
    Id3v1Record system, option;
    ASSERT_TRUE(ReadV1(file, system));
    ASSERT_TRUE(ReadV1(file, option, cp1251));
    EXPECT_EQ(option.GetString(Id3v1Record::kTitle), u"Привет");
    EXPECT_EQ(system.GetString(Id3v1Record::kTitle), u"Ïðèâåò");
}

}  // namespace
}  // namespace quorvane::tagtest
