// Reading ID3v2 tags from crafted bytes: the documented cases, the damaged ones, and
// what the reader keeps that it does not parse.
#include "tag_test_util.h"

namespace quorvane::tagtest {
namespace {

class ReaderTest : public SettingsTest {
protected:
    uint64_t Read(const Bytes& bytes, Id3Tag& tag) { return ReadTagBytes(Path("t.mp3"), bytes, tag); }
    // A tag followed by some audio-like bytes.
    static Bytes WithAudio(const Bytes& tag) { return Cat({tag, Bytes(64, 0xAA)}); }
    static Bytes Text(int major, std::string_view id, std::string_view text, int encoding = 0) {
        return Frame(major, id, Cat({B({encoding}), B(text)}));
    }
};

TEST_F(ReaderTest, HeaderRules) {
    Id3Tag tag;
    EXPECT_EQ(Read(Cat({B("ID3"), B({3, 0, 0, 0, 0, 0, 0})}), tag), 0u);  // 10 bytes only
    EXPECT_EQ(Read(WithAudio(Cat({B("ID4"), B({3, 0, 0, 0, 0, 0, 0})})), tag), 0u);
    EXPECT_EQ(Read(WithAudio(Cat({B("ID3"), B({5, 0, 0, 0, 0, 0, 0})})), tag), 0u);
    EXPECT_TRUE(tag.Frames().empty());

    // Top bits of the size bytes are not masked off.
    Bytes big = Cat({B("ID3"), B({3, 0, 0, 0, 0, 0x01, 0x80})});
    big.resize(2000, 0);
    EXPECT_EQ(Read(big, tag), 10u + 256u);
}

TEST_F(ReaderTest, V23TagWithPadding) {
    Id3Tag tag;
    const Bytes tagBytes = Tag(3, Text(3, "TIT2", "Song"), 4);
    EXPECT_EQ(Read(WithAudio(tagBytes), tag), tagBytes.size());
    EXPECT_EQ(FrameLetters(tag), (std::vector<std::string>{"TIT2"}));
    EXPECT_EQ(TextOf(tag, kFrameTIT2), "Song");
}

TEST_F(ReaderTest, V23YearIsHeldAsTdrc) {
    Id3Tag tag;
    Read(WithAudio(Tag(3, Cat({Text(3, "TYER", "1999"), Frame(3, "RVAD", B({1, 2, 3}))}))), tag);
    EXPECT_EQ(FrameLetters(tag), (std::vector<std::string>{"TDRC", "RVA2"}));
    EXPECT_EQ(TextOf(tag, kFrameTDRC), "1999");
}

TEST_F(ReaderTest, BadEncodingDropsOnlyThatFrame) {
    Id3Tag tag;
    Read(WithAudio(Tag(3, Cat({Text(3, "TPE1", "x", 5), Text(3, "TALB", "Album")}))), tag);
    EXPECT_EQ(FrameLetters(tag), (std::vector<std::string>{"TALB"}));
}

TEST_F(ReaderTest, Utf16HonoursTheByteOrderMark) {
    Id3Tag tag;
    Read(WithAudio(Tag(3, Cat({Frame(3, "TIT2", Cat({B({1, 0xFE, 0xFF}), Utf16Be(u"Ünïcode"), B({0, 0})})),
                               Frame(3, "TPE1", Cat({B({1, 0xFF, 0xFE}), Utf16Le(u"Ärtist")}))}))),
         tag);
    EXPECT_EQ(TextOf(tag, kFrameTIT2), "Ünïcode");
    EXPECT_EQ(TextOf(tag, kFrameTPE1), "Ärtist");
}

TEST_F(ReaderTest, AMarkCarriesToTheStringsAfterIt) {
    // Big-endian mark on the first string only: "䄀䈀" (41 00 42 00) must not turn into "AB".
    Id3Tag tag;
    Read(WithAudio(Tag(3, Cat({Frame(3, "COMM", Cat({B({1}), B("eng"), B({0xFE, 0xFF}), Utf16Be(u"d"), B({0, 0}),
                                                     Utf16Be(u"\u4100\u4200")})),
                               Frame(3, "TPE1", Cat({B({1, 0xFE, 0xFF}), Utf16Be(u"A"), B({0, 0}), Utf16Be(u"\u4100")}))}))),
         tag);
    EXPECT_EQ(tag.FindFrame(kFrameCOMM)->TextField(1)->Text(), u"\u4100\u4200");
    EXPECT_EQ(tag.FindFrame(kFrameTPE1)->TextField()->MoreValues(), std::vector<std::u16string>{u"\u4100"});
}

TEST_F(ReaderTest, Encoding2ReadsEitherByteOrder) {
    const std::u16string texts[] = {u"Title", u"A", u"日本語のタイトル", u"Ελληνικά", u"Zoë & Ünal"};
    for (const auto& text : texts) {
        for (bool bigEndian : {true, false}) {
            Id3Tag tag;
            Read(WithAudio(Tag(4, Frame(4, "TIT2", Cat({B({2}), bigEndian ? Utf16Be(text) : Utf16Le(text)})))), tag);
            EXPECT_EQ(tag.GetText(kFrameTIT2), text) << U8(text) << (bigEndian ? " BE" : " LE");
        }
    }
}

TEST_F(ReaderTest, OnlyTheFirstStringIsTheText) {
    Id3Tag tag;
    Read(WithAudio(Tag(3, Frame(3, "TIT2", Cat({B({0}), B("A"), B({0}), B("B")})))), tag);
    EXPECT_EQ(TextOf(tag, kFrameTIT2), "A");
}

TEST_F(ReaderTest, EmptyTextFramesFollowSaveEmpty) {
    const Bytes bytes = WithAudio(Tag(3, Frame(3, "TCON", B({0}))));
    Id3Tag kept;
    Read(bytes, kept);
    EXPECT_EQ(FrameLetters(kept), (std::vector<std::string>{"TCON"}));
    SetBool("SaveEmpty", false);
    Id3Tag dropped;
    Read(bytes, dropped);
    EXPECT_TRUE(dropped.Frames().empty());
}

TEST_F(ReaderTest, CommentLanguagesAndEmptyComments) {
    const Bytes upper = Frame(3, "COMM", Cat({B({0}), B("ENG"), B("d"), B({0}), B("text")}));
    const Bytes zeroEmpty = Frame(3, "COMM", B({0, 0, 0, 0, 0}));
    const Bytes zeroText = Frame(3, "COMM", Cat({B({0, 0, 0, 0, 0}), B("t")}));
    const Bytes bytes = WithAudio(Tag(3, Cat({upper, zeroEmpty, zeroText})));
    Id3Tag on;
    Read(bytes, on);
    ASSERT_EQ(on.Frames().size(), 3u);
    EXPECT_EQ(on.Frames()[0]->AsciiField()->Value(), "eng");
    EXPECT_EQ(on.Frames()[0]->TextField(0)->Text(), u"d");
    EXPECT_EQ(on.Frames()[0]->TextField(1)->Text(), u"text");
    EXPECT_EQ(on.Frames()[1]->AsciiField()->Value(), "eng");
    SetBool("SaveEmpty", false);
    Id3Tag off;
    Read(bytes, off);
    ASSERT_EQ(off.Frames().size(), 2u);
    EXPECT_EQ(off.Frames()[1]->TextField(1)->Text(), u"t");
}

TEST_F(ReaderTest, CommentDescriptionEndsAtAZeroUnit) {
    Id3Tag tag;
    // U+0100 is 00 01 little-endian: the description goes on past it.
    Read(WithAudio(Tag(3, Frame(3, "COMM", Cat({B({1}), B("eng"), B({0xFF, 0xFE}), Utf16Le(u"\u0100x"), B({0, 0}),
                                                 B({0xFF, 0xFE}), Utf16Le(u"Text")})))),
         tag);
    ASSERT_EQ(tag.Frames().size(), 1u);
    EXPECT_EQ(tag.Frames()[0]->TextField(0)->Text(), u"\u0100x");
    EXPECT_EQ(tag.Frames()[0]->TextField(1)->Text(), u"Text");
}

TEST_F(ReaderTest, DamagedCommentKeepsLaterFrames) {
    Id3Tag tag;
    // A description without its terminator, and an encoding-1 comment whose text is cut.
    Read(WithAudio(Tag(3, Cat({Frame(3, "COMM", Cat({B({0}), B("eng"), B("no end")})),
                               Frame(3, "COMM", Cat({B({1}), B("eng"), B({0, 0, 0xFF})})),
                               Text(3, "TIT2", "After")}))),
         tag);
    EXPECT_EQ(TextOf(tag, kFrameTIT2), "After");
    ASSERT_NE(tag.FindFrame(kFrameCOMM), nullptr);  // the cut one: empty text
    EXPECT_EQ(tag.FindFrame(kFrameCOMM)->TextField(1)->Text(), u"");
}

TEST_F(ReaderTest, PicturesAreNeverDroppedForBeingEmpty) {
    Id3Tag tag;
    Read(WithAudio(Tag(3, Cat({Frame(3, "APIC", Cat({B({0}), B("image/png"), B({0, 3, 0})})),
                               Frame(3, "APIC", Cat({B({1}), B("image/jpeg"), B({0, 4, 0xFF, 0xFE}), Utf16Le(u"Back"),
                                                     B({0, 0, 0xFF, 0xD8, 0xFF})}))}))),
         tag);
    ASSERT_EQ(tag.Frames().size(), 2u);
    EXPECT_TRUE(tag.FindPicture(3)->DataField(1)->Data().empty());
    const Id3Frame* back = tag.FindPicture(4);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->AsciiField()->Value(), "image/jpeg");
    EXPECT_EQ(back->TextField()->Text(), u"Back");
    EXPECT_EQ(back->DataField(1)->Data(), B({0xFF, 0xD8, 0xFF}));
}

TEST_F(ReaderTest, ExtendedHeadersAreSkipped) {
    Id3Tag v24;
    const Bytes ext24 = Cat({Syncsafe(12), B({1, 0}), Bytes(6, 0)});
    Read(WithAudio(Tag(4, Cat({ext24, Text(4, "TIT2", "four")}), 0, 0x40)), v24);
    EXPECT_EQ(TextOf(v24, kFrameTIT2), "four");
    Id3Tag v23;
    const Bytes ext23 = Cat({BigEndian(6), Bytes(6, 0)});
    Read(WithAudio(Tag(3, Cat({ext23, Text(3, "TIT2", "three")}), 0, 0x40)), v23);
    EXPECT_EQ(TextOf(v23, kFrameTIT2), "three");
    Id3Tag tooBig;
    const Bytes tooBigTag = Tag(4, Cat({Syncsafe(500), Text(4, "TIT2", "x")}), 0, 0x40);
    EXPECT_EQ(Read(WithAudio(tooBigTag), tooBig), tooBigTag.size());
    EXPECT_TRUE(tooBig.Frames().empty());
}

TEST_F(ReaderTest, TruncatedAndOversizedFramesKeepEarlierFrames) {
    Id3Tag cut;
    // The tag size runs to the end of the file; the last frame claims more than there is.
    Bytes bytes = Tag(3, Cat({Text(3, "TIT2", "One"), Text(3, "TPE1", "Two"), B("TALB"), BigEndian(5000), B({0, 0, 0})}));
    EXPECT_EQ(Read(bytes, cut), bytes.size());
    EXPECT_EQ(FrameLetters(cut), (std::vector<std::string>{"TIT2", "TPE1"}));

    // A tag cut off by the end of the file keeps its intact frames; the audio would start
    // at the end of the file.
    Id3Tag shortened;
    Bytes header = Tag(3, Cat({Text(3, "TIT2", "One"), Text(3, "TPE1", "Two")}), 100);
    header.resize(header.size() - 103);
    EXPECT_EQ(Read(header, shortened), header.size());
    EXPECT_EQ(FrameLetters(shortened), (std::vector<std::string>{"TIT2"}));

    // A frame header cut off by the end of the tag.
    Id3Tag half;
    Read(WithAudio(Tag(3, Cat({Text(3, "TIT2", "One"), B("TPE1"), B({0, 0})}))), half);
    EXPECT_EQ(FrameLetters(half), (std::vector<std::string>{"TIT2"}));

    // A zero-size frame is passed over.
    Id3Tag zero;
    Read(WithAudio(Tag(3, Cat({Frame(3, "TIT1", {}), Text(3, "TIT2", "One")}))), zero);
    EXPECT_EQ(FrameLetters(zero), (std::vector<std::string>{"TIT2"}));
}

TEST_F(ReaderTest, UnknownFramesAreKeptAndPaddingEndsTheList) {
    Id3Tag tag;
    const Bytes xyz = Frame(4, "XYZ1", B("private bytes"));
    Read(WithAudio(Tag(4, Cat({Text(4, "TIT2", "One"), xyz, Frame(4, "TSO2", Cat({B({3}), B("sort")})),
                               Text(4, "TPE1", "Two")}),
                       20)),
         tag);
    EXPECT_EQ(FrameLetters(tag), (std::vector<std::string>{"TIT2", "XYZ1", "TSO2", "TPE1"}));
    EXPECT_EQ(tag.Frames()[1]->Id(), kFrameUnknown);
    EXPECT_EQ(tag.Frames()[1]->RawBodyField()->Data(), B("private bytes"));

    // Garbage that is no identifier ends the list like padding.
    Id3Tag junk;
    Read(WithAudio(Tag(3, Cat({Text(3, "TIT2", "One"), B("ab#d"), Bytes(20, 1)}))), junk);
    EXPECT_EQ(FrameLetters(junk), (std::vector<std::string>{"TIT2"}));
}

TEST_F(ReaderTest, UnsynchronisationIsUndone) {
    // JPEG bytes FF D8 FF E0 unsynchronised: FF 00 D8 FF 00 E0; and a lone FF 00 00.
    const Bytes picture = Cat({B({0}), B("image/jpeg"), B({0, 3}), B("d"), B({0}), B({0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0x00})});
    const Bytes unsynced =
        Cat({B({0}), B("image/jpeg"), B({0, 3}), B("d"), B({0}), B({0xFF, 0, 0xD8, 0xFF, 0, 0xE0, 0xFF, 0, 0})});

    // v2.3: the whole tag is unsynchronised; frame sizes count the restored bytes.
    Bytes frame23 = Frame(3, "APIC", picture);
    Bytes frames23 = Cat({Frame(3, "APIC", picture), Text(3, "TIT2", "After")});
    Bytes encoded23;
    for (size_t i = 0; i < frames23.size(); ++i) {
        encoded23.push_back(frames23[i]);
        if (frames23[i] == 0xFF && (i + 1 == frames23.size() || frames23[i + 1] == 0 || frames23[i + 1] >= 0xE0))
            encoded23.push_back(0);
    }
    Id3Tag v23;
    Read(WithAudio(Tag(3, encoded23, 0, 0x80)), v23);
    ASSERT_NE(v23.FindPicture(3), nullptr);
    EXPECT_EQ(v23.FindPicture(3)->DataField(1)->Data(), B({0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0x00}));
    EXPECT_EQ(TextOf(v23, kFrameTIT2), "After");

    // v2.4: the frame flag (or the tag flag) says the body is unsynchronised.
    for (bool tagFlag : {false, true}) {
        Id3Tag v24;
        Read(WithAudio(Tag(4, Cat({Frame(4, "APIC", unsynced, tagFlag ? 0 : 0x0002), Text(4, "TIT2", "After")}), 0,
                           tagFlag ? 0x80 : 0)),
             v24);
        ASSERT_NE(v24.FindPicture(3), nullptr) << tagFlag;
        EXPECT_EQ(v24.FindPicture(3)->DataField(1)->Data(), B({0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0x00}));
        EXPECT_EQ(TextOf(v24, kFrameTIT2), "After");
    }
}

TEST_F(ReaderTest, CompressedEncryptedAndGroupedFramesStayRaw) {
    Id3Tag v23;
    Read(WithAudio(Tag(3, Cat({Frame(3, "TIT2", Cat({BigEndian(50), B("zlibdata")}), 0x0080),
                               Frame(3, "TPE1", Cat({B({0x81, 0x07}), B("secret")}), 0x0060),
                               Text(3, "TALB", "Plain")}))),
         v23);
    ASSERT_EQ(v23.Frames().size(), 3u);
    const Id3Frame& compressed = *v23.Frames()[0];
    EXPECT_TRUE(compressed.Format().compressed);
    EXPECT_EQ(compressed.Format().dataLength, 50u);
    EXPECT_EQ(compressed.RawBodyField()->Data(), B("zlibdata"));
    EXPECT_EQ(compressed.TextField(), nullptr);
    const Id3Frame& encrypted = *v23.Frames()[1];
    EXPECT_TRUE(encrypted.Format().encrypted && encrypted.Format().grouped);
    EXPECT_EQ(encrypted.Format().encryptionMethod, 0x81);
    EXPECT_EQ(encrypted.Format().groupId, 0x07);
    EXPECT_EQ(encrypted.RawBodyField()->Data(), B("secret"));
    EXPECT_EQ(TextOf(v23, kFrameTALB), "Plain");

    Id3Tag v24;
    Read(WithAudio(Tag(4, Cat({Frame(4, "APIC", Cat({B({0x09}), Syncsafe(300), B("zz")}), 0x0049),
                               Frame(4, "TIT2", Cat({Syncsafe(6), B({0}), B("Title")}), 0x0001)}))),
         v24);
    ASSERT_EQ(v24.Frames().size(), 2u);
    EXPECT_TRUE(v24.Frames()[0]->Format().compressed && v24.Frames()[0]->Format().grouped);
    EXPECT_EQ(v24.Frames()[0]->Format().groupId, 9);
    EXPECT_EQ(v24.Frames()[0]->Format().dataLength, 300u);
    EXPECT_EQ(v24.Frames()[0]->RawBodyField()->Data(), B("zz"));
    EXPECT_TRUE(v24.Frames()[1]->Format().hasDataLength);
    EXPECT_EQ(v24.Frames()[1]->RawBodyField()->Data(), Cat({B({0}), B("Title")}));
}

TEST_F(ReaderTest, MultiValueTextKeepsItsValues) {
    Id3Tag tag;
    Read(WithAudio(Tag(4, Cat({Frame(4, "TPE1", Cat({B({3}), B("One"), B({0}), B("Two"), B({0}), B("Three"), B({0})})),
                               Frame(4, "TCON", Cat({B({1, 0xFF, 0xFE}), Utf16Le(u"Rock"), B({0, 0, 0xFF, 0xFE}),
                                                     Utf16Le(u"Pop"), B({0, 0})}))}))),
         tag);
    const CTextField* artists = tag.FindFrame(kFrameTPE1)->TextField();
    EXPECT_EQ(artists->Text(), u"One");
    EXPECT_EQ(artists->MoreValues(), (std::vector<std::u16string>{u"Two", u"Three"}));
    EXPECT_EQ(tag.FindFrame(kFrameTCON)->TextField()->MoreValues(), (std::vector<std::u16string>{u"Pop"}));
    EXPECT_EQ(U8(tag.GetGenre()), "Rock");
}

TEST_F(ReaderTest, V22TagsAreMapped) {
    const Bytes frames = Cat({
        FrameV22("TT2", Cat({B({0}), B("Title")})),
        FrameV22("TP1", Cat({B({1, 0xFF, 0xFE}), Utf16Le(u"Ärtist")})),
        FrameV22("TAL", Cat({B({0}), B("Album")})),
        FrameV22("TYE", Cat({B({0}), B("1987")})),
        FrameV22("TRK", Cat({B({0}), B("3/9")})),
        FrameV22("TCO", Cat({B({0}), B("(17)")})),
        FrameV22("COM", Cat({B({0}), B("eng"), B("desc"), B({0}), B("comment")})),
        FrameV22("PIC", Cat({B({0}), B("PNG"), B({3}), B("cover"), B({0}), B({0x89, 'P', 'N', 'G'})})),
        FrameV22("CRM", B("owner")),
        FrameV22("TXX", Cat({B({0}), B("key"), B({0}), B("value")})),
        FrameV22("TCP", Cat({B({0}), B("1")})),
    });
    Id3Tag tag;
    const Bytes tagBytes = Tag(2, frames, 10);
    EXPECT_EQ(Read(WithAudio(tagBytes), tag), tagBytes.size());
    EXPECT_EQ(FrameLetters(tag), (std::vector<std::string>{"TIT2", "TPE1", "TALB", "TDRC", "TRCK", "TCON", "COMM",
                                                           "APIC", "TXXX", "TCMP"}));
    EXPECT_EQ(TextOf(tag, kFrameTPE1), "Ärtist");
    EXPECT_EQ(TextOf(tag, kFrameTDRC), "1987");
    EXPECT_EQ(U8(tag.GetGenre()), "Rock");
    EXPECT_EQ(tag.FindComment(u"desc")->TextField(1)->Text(), u"comment");
    const Id3Frame* picture = tag.FindPicture(3);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->AsciiField()->Value(), "image/png");
    EXPECT_EQ(picture->DataField(1)->Data(), B({0x89, 'P', 'N', 'G'}));
    tag.ClearChanged();
    EXPECT_FALSE(tag.IsChanged());

    // A compressed v2.2 tag gives its size but no frames.
    Id3Tag compressed;
    EXPECT_EQ(Read(WithAudio(Tag(2, frames, 0, 0x40)), compressed), frames.size() + 10);
    EXPECT_TRUE(compressed.Frames().empty());
}

TEST_F(ReaderTest, ITunesPlainSizesInV24AreRecognised) {
    // A 200-byte frame whose size iTunes wrote as 00 00 00 C8 instead of syncsafe.
    const Bytes body = Cat({B({0}), Bytes(199, 'x')});
    const Bytes frames = Cat({B("TIT2"), BigEndian(200), B({0, 0}), body, Text(4, "TPE1", "Next")});
    Id3Tag tag;
    Read(WithAudio(Tag(4, frames, 10)), tag);
    EXPECT_EQ(FrameLetters(tag), (std::vector<std::string>{"TIT2", "TPE1"}));
    EXPECT_EQ(tag.GetText(kFrameTIT2).size(), 199u);
}

}  // namespace
}  // namespace quorvane::tagtest
