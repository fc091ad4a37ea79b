// The ID3v1 record: reading, writing, removing, and the genre list.
#include "tag_test_util.h"

namespace quorvane::tagtest {
namespace {

class Id3v1Test : public SettingsTest {
protected:
    // Opens the file for reading and writing.
    BinaryFile Open(const std::filesystem::path& path) {
        BinaryFile file;
        uint32_t error = 0;
        EXPECT_TRUE(file.Open(PathFromNative(path.string()), OpenMode::Update, error));
        return file;
    }
    static Bytes Record(std::string_view title, std::string_view comment30, uint8_t track, uint8_t genre) {
        Bytes r = B("TAG");
        r.resize(128, 0);
        std::copy(title.begin(), title.end(), r.begin() + 3);
        r[126] = track;
        r[127] = genre;
        // A 30-character comment runs into the track byte (ID3v1.0).
        std::copy(comment30.begin(), comment30.end(), r.begin() + 97);
        return r;
    }
};

TEST(GenreList, NamesAndLookups) {
    EXPECT_EQ(GenreName(0), u"Blues");
    EXPECT_EQ(GenreName(17), u"Rock");
    EXPECT_EQ(GenreName(79), u"Hard Rock");
    EXPECT_EQ(GenreName(80), u"Folk");
    EXPECT_EQ(GenreName(125), u"Dance Hall");
    EXPECT_TRUE(GenreName(126).empty());
    EXPECT_TRUE(GenreName(255).empty());
    bool found = false;
    EXPECT_EQ(GenreIndex(u"rock", &found), 17);
    EXPECT_TRUE(found);
    EXPECT_EQ(GenreIndex(u"Rock & Roll"), 78);
    EXPECT_EQ(GenreIndex(u"Polka Rock", &found), 255);
    EXPECT_FALSE(found);
    for (uint32_t i = 0; i < kGenreCount; ++i) {
        ASSERT_FALSE(GenreName(i).empty());
        EXPECT_EQ(GenreIndex(GenreName(i)), i) << i;  // every name is unique
    }
}

TEST_F(Id3v1Test, ReadsTrimmedFieldsAndTheV10CommentQuirk) {
    const auto path = Path("a.mp3");
    test::WriteFileBytes(path, Cat({B("audio"), Record("Title  \t", "123456789012345678901234567890", 0, 17)}));
    BinaryFile file = Open(path);
    Id3v1Record record;
    ASSERT_TRUE(ReadV1(file, record));
    EXPECT_EQ(record.GetString(Id3v1Record::kTitle), u"Title");
    EXPECT_EQ(record.GetString(Id3v1Record::kComment), u"12345678901234567890123456789");
    EXPECT_EQ(record.Track(), '0');
    EXPECT_EQ(record.Genre(), 17);
    EXPECT_TRUE(record.IsChanged());
}

TEST_F(Id3v1Test, NoRecordInShortOrUntaggedFiles) {
    Id3v1Record record;
    test::WriteFileBytes(Path("short"), B("TAG"));
    BinaryFile shortFile = Open(Path("short"));
    EXPECT_FALSE(ReadV1(shortFile, record));
    test::WriteFileBytes(Path("plain"), Bytes(300, 'x'));
    BinaryFile plain = Open(Path("plain"));
    EXPECT_FALSE(ReadV1(plain, record));
    EXPECT_TRUE(record.IsEmpty());
}

TEST_F(Id3v1Test, WritesFieldsAtTheirWidths) {
    Id3v1Record record;
    record.SetString(Id3v1Record::kTitle, u"12345678901234567890123456789012345");
    record.SetString(Id3v1Record::kArtist, u"Abc");
    record.SetString(Id3v1Record::kComment, u"12345678901234567890123456789");
    record.SetTrack(7);
    const auto bytes = EncodeV1(record);
    EXPECT_EQ(std::string(bytes.begin() + 3, bytes.begin() + 33), "123456789012345678901234567890");
    EXPECT_EQ(std::string(bytes.begin() + 33, bytes.begin() + 36), "Abc");
    EXPECT_TRUE(std::all_of(bytes.begin() + 36, bytes.begin() + 63, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(bytes[125], '9');  // a 29-character comment fills byte 125
    EXPECT_EQ(bytes[126], 7);
    EXPECT_EQ(bytes[127], 255);

    record.SetString(Id3v1Record::kComment, u"1234567890123456789012345678");
    EXPECT_EQ(EncodeV1(record)[125], 0);
}

TEST_F(Id3v1Test, WriteAppendsReplacesAndAutoDeletes) {
    const auto path = Path("a.mp3");
    test::WriteFileBytes(path, Bytes(1000, 'a'));
    Id3v1Record record;
    record.SetString(Id3v1Record::kArtist, u"Someone");
    {
        BinaryFile file = Open(path);
        WriteV1(record, file);
    }
    EXPECT_FALSE(record.IsChanged());
    EXPECT_EQ(std::filesystem::file_size(path), 1128u);
    record.SetString(Id3v1Record::kArtist, u"Other");
    {
        BinaryFile file = Open(path);
        WriteV1(record, file);
        Id3v1Record back;
        ASSERT_TRUE(ReadV1(file, back));
        EXPECT_EQ(back.GetString(Id3v1Record::kArtist), u"Other");
    }
    EXPECT_EQ(std::filesystem::file_size(path), 1128u);

    // An unchanged record writes nothing.
    {
        BinaryFile file = Open(path);
        ClearV1(record);
        record.SetChanged(false);
        WriteV1(record, file);
    }
    EXPECT_EQ(std::filesystem::file_size(path), 1128u);

    ClearV1(record);
    EXPECT_TRUE(record.IsEmpty());
    EXPECT_TRUE(record.IsChanged());
    {
        BinaryFile file = Open(path);
        WriteV1(record, file);
    }
    EXPECT_EQ(std::filesystem::file_size(path), 1000u);

    SetBool("AutoDeleteV1", false);
    ClearV1(record);
    {
        BinaryFile file = Open(path);
        WriteV1(record, file);
    }
    const Bytes all = test::ReadFileBytes(path);
    ASSERT_EQ(all.size(), 1128u);
    Bytes expected = B("TAG");
    expected.resize(127, 0);
    expected.push_back(255);
    EXPECT_EQ(Bytes(all.end() - 128, all.end()), expected);
}

TEST_F(Id3v1Test, AFileThatIsOneRecord) {
    const auto path = Path("tag.mp3");
    test::WriteFileBytes(path, Record("Old", "", 1, 2));
    Id3v1Record record;
    {
        BinaryFile file = Open(path);
        ASSERT_TRUE(ReadV1(file, record));
        record.SetString(Id3v1Record::kTitle, u"New");
        WriteV1(record, file);
    }
    EXPECT_EQ(std::filesystem::file_size(path), 128u);
    {
        BinaryFile file = Open(path);
        RemoveV1(record, file);
    }
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    EXPECT_EQ(record.GetString(Id3v1Record::kTitle), u"New");  // memory untouched
    {
        BinaryFile file = Open(path);
        RemoveV1(record, file);  // nothing to cut
    }
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST_F(Id3v1Test, CodePageTextRoundTrips) {
    const auto path = Path("cp.mp3");
    test::WriteFileBytes(path, Bytes(10, 'a'));
    Id3v1Record record;
    record.SetString(Id3v1Record::kTitle, u"Café €5");
    {
        BinaryFile file = Open(path);
        WriteV1(record, file);
    }
    const Bytes all = test::ReadFileBytes(path);
    EXPECT_EQ(all[10 + 3 + 3], 0xE9);  // é in Windows-1252
    BinaryFile file = Open(path);
    Id3v1Record back;
    ASSERT_TRUE(ReadV1(file, back));
    EXPECT_EQ(back.GetString(Id3v1Record::kTitle), u"Café €5");
}

}  // namespace
}  // namespace quorvane::tagtest
