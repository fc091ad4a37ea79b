// The ID3v2 writer on files: a footer's space, files too large, failures on the way and
// the tag's marks. (The worked examples are the plan's; where a tag ends, for writing and
// removing alike, is checked with the header parser.)
#include <fstream>

#include "tag_test_util.h"
#include "tags/id3v2_writer.h"

namespace quorvane::tagtest {
namespace {

// A file with an old tag whose size field is `size` (a body of 'T's), then the audio.
Bytes TaggedFile(uint32_t size, const Bytes& audio, uint8_t major = 3, uint8_t flags = 0) {
    auto header = FormatV2Header(major == 4, size);
    header[3] = major;
    header[5] = flags;
    Bytes file(header.begin(), header.end());
    file.resize(10 + size, 'T');
    return Cat({file, audio});
}

// Throws ENOSPC once more than `budget` bytes were to be written.
class FailAfter : public SaveFaults {
public:
    explicit FailAfter(uint64_t budget) : budget_(budget) {}
    void BeforeWrite(uint64_t count) override {
        if ((written_ += count) > budget_) throw FileException{ENOSPC};
    }

private:
    uint64_t budget_;
    uint64_t written_ = 0;
};

class WriterTest : public ::testing::Test {
protected:
    BinaryFile Open(const Bytes& bytes) {
        test::WriteFileBytes(path_, bytes);
        return test::OpenForSave(path_);
    }
    Bytes After() const { return test::ReadFileBytes(path_); }
    test::TempDir dir_;
    fs::path path_ = dir_ / "song.mp3";
};

TEST_F(WriterTest, AFooterCountsAsSpaceAndIsOverwritten) {
    const Bytes audio = Audio(30000, 7);
    const Bytes before = Cat({TaggedFile(990, {}, 4, 0x10), B("3DI"), B({4, 0, 0x10, 0, 0, 0x07, 0x5E}), audio});
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
        EXPECT_EQ(After(), Cat({BuildV2TagBytes(frames, true, plan.padding + kZerosBeforeUnread, unread), audio}));
        Id3Tag tag;
        ReadV2(tag, file);
        EXPECT_EQ(FrameLetters(tag), Letters({"TIT2"}));
        EXPECT_EQ(Bytes(tag.UnreadBytes().begin(), tag.UnreadBytes().end()), unread);
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

// Every write of a save passes the failure seam, whatever moves; a failed save leaves the
// tag unsaved, so that the next save writes it.
TEST_F(WriterTest, AFailedSaveKeepsTheTagUnsavedAndTheNextOneGoesThrough) {
    const Bytes audio = Audio(400000, 11);
    struct Case {
        const char* name;
        Bytes before;
        size_t picture;
        uint32_t decrease;
        bool remove, moves;
    };
    const Case cases[] = {
        {"insert", audio, 0, kNever, false, true},
        {"grow", TaggedFile(100, audio), 3000, kNever, false, true},
        {"cut", TaggedFile(600000, audio), 0, 131072, false, true},
        {"in place", TaggedFile(5000, audio), 0, kNever, false, false},
        {"remove", TaggedFile(700, audio), 0, kNever, true, true},
    };
    for (const Case& c : cases) {
        for (const uint64_t budget : {uint64_t{0}, uint64_t{150000}}) {
            if (budget && !c.moves) continue;  // an in-place write fails only before its first byte
            SCOPED_TRACE(testing::Message() << c.name << " budget " << budget);
            BinaryFile file = Open(c.before);
            Id3Tag tag;
            tag.SetText(kFrameTIT2, u"Title");
            if (c.picture) tag.SetPicture(3, "image/png", u"", Bytes(c.picture, 0x42));
            FailAfter faults(budget);
            TagWriteOptions options{.decreasePaddingVal = c.decrease, .faults = &faults};
            try {
                c.remove ? (void)RemoveV2(tag, file, NativePath(path_), options) : WriteV2(tag, file, NativePath(path_), options);
                ADD_FAILURE() << "no failure";
            } catch (const FileException& e) {
                EXPECT_EQ(e.error, uint32_t(ENOSPC));
            }
            EXPECT_TRUE(tag.IsChanged());  // the file itself is the rewrite's to keep intact

            options.faults = nullptr;
            c.remove ? (void)RemoveV2(tag, file, NativePath(path_), options) : WriteV2(tag, file, NativePath(path_), options);
            EXPECT_FALSE(tag.IsChanged());
            EXPECT_TRUE(AudioBytes(After()) == audio);
        }
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

TEST_F(WriterTest, MarksDecideAndOnlyTheFramesAreMarkedSaved) {
    BinaryFile file = Open(TaggedFile(700, Audio(5000, 12)));
    Id3Tag tag;
    FailAfter noWrites(0);
    WriteV2(tag, file, NativePath(path_), {.faults = &noWrites});  // unchanged: nothing to write
    tag.SetText(kFrameTIT2, u"x");
    tag.V1().SetTrack(4);
    EXPECT_EQ(Render(tag, true), Text(4, "TIT2", "x"));  // rendering alone leaves the marks
    EXPECT_TRUE(tag.Frames()[0]->HasChanged());
    WriteV2(tag, file, NativePath(path_), {});
    EXPECT_FALSE(tag.Frames()[0]->HasChanged());
    EXPECT_TRUE(tag.V1().IsChanged());
    tag.V1().SetChanged(false);
    EXPECT_FALSE(tag.IsChanged());
}

}  // namespace
}  // namespace quorvane::tagtest
