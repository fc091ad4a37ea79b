// The ID3v1 record: reading, the field widths, writing, replacing and removing it at the
// end of a file, and the genre list.
#include "tag_test_util.h"

namespace quorvane::tagtest {
namespace {

// A record as another program wrote it; a comment of 30 characters reaches the track byte.
Bytes Record(std::string_view title, std::string_view comment, uint8_t track, uint8_t genre) {
    Bytes r = B("TAG");
    r.resize(128, 0);
    std::copy(title.begin(), title.end(), r.begin() + 3);
    if (comment.size() < 30) r[126] = track;
    std::copy(comment.begin(), comment.end(), r.begin() + 97);
    r[127] = genre;
    return r;
}

TEST(GenreList, NamesLookupsAndLimits) {
    const std::pair<uint32_t, std::u16string_view> names[] = {
        {0, u"Blues"}, {17, u"Rock"}, {79, u"Hard Rock"}, {80, u"Folk"}, {125, u"Dance Hall"}, {126, u""}, {255, u""}};
    for (auto [number, name] : names) EXPECT_EQ(GenreName(number), name) << number;
    bool found = false;
    EXPECT_EQ(GenreIndex(u"rock & roll", &found), 78);
    EXPECT_TRUE(found);
    EXPECT_EQ(GenreIndex(u"Polka Rock", &found), 255);
    EXPECT_FALSE(found);
    for (uint32_t i = 0; i < kGenreCount; ++i) EXPECT_EQ(GenreIndex(GenreName(i)), i) << i;  // names are unique
}

TEST(Id3v1Read, TrimmedFieldsTheV10CommentAndTheByteLimits) {
    struct Case {
        Bytes file;
        std::u16string title, comment;
        uint8_t track, genre;
    };
    const Case cases[] = {
        {Cat({B("audio"), Record("Title  \t", "123456789012345678901234567890", 0, 17)}), u"Title",
         u"12345678901234567890123456789", '0', 17},
        {Record("Caf\xE9 \x80", "", 255, 255), u"Café €", u"", 255, 255},
        {Cat({B("audio"), Record("", "", 0, 0)}), u"", u"", 0, 0},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        test::WriteFileBytes(dir / "a.mp3", c.file);
        BinaryFile file = test::OpenForSave(dir / "a.mp3");
        Id3v1Record record;
        ASSERT_TRUE(ReadV1(file, record));
        EXPECT_EQ(record.GetString(Id3v1Record::kTitle), c.title);
        EXPECT_EQ(record.GetString(Id3v1Record::kComment), c.comment);
        EXPECT_EQ(record.Track(), c.track);
        EXPECT_EQ(record.Genre(), c.genre);
    }
    for (const Bytes& none : {B("TAG"), Bytes(300, 'x'), Bytes()}) {
        test::WriteFileBytes(dir / "a.mp3", none);
        BinaryFile file = test::OpenForSave(dir / "a.mp3");
        Id3v1Record record;
        EXPECT_FALSE(ReadV1(file, record));
    }
}

TEST(Id3v1Encode, FieldsAtTheirWidths) {
    Id3v1Record record;
    record.SetString(Id3v1Record::kTitle, u"12345678901234567890123456789012345");
    record.SetString(Id3v1Record::kArtist, u"Abc");
    record.SetString(Id3v1Record::kComment, u"12345678901234567890123456789");
    record.SetTrack(255);
    const auto full = EncodeV1(record);
    EXPECT_EQ(Bytes(full.begin(), full.begin() + 63),
              Cat({B("TAG123456789012345678901234567890Abc"), Bytes(27, 0)}));
    EXPECT_EQ(Bytes(full.begin() + 124, full.end()), B({'8', '9', 255, 255}));  // 29 comment bytes
    record.SetString(Id3v1Record::kComment, u"1234567890123456789012345678");
    record.SetTrack(1);
    const auto shorter = EncodeV1(record);
    EXPECT_EQ(Bytes(shorter.begin() + 124, shorter.end()), B({'8', 0, 1, 255}));
}

TEST(Id3v1Write, AppendsReplacesOrDropsTheRecordAtTheEnd) {
    Id3v1Record named;
    named.SetString(Id3v1Record::kArtist, u"Someone");
    Id3v1Record empty;
    ClearV1(empty);
    const auto bytes = [](const Id3v1Record& r) { const auto a = EncodeV1(r); return Bytes(a.begin(), a.end()); };
    const Bytes audio(1000, 'a'), old = Record("Old", "", 1, 2);
    struct Case {
        const char* name;
        Bytes before;
        const Id3v1Record& record;
        bool autoDelete;
        V1Outcome outcome;
        Bytes after;
    };
    const Case cases[] = {
        {"append", audio, named, true, V1Outcome::Written, Cat({audio, bytes(named)})},
        {"replace", Cat({audio, old}), named, true, V1Outcome::Written, Cat({audio, bytes(named)})},
        {"a file that is one record", old, named, true, V1Outcome::Written, bytes(named)},
        {"empty removes", Cat({audio, old}), empty, true, V1Outcome::Removed, audio},
        {"empty, none before", audio, empty, true, V1Outcome::Removed, audio},
        {"empty kept", Cat({audio, old}), empty, false, V1Outcome::Written,
         Cat({audio, B("TAG"), Bytes(124, 0), B({255})})},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        test::WriteFileBytes(dir / "a.mp3", c.before);
        BinaryFile file = test::OpenForSave(dir / "a.mp3");
        Id3v1Record record = c.record;
        record.SetChanged(true);
        EXPECT_EQ(WriteV1(record, file, {.autoDeleteV1 = c.autoDelete}), c.outcome) << c.name;
        EXPECT_FALSE(record.IsChanged());
        EXPECT_EQ(WriteV1(record, file, {}), V1Outcome::Unchanged);
        EXPECT_EQ(test::ReadFileBytes(dir / "a.mp3"), c.after) << c.name;
    }
    // Removing cuts a record off, leaves the fields in memory and finds none the second time.
    test::WriteFileBytes(dir / "a.mp3", old);
    BinaryFile file = test::OpenForSave(dir / "a.mp3");
    EXPECT_TRUE(RemoveV1(named, file));
    EXPECT_EQ(file.GetSize(), 0u);
    EXPECT_FALSE(RemoveV1(named, file));
    EXPECT_EQ(named.GetString(Id3v1Record::kArtist), u"Someone");
}

}  // namespace
}  // namespace quorvane::tagtest
