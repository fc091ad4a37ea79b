// The tag model: identifiers and their version mapping, frames and the tag operations
// (texts, genres, comments, pictures, changed marks).
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
    EXPECT_EQ(LookupFrameId("PCNT"), 15u);  // after PRIV
    EXPECT_FALSE(LookupFrameId("tit2"));
}

TEST(TagText, TrackLosesLeadingZerosOnlyOnAnExistingFrame) {
    Id3Tag tag;
    tag.SetText(kFrameTRCK, u"007");
    EXPECT_EQ(TextOf(tag, kFrameTRCK), "007");
    for (auto [in, out] : {std::pair{u"007", "7"}, {u"0", "0"}, {u"000", "0"}, {u"0/12", "/12"}, {u"010", "10"}}) {
        tag.SetText(kFrameTRCK, in);
        EXPECT_EQ(TextOf(tag, kFrameTRCK), out) << out;
    }
    EXPECT_EQ(tag.Frames().size(), 1u);
}

TEST(TagText, GenreNameKeepsAnExistingReferenceToTheSameGenre) {
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

TEST(TagText, EmptyTextsMakeFramesAndFramesWithoutATextAreReplaced) {
    Id3Tag tag;
    tag.SetText(kFrameTIT2, u"");
    std::u16string text = u"x";
    EXPECT_TRUE(tag.GetText(kFrameTIT2, text));
    EXPECT_EQ(text, u"");
    EXPECT_FALSE(tag.GetText(kFrameTALB, text));
    // A TPE1 kept raw (say, compressed) has no text field.
    auto raw = Id3Frame::Make(kFrameTPE1, 0, FrameFamily::Raw);
    raw->Data(FieldRole::Body)->SetData(B("xyz"));
    tag.AddFrame(std::move(raw));
    tag.SetText(kFrameTPE1, u"Artist");
    EXPECT_EQ(FrameLetters(tag), Letters({"TIT2", "TPE1"}));
    EXPECT_EQ(TextOf(tag, kFrameTPE1), "Artist");
}

TEST(TagText, GenreReferencesResolve) {
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

TEST(TagFrames, FindWalksFramesOfOneIdAndRemovalMarksTheTag) {
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
    // The ID3v1 flag counts, but clearing the frames leaves it.
    Id3Tag v1;
    v1.V1().SetTrack(3);
    v1.ClearChanged();
    EXPECT_TRUE(v1.IsChanged());
}

TEST(TagFrames, CommentsAndTheirEquality) {
    Id3Tag tag;
    tag.AddComment("de", u"", u"x");
    tag.AddComment("fra", u"", u"y");
    const Id3Frame* first = tag.FindFrame(kFrameCOMM);
    EXPECT_EQ(first->Ascii(FieldRole::Language)->Value(), "eng");
    EXPECT_EQ(tag.FindFrame(kFrameCOMM, first)->Ascii(FieldRole::Language)->Value(), "fra");
    EXPECT_TRUE(first->Equals(*first));
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
    EXPECT_EQ(tag.FindPicture(3)->Data(FieldRole::PictureData)->Data(), B("PNGDATA"));
    EXPECT_EQ(tag.FindPicture(3)->Ascii(FieldRole::MimeType)->Value(), "image/png");
    // Type bytes of 21 and more count as "Other".
    tag.AddFrame(MakePictureFrame(21, "image/gif", u"odd", B("GIF")));
    ASSERT_NE(tag.FindPicture(0), nullptr);
    EXPECT_EQ(tag.FindPicture(0)->Text(FieldRole::Description)->Text(), u"odd");
    tag.AddFrame(MakePictureFrame(20, "image/gif", u"logo", B("GIF")));
    EXPECT_EQ(tag.FindPicture(20)->Text(FieldRole::Description)->Text(), u"logo");
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

}  // namespace
}  // namespace quorvane::tagtest
