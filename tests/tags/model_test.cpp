// The tag model: identifiers, fields, frames and the tag operations.
#include "tag_test_util.h"

namespace quorvane::tagtest {
namespace {

class TagModelTest : public SettingsTest {};

TEST(FrameIdTable, HasTheNinetyTwoIdentifiersInOrder) {
    EXPECT_EQ(kFrameIdNames.size(), 92u);
    EXPECT_EQ(FrameIdName(kFrameAPIC), "APIC");
    EXPECT_EQ(FrameIdName(kFrameCOMM), "COMM");
    EXPECT_EQ(FrameIdName(14), "PRIV");
    EXPECT_EQ(FrameIdName(15), "PCNT");
    EXPECT_EQ(kFrameTALB, 25u);
    EXPECT_EQ(kFrameTCON, 28u);
    EXPECT_EQ(kFrameTDRC, 33u);
    EXPECT_EQ(kFrameTIT2, 41u);
    EXPECT_EQ(kFrameTPE1, 54u);
    EXPECT_EQ(kFrameTRCK, 61u);
    EXPECT_EQ(FrameIdName(83), "EQUA");
    EXPECT_EQ(FrameIdName(91), "TSIZ");
    for (FrameId i = 0; i < kFrameIdCount; ++i) EXPECT_EQ(LookupFrameId(kFrameIdNames[i]), i);
    EXPECT_FALSE(LookupFrameId("tit2"));
    EXPECT_FALSE(LookupFrameId("TIT"));
    EXPECT_FALSE(LookupFrameId("XYZW"));
}

TEST(FrameIdTable, MapsTheFiveRenamedIdentifiersBothWays) {
    static_assert(ToV24Id(kFrameTYER) == kFrameTDRC && ToV23Id(kFrameTDRC) == kFrameTYER);
    const std::pair<FrameId, FrameId> pairs[] = {{kFrameEQUA, kFrameEQU2}, {kFrameIPLS, kFrameTMCL},
                                                 {kFrameRVAD, kFrameRVA2}, {kFrameTORY, kFrameTDOR},
                                                 {kFrameTYER, kFrameTDRC}};
    int mapped = 0;
    for (FrameId id = 0; id < kFrameIdCount; ++id) {
        if (ToV24Id(id) != id) ++mapped;
        if (ToV23Id(id) != id) ++mapped;
    }
    EXPECT_EQ(mapped, 10);
    for (auto [v23, v24] : pairs) {
        EXPECT_EQ(ToV24Id(v23), v24);
        EXPECT_EQ(ToV23Id(v24), v23);
    }
    for (FrameId id : {kFrameTDAT, kFrameTIME, kFrameTRDA, kFrameTSIZ, kFrameTIPL}) {
        EXPECT_EQ(ToV24Id(id), id);
        EXPECT_EQ(ToV23Id(id), id);
    }
    EXPECT_EQ(Id3Frame(kFrameTYER).Id(), kFrameTDRC);
}

TEST_F(TagModelTest, SetTextOfTrackDropsLeadingZerosOnlyOnAnExistingFrame) {
    Id3Tag tag;
    tag.SetText(kFrameTRCK, u"007");
    EXPECT_EQ(TextOf(tag, kFrameTRCK), "007");
    tag.SetText(kFrameTRCK, u"007");
    EXPECT_EQ(TextOf(tag, kFrameTRCK), "7");
    for (auto [in, out] : {std::pair{u"0", "0"}, {u"000", "0"}, {u"0/12", "/12"}, {u"010", "10"}}) {
        tag.SetText(kFrameTRCK, in);
        EXPECT_EQ(TextOf(tag, kFrameTRCK), out);
    }
    EXPECT_EQ(tag.Frames().size(), 1u);
}

TEST_F(TagModelTest, SetTextOfGenreKeepsAnExistingReferenceToTheSameGenre) {
    Id3Tag none;
    none.SetText(kFrameTCON, u"rock");
    EXPECT_EQ(TextOf(none, kFrameTCON), "rock");

    Id3Tag reference;
    reference.SetText(kFrameTCON, u"(17)");
    reference.ClearChanged();
    reference.SetText(kFrameTCON, u"rock");
    EXPECT_EQ(TextOf(reference, kFrameTCON), "(17)");
    EXPECT_FALSE(reference.IsChanged());

    Id3Tag pop;
    pop.SetText(kFrameTCON, u"Pop");
    pop.SetText(kFrameTCON, u"rock");
    EXPECT_EQ(TextOf(pop, kFrameTCON), "rock");
}

TEST_F(TagModelTest, SetTextCreatesEmptyFramesAndReplacesFramesWithoutText) {
    Id3Tag tag;
    tag.SetText(kFrameTIT2, u"");
    ASSERT_EQ(tag.Frames().size(), 1u);
    std::u16string text = u"x";
    EXPECT_TRUE(tag.GetText(kFrameTIT2, text));
    EXPECT_EQ(text, u"");
    EXPECT_FALSE(tag.GetText(kFrameTALB, text));

    // A TPE1 kept raw (say, compressed) has no text field: SetText replaces it.
    auto raw = std::make_unique<Id3Frame>(kFrameTPE1);
    std::vector<FieldPtr> fields;
    fields.push_back(MakeField<CDataField>(B("xyz"), FieldKind::RawBody));
    raw->SetFields(std::move(fields));
    tag.AddFrame(std::move(raw));
    tag.SetText(kFrameTPE1, u"Artist");
    EXPECT_EQ(FrameLetters(tag), (std::vector<std::string>{"TIT2", "TPE1"}));
    EXPECT_EQ(TextOf(tag, kFrameTPE1), "Artist");
}

TEST_F(TagModelTest, GetGenreResolvesReferences) {
    const std::pair<const char16_t*, const char*> cases[] = {
        {u"(17)", "Rock"}, {u"(17)Rock & Roll", "Rock & Roll"}, {u"(300)", ""}, {u"Heavy", "Heavy"},
        {u"", ""},         {u"(", "Blues"},                     {u"(-1)", ""},  {u"(125)", "Dance Hall"}};
    for (auto [tcon, genre] : cases) {
        Id3Tag tag;
        tag.SetText(kFrameTCON, tcon);
        EXPECT_EQ(U8(tag.GetGenre()), genre) << U8(tcon);
    }
    EXPECT_EQ(U8(Id3Tag().GetGenre()), "");
}

TEST_F(TagModelTest, CopyFromV1SetsTrimmedTextsGenreAndTrack) {
    Id3Tag tag;
    auto& v1 = tag.V1();
    v1.SetString(Id3v1Record::kTitle, u"  Title\t");
    v1.SetString(Id3v1Record::kArtist, u"\r\nArtist ");
    v1.SetString(Id3v1Record::kYear, u"1999");
    v1.SetString(Id3v1Record::kComment, u"not copied");
    v1.SetGenre(17);
    v1.SetTrack(5);
    tag.CopyFromV1();
    EXPECT_EQ(TextOf(tag, kFrameTIT2), "Title");
    EXPECT_EQ(TextOf(tag, kFrameTPE1), "Artist");
    EXPECT_EQ(TextOf(tag, kFrameTALB), "");
    EXPECT_EQ(TextOf(tag, kFrameTDRC), "1999");
    EXPECT_EQ(TextOf(tag, kFrameTCON), "(17)");
    EXPECT_EQ(TextOf(tag, kFrameTRCK), "5");
    EXPECT_EQ(tag.FindFrame(kFrameCOMM), nullptr);

    Id3Tag empty;
    empty.CopyFromV1();
    EXPECT_EQ(FrameLetters(empty), (std::vector<std::string>{"TIT2", "TPE1", "TALB", "TDRC", "TCON"}));
    EXPECT_EQ(TextOf(empty, kFrameTCON), "");
}

TEST_F(TagModelTest, FindFrameWalksFramesOfOneId) {
    Id3Tag tag;
    tag.AddComment("eng", u"a", u"1");
    tag.SetText(kFrameTIT2, u"t");
    tag.AddComment("eng", u"b", u"2");
    Id3Frame* first = tag.FindFrame(kFrameCOMM);
    Id3Frame* second = tag.FindFrame(kFrameCOMM, first);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(second->TextField(0)->Text(), u"b");
    EXPECT_EQ(tag.FindFrame(kFrameCOMM, second), nullptr);
    EXPECT_EQ(tag.FindFrame(kFrameCOMM, tag.FindFrame(kFrameTIT2)), nullptr);
    Id3Frame stranger(kFrameCOMM);
    EXPECT_EQ(tag.FindFrame(kFrameCOMM, &stranger), nullptr);
    EXPECT_EQ(tag.FindComment(u"b"), second);
    EXPECT_EQ(tag.FindComment(u"B"), nullptr);
}

TEST_F(TagModelTest, RemovingFramesSetsTheChangedFlag) {
    Id3Tag tag;
    tag.AddComment("eng", u"", u"1");
    tag.AddComment("eng", u"", u"2");
    tag.ClearChanged();
    EXPECT_FALSE(tag.IsChanged());
    Id3Frame outsider(kFrameCOMM);
    tag.RemoveFrame(&outsider);
    EXPECT_FALSE(tag.IsChanged());
    int removed = 0;
    while (tag.RemoveFrameById(kFrameCOMM)) ++removed;
    EXPECT_EQ(removed, 2);
    EXPECT_TRUE(tag.IsChanged());
    tag.ClearChanged();
    tag.RemoveAllFrames();
    EXPECT_TRUE(tag.IsChanged());

    // The ID3v1 flag counts but is not cleared with the frames.
    Id3Tag v1;
    v1.V1().SetTrack(3);
    EXPECT_TRUE(v1.IsChanged());
    v1.ClearChanged();
    EXPECT_TRUE(v1.IsChanged());
}

TEST_F(TagModelTest, CommentsAndTheirEquality) {
    Id3Tag tag;
    tag.AddComment("de", u"", u"x");
    tag.AddComment("fra", u"", u"y");
    auto* first = tag.FindFrame(kFrameCOMM);
    auto* second = tag.FindFrame(kFrameCOMM, first);
    EXPECT_EQ(first->AsciiField()->Value(), "eng");
    EXPECT_EQ(second->AsciiField()->Value(), "fra");
    EXPECT_TRUE(first->Equals(*first));

    Id3Tag other;
    other.AddComment("eng", u"", u"x");
    other.AddComment("eng", u"", u"z");
    EXPECT_TRUE(first->Equals(*other.FindFrame(kFrameCOMM)));
    EXPECT_FALSE(first->Equals(*other.FindFrame(kFrameCOMM, other.FindFrame(kFrameCOMM))));
    // Positions only one frame has are not compared.
    Id3Frame shorter(kFrameCOMM);
    std::vector<FieldPtr> fields;
    fields.push_back(SharedEncodingField());
    fields.push_back(MakeField<CAsciiField>("eng"));
    shorter.SetFields(std::move(fields));
    EXPECT_TRUE(shorter.Equals(*first));
    EXPECT_TRUE(first->Equals(shorter));
    EXPECT_FALSE(MakeTextFrame(kFrameCOMM, u"")->Equals(*first));
}

TEST_F(TagModelTest, CommentWithEmptyDescriptionInEncodingOneRenders) {
    SetNumber("Encoding", 1);
    Id3Tag tag;
    tag.AddComment("eng", u"", u"Hi");
    Bytes body;
    const RenderContext context = MakeRenderContext(true);
    const Id3Frame& frame = *tag.Frames()[0];
    for (size_t i = 0; i < frame.FieldCount(); ++i) frame.FieldAt(i)->Render(context, body);
    EXPECT_EQ(body, Cat({B({1}), B("eng"), B({0xFF, 0xFE, 0, 0, 0xFF, 0xFE}), Utf16Le(u"Hi")}));
}

TEST_F(TagModelTest, EncodingFollowsTheSettingsForEachVersion) {
    const uint8_t expected[4][2] = {{0, 0}, {1, 1}, {2, 0}, {3, 0}};  // {v2.4, v2.3}
    for (uint32_t setting = 0; setting < 4; ++setting) {
        SetNumber("Encoding", setting);
        EXPECT_EQ(CurrentEncoding(true), expected[setting][0]);
        EXPECT_EQ(CurrentEncoding(false), expected[setting][1]);
    }
    SetNumber("Encoding", 9);
    EXPECT_EQ(CurrentEncoding(true), 0);
}

TEST_F(TagModelTest, TextFieldsRenderInEveryEncoding) {
    const std::u16string text = u"Ä€";
    const std::pair<uint8_t, Bytes> cases[] = {
        {0, B({0xC4, 0x80})},
        {1, Cat({B({0xFF, 0xFE}), Utf16Le(text)})},
        {2, Utf16Be(text)},
        {3, B("\xC3\x84\xE2\x82\xAC")},
    };
    CTextField field(text);
    for (const auto& [encoding, bytes] : cases) {
        RenderContext context{encoding, true};
        Bytes out;
        field.Render(context, out);
        EXPECT_EQ(out, bytes) << int(encoding);
        EXPECT_GE(field.RenderedSize(context), out.size());
    }
    Bytes empty;
    CTextField(u"").Render(RenderContext{1, true}, empty);
    EXPECT_EQ(empty, B({0xFF, 0xFE}));
}

TEST_F(TagModelTest, FieldsAreChangedOnlyByRealChanges) {
    CTextField text(u"a");
    text.SetChanged(false);
    text.SetText(u"a");
    EXPECT_FALSE(text.IsChanged());
    text.SetText(u"b");
    EXPECT_TRUE(text.IsChanged());

    CDataField data(B("ab"), FieldKind::Data);
    data.SetChanged(false);
    data.SetData(B("ab"));
    EXPECT_FALSE(data.IsChanged());
    data.SetData(B("abc"));
    EXPECT_TRUE(data.IsChanged());

    CAsciiField ascii("image/png");
    ascii.SetChanged(false);
    ascii.SetValue(std::u16string_view(u"image/png"));
    EXPECT_FALSE(ascii.IsChanged());

    auto& encoding = EncodingField::Shared();
    EXPECT_FALSE(encoding.IsChanged());
    encoding.SetChanged(true);
    EXPECT_FALSE(encoding.IsChanged());
    EXPECT_FALSE(encoding.IsOwnedByFrame());
    EXPECT_EQ(&EncodingField::Shared(), &encoding);
}

TEST_F(TagModelTest, PicturesByTypeAndTheirPreviewRequests) {
    Id3Tag tag;
    tag.SetPicture(3, "image/jpeg", u"front", B("JPEGDATA"));
    ASSERT_NE(tag.FindPicture(3), nullptr);
    EXPECT_EQ(tag.FindPicture(0), nullptr);
    auto* picture = static_cast<PictureField*>(tag.FindPicture(3)->DataField(1));
    EXPECT_EQ(picture->PreviewFormat(), PictureFormat::Jpeg);
    EXPECT_EQ(picture->PreviewRequests(), 1u);
    tag.ClearChanged();
    tag.SetPicture(3, "image/jpeg", u"front", B("JPEGDATA"));
    EXPECT_EQ(picture->PreviewRequests(), 1u);
    EXPECT_FALSE(tag.FindPicture(3)->HasChanged());
    tag.SetPicture(3, "image/png", u"front", B("PNGDATA"));
    EXPECT_EQ(picture->PreviewRequests(), 2u);
    EXPECT_EQ(picture->PreviewFormat(), PictureFormat::Png);

    // A type byte of 30 counts as "Other".
    tag.AddFrame(MakePictureFrame(30, "image/gif", u"odd", B("GIF")));
    Id3Frame* other = tag.FindPicture(0);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->TextField()->Text(), u"odd");
    EXPECT_EQ(static_cast<PictureField*>(other->DataField(1))->PreviewFormat(), PictureFormat::None);

    tag.SetPicture(3, "image/png", u"", {});
    EXPECT_EQ(tag.FindPicture(3), nullptr);
    tag.ClearChanged();
    tag.SetPicture(4, "image/png", u"", {});
    EXPECT_FALSE(tag.IsChanged());
    EXPECT_EQ(tag.Frames().size(), 1u);
}

TEST(PictureFormat, FromMimeTypes) {
    EXPECT_EQ(PictureFormatFromMime("image/jpeg"), PictureFormat::Jpeg);
    EXPECT_EQ(PictureFormatFromMime("IMAGE/JPG"), PictureFormat::Jpeg);
    EXPECT_EQ(PictureFormatFromMime("jpg"), PictureFormat::Jpeg);
    EXPECT_EQ(PictureFormatFromMime("image/png"), PictureFormat::Png);
    EXPECT_EQ(PictureFormatFromMime("image/gif"), PictureFormat::None);
    EXPECT_EQ(PictureTypeName(3), u"Cover (front)");
    EXPECT_EQ(PictureTypeName(20), u"Publisher/Studio logotype");
    EXPECT_EQ(PictureTypeName(40), u"Other");
}

}  // namespace
}  // namespace quorvane::tagtest

namespace quorvane::tagtest {
namespace {

TEST(TextField, FromRawDecodesEachEncoding) {
    EXPECT_EQ(CTextField::FromRaw(B({'A', 0, 'B'}), 0)->Text(), u"A");
    EXPECT_EQ(CTextField::FromRaw(B("\xC3\xA9"), 3)->Text(), u"é");
    EXPECT_EQ(CTextField::FromRaw(B("\xE9t\xE9"), 3)->Text(), u"été");  // not UTF-8: the code page
    EXPECT_EQ(CTextField::FromRaw(B({0xFE, 0xFF, 0, 'A', 0, 0, 0, 'B'}), 1)->Text(), u"A");
    EXPECT_EQ(CTextField::FromRaw(B({0xFF, 0xFE, 'A', 0}), 1)->Text(), u"A");
    EXPECT_EQ(CTextField::FromRaw(B({0, 'A', 1, 0}), 2)->Text(), u"A\u0100");  // zero unit needs alignment
    EXPECT_TRUE(CTextField::FromRaw({}, 1)->Text().empty());
}

}  // namespace
}  // namespace quorvane::tagtest
