// The tag model in memory, and the ID3v1 record.
#include "tag_test_util.h"
#include "tags/picture_format.h"

namespace quorvane::tagtest {
namespace {

// RVAD and EQUA keep their names: RVA2 and EQU2 lay their bodies out differently.
TEST(FrameIds, ThreeIdentifiersWereRenamedBetweenTheVersions) {
    const std::pair<FrameId, FrameId> pairs[] = {{kFrameIPLS, kFrameTIPL}, {kFrameTORY, kFrameTDOR},
                                                 {kFrameTYER, kFrameTDRC}};
    int mapped = 0;
    for (FrameId id = 0; id < kFrameIdCount; ++id) mapped += (ToV24Id(id) != id) + (ToV23Id(id) != id);
    EXPECT_EQ(mapped, 6);
    for (auto [v23, v24] : pairs) {
        EXPECT_EQ(ToV24Id(v23), v24);
        EXPECT_EQ(ToV23Id(v24), v23);
    }
    EXPECT_EQ(Id3Frame::Make(kFrameTYER)->Id(), kFrameTDRC);
    EXPECT_FALSE(LookupFrameId("tit2"));
}

// A frame kept raw (say, compressed) has no text field to set; it is replaced.
TEST(TagText, SettingMakesOrReplacesFramesAndTrimsTracksOnlyWhenEdited) {
    Id3Tag tag;
    tag.SetText(kFrameTIT2, u"");
    std::u16string text = u"x";
    EXPECT_TRUE(tag.GetText(kFrameTIT2, text));
    EXPECT_EQ(text, u"");
    EXPECT_FALSE(tag.GetText(kFrameTALB, text));
    auto raw = Id3Frame::Make(kFrameTPE1, 0, FrameFamily::Raw);
    raw->Data(FieldRole::Body)->SetData(B("xyz"));
    tag.AddFrame(std::move(raw));
    tag.SetText(kFrameTPE1, u"Artist");
    EXPECT_EQ(TextOf(tag, kFrameTPE1), "Artist");
    tag.SetText(kFrameTRCK, u"007");
    EXPECT_EQ(TextOf(tag, kFrameTRCK), "007");
    for (auto [in, out] : {std::pair{u"007", "7"}, {u"0", "0"}, {u"000", "0"}, {u"0/12", "/12"}, {u"010", "10"}}) {
        tag.SetText(kFrameTRCK, in);
        EXPECT_EQ(TextOf(tag, kFrameTRCK), out) << out;
    }
    EXPECT_EQ(FrameLetters(tag), Letters({"TIT2", "TPE1", "TRCK"}));
}

TEST(TagText, GenresByNameAndNumberResolveAndReferencesAreKept) {
    const std::pair<const char16_t*, const char*> cases[] = {
        {u"(17)", "Rock"},   {u"(17)Rock & Roll", "Rock & Roll"}, {u"(125)", "Dance Hall"}, {u"(126)", ""},
        {u"(300)", ""},      {u"(-1)", ""},                       {u"(", "Blues"},         {u"Heavy", "Heavy"},
        {u"", ""},           {u"35", "House"},                    {u"0", "Blues"},         {u"125", "Dance Hall"},
        {u"126", "126"},     {u"35abc", "35abc"},                 {u"0035", "0035"}};
    for (auto [tcon, genre] : cases) {
        Id3Tag tag;
        tag.SetText(kFrameTCON, tcon);
        EXPECT_EQ(U8(tag.GetGenre()), genre) << U8(tcon);
    }
    EXPECT_EQ(U8(Id3Tag().GetGenre()), "");
    // v2.4 values: the first is the genre shown, all are kept.
    Id3Tag multi;
    multi.AddFrame(MakeTextFrame(kFrameTCON, u""));
    multi.FindFrame(kFrameTCON)->Text()->Assign(u"35", {u"Pop"});
    EXPECT_EQ(U8(multi.GetGenre()), "House");
    EXPECT_EQ(Render(multi, true), Frame(4, "TCON", Cat({B({0}), B("35"), B({0}), B("Pop")})));
    // The genre list: names (0, 17, 125 and 126 are above), lookups and limits.
    const std::pair<uint32_t, std::u16string_view> names[] = {{79, u"Hard Rock"}, {80, u"Folk"}, {255, u""}};
    for (auto [number, name] : names) EXPECT_EQ(GenreName(number), name) << number;
    bool found = false;
    EXPECT_EQ(GenreIndex(u"rock & roll", &found), 78);
    EXPECT_TRUE(found);
    EXPECT_EQ(GenreIndex(u"Polka Rock", &found), 255);
    EXPECT_FALSE(found);
    for (uint32_t i = 0; i < kGenreCount; ++i) EXPECT_EQ(GenreIndex(GenreName(i)), i) << i;  // names are unique
    // Setting a genre name keeps an existing reference to the same genre.
    struct Case {
        const char16_t* before;  // null: no TCON frame
        const char* after;
        bool changed;
    };
    for (const Case& c : {Case{nullptr, "rock", true}, Case{u"(17)", "(17)", false}, Case{u"Pop", "rock", true}}) {
        Id3Tag tag;
        if (c.before) tag.SetText(kFrameTCON, c.before);
        tag.ClearChanged();
        tag.SetText(kFrameTCON, u"rock");
        EXPECT_EQ(TextOf(tag, kFrameTCON), c.after);
        EXPECT_EQ(tag.IsChanged(), c.changed) << c.after;
    }
}

TEST(TagText, CopyFromV1TrimsAndTakesGenreAndTrackAtTheirLimits) {
    Id3Tag tag;
    auto& v1 = tag.V1();
    v1.SetString(Id3v1Record::kTitle, u"  Title\t");
    v1.SetString(Id3v1Record::kArtist, u"\r\nArtist ");
    v1.SetString(Id3v1Record::kYear, u"1999");
    v1.SetString(Id3v1Record::kComment, u"not copied");
    v1.SetGenre(125);
    v1.SetTrack(255);
    tag.CopyFromV1();
    EXPECT_EQ(FrameLetters(tag), Letters({"TIT2", "TPE1", "TALB", "TDRC", "TCON", "TRCK"}));
    for (auto [id, text] : {std::pair{kFrameTIT2, "Title"}, {kFrameTPE1, "Artist"}, {kFrameTALB, ""},
                            {kFrameTDRC, "1999"}, {kFrameTCON, "(125)"}, {kFrameTRCK, "255"}}) {
        EXPECT_EQ(TextOf(tag, id), text) << FrameIdName(id);
    }
    // Genre 126 has no name and track 0 is none.
    Id3Tag other;
    other.V1().SetGenre(126);
    other.CopyFromV1();
    EXPECT_EQ(FrameLetters(other), Letters({"TIT2", "TPE1", "TALB", "TDRC", "TCON"}));
    EXPECT_EQ(TextOf(other, kFrameTCON), "");
}

TEST(TagFrames, FindWalksOneIdRemovalMarksTheTagAndEqualityGoesByField) {
    Id3Tag tag;
    tag.AddComment("eng", u"a", u"1");
    tag.SetText(kFrameTIT2, u"t");
    tag.AddComment("eng", u"b", u"2");
    Id3Frame* first = tag.FindFrame(kFrameCOMM);
    Id3Frame* second = tag.FindFrame(kFrameCOMM, first);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(second->Text(FieldRole::Description)->Text(), u"b");
    EXPECT_EQ(tag.FindFrame(kFrameCOMM, second), nullptr);
    // A start frame of another id, or one not in the tag, is never met.
    EXPECT_EQ(tag.FindFrame(kFrameCOMM, tag.FindFrame(kFrameTIT2)), nullptr);
    EXPECT_EQ(tag.FindFrame(kFrameTIT2, first), nullptr);
    const auto stranger = Id3Frame::Make(kFrameCOMM);
    EXPECT_EQ(tag.FindFrame(kFrameCOMM, stranger.get()), nullptr);
    EXPECT_EQ(tag.FindComment(u"b"), second);
    EXPECT_EQ(tag.FindComment(u"B"), nullptr);

    tag.ClearChanged();
    tag.RemoveFrame(stranger.get());
    EXPECT_FALSE(tag.IsChanged());
    int removed = 0;
    while (tag.RemoveFrameById(kFrameCOMM)) ++removed;
    EXPECT_EQ(removed, 2);
    EXPECT_TRUE(tag.IsChanged());
    tag.ClearChanged();
    tag.RemoveAllFrames();
    EXPECT_TRUE(tag.IsChanged());

    // A language that is no code is English; frames are equal field by field.
    tag.AddComment("de", u"", u"x");
    tag.AddComment("fra", u"", u"y");
    first = tag.FindFrame(kFrameCOMM);
    EXPECT_EQ(first->Ascii(FieldRole::Language)->Value(), "eng");
    EXPECT_EQ(tag.FindFrame(kFrameCOMM, first)->Ascii(FieldRole::Language)->Value(), "fra");
    EXPECT_TRUE(first->Equals(*MakeCommentFrame("eng", u"", u"x")));
    EXPECT_FALSE(first->Equals(*MakeCommentFrame("eng", u"", u"z")));
    EXPECT_FALSE(first->Equals(*MakeCommentFrame("eng", u"d", u"x")));
    EXPECT_FALSE(first->Equals(*MakeTextFrame(kFrameTIT2, u"x")));
}

TEST(TagPictures, ByTypeReplacedAndRemoved) {
    Id3Tag tag;
    tag.SetPicture(3, "image/jpeg", u"front", B("JPEGDATA"));
    ASSERT_NE(tag.FindPicture(3), nullptr);
    EXPECT_EQ(tag.FindPicture(0), nullptr);
    tag.ClearChanged();
    tag.SetPicture(3, "image/jpeg", u"front", B("JPEGDATA"));  // every field set to what it holds
    EXPECT_FALSE(tag.IsChanged());
    tag.SetPicture(3, "image/png", u"front", B("PNGDATA"));
    EXPECT_TRUE(tag.FindPicture(3)->Equals(*MakePictureFrame(3, "image/png", u"front", B("PNGDATA"))));
    // Type bytes of 21 and more count as "Other".
    tag.AddFrame(MakePictureFrame(21, "image/gif", u"odd", B("GIF")));
    EXPECT_EQ(tag.FindPicture(0), tag.Frames().back().get());
    tag.AddFrame(MakePictureFrame(20, "image/gif", u"logo", B("GIF")));
    EXPECT_EQ(tag.FindPicture(20), tag.Frames().back().get());
    tag.SetPicture(3, "image/png", u"", {});
    EXPECT_EQ(tag.FindPicture(3), nullptr);
    tag.ClearChanged();
    tag.SetPicture(4, "image/png", u"", {});
    EXPECT_FALSE(tag.IsChanged());

    for (auto [mime, format] : {std::pair{"image/jpeg", PictureFormat::Jpeg}, {"IMAGE/JPG", PictureFormat::Jpeg},
                                {"jpg", PictureFormat::Jpeg}, {"image/png", PictureFormat::Png},
                                {"image/gif", PictureFormat::None}}) {
        EXPECT_EQ(PictureFormatFromMime(mime), format) << mime;
    }
    EXPECT_EQ(PictureTypeName(20), u"Publisher/Studio logotype");
    EXPECT_EQ(PictureTypeName(21), u"Other");
}

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

using Id3v1Test = TagFileTest;

TEST_F(Id3v1Test, ReadTrimsFieldsTakesTheV10CommentAndEveryByte) {
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
    for (const Case& c : cases) {
        BinaryFile file = Open(c.file);
        Id3v1Record record;
        ASSERT_TRUE(ReadV1(file, record));
        EXPECT_EQ(record.GetString(Id3v1Record::kTitle), c.title);
        EXPECT_EQ(record.GetString(Id3v1Record::kComment), c.comment);
        EXPECT_EQ(record.Track(), c.track);
        EXPECT_EQ(record.Genre(), c.genre);
    }
    for (const Bytes& none : {B("TAG"), Bytes(300, 'x'), Bytes()}) {
        BinaryFile file = Open(none);
        Id3v1Record record;
        EXPECT_FALSE(ReadV1(file, record));
    }
}

// Fields are cut at their widths; the record is appended, replaced or dropped at the end.
TEST_F(Id3v1Test, EncodeFieldsAtTheirWidthsAndWriteAppendsReplacesOrDropsTheRecord) {
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
    for (const Case& c : cases) {
        BinaryFile file = Open(c.before);
        Id3v1Record record = c.record;
        record.SetChanged(true);
        EXPECT_EQ(WriteV1(record, file, {.autoDeleteV1 = c.autoDelete}), c.outcome) << c.name;
        EXPECT_FALSE(record.IsChanged());
        EXPECT_EQ(WriteV1(record, file, {}), V1Outcome::Unchanged);
        EXPECT_EQ(After(), c.after) << c.name;
    }
    // Removing cuts a record off, leaves the fields in memory and finds none the second time.
    BinaryFile file = Open(old);
    EXPECT_TRUE(RemoveV1(named, file));
    EXPECT_EQ(file.GetSize(), 0u);
    EXPECT_FALSE(RemoveV1(named, file));
    EXPECT_EQ(named.GetString(Id3v1Record::kArtist), u"Someone");
}

}  // namespace
}  // namespace quorvane::tagtest
