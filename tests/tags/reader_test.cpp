// Reading ID3v2 tags from crafted bytes: text decoding, damaged frame lists and the bytes
// kept unread, extended headers, v2.2 tags and the sizes iTunes wrote. (The audio start is
// the header's rule.)
#include "tag_test_util.h"
#include "tags/id3_text.h"

namespace quorvane::tagtest {
namespace {

class ReaderTest : public ::testing::Test {
protected:
    uint64_t Read(const Bytes& bytes, Id3Tag& tag, const TagReadOptions& options = {}) {
        return ReadTagBytes(dir_, bytes, tag, options);
    }
    std::vector<std::string> ReadLetters(const Bytes& bytes, Bytes* unread = nullptr) {
        Id3Tag tag;
        Read(bytes, tag);
        if (unread) *unread = Bytes(tag.UnreadBytes().begin(), tag.UnreadBytes().end());
        return FrameLetters(tag);
    }
    test::TempDir dir_;
};

TEST(TextDecoding, EachEncodingByteOrderAndFallback) {
    using id3text::DecodeString;
    const CodePage& cp = CodePage::System();
    struct Case {
        Bytes bytes;
        uint8_t encoding;
        std::u16string text;
    };
    const Case cases[] = {
        {B("\xC3\xA9\xE0\xA0\x80"), 3, u"é\u0800"},
        {B("\xE9t\xE9"), 3, u"été"},  // not UTF-8: the code page
        {Cat({B({0xFE, 0xFF}), Utf16(u"Ünï", true)}), 1, u"Ünï"},
        {Cat({B({0xFF, 0xFE}), Utf16(u"Ünï")}), 2, u"Ünï"},
        {Utf16(u"日本語のタイトル", true), 2, u"日本語のタイトル"},  // no mark: either order
        {Utf16(u"日本語のタイトル"), 2, u"日本語のタイトル"},
        {Utf16(u"Zoë & Ünal"), 1, u"Zoë & Ünal"},
        {Utf16(u"Zoë & Ünal", true), 1, u"Zoë & Ünal"},
        {{}, 1, u""},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeString(c.bytes, c.encoding, cp), c.text) << U8(c.text);
    // A UTF-16 terminator is an aligned zero unit: U+0100 (00 01) does not end a string.
    EXPECT_EQ(id3text::FindTerminator(B({'A', 0, 0, 1, 0, 0}), 1), 4u);
    EXPECT_EQ(id3text::FindTerminator(B({'A', 0, 0, 1, 0, 0}), 0), 1u);
    // A mark on the first value carries to the values after it.
    EXPECT_EQ(id3text::DecodeValues(Cat({B({0xFE, 0xFF}), Utf16(u"A", true), B({0, 0}), Utf16(u"\u4100", true)}), 1, cp),
              (std::vector<std::u16string>{u"A", u"\u4100"}));
}

// A frame whose body does not fit its layout is kept raw; where the list ends at bytes
// that are not padding, they are kept unread (zeros around them are padding).
TEST_F(ReaderTest, DamagedFramesAreKeptRawOrUnread) {
    struct Case {
        const char* name;
        Bytes bytes;
        std::vector<std::string> frames;
        Bytes unread;
    };
    const Bytes one = Text(3, "TIT2", "One");
    const Bytes beyond = Cat({B("TALB"), BigEndian(5000), B({0, 0, 0, 'x'})});
    const Bytes promise = Frame(3, "TALB", B({0, 'A'}), 0x0080);  // compressed: a 4-byte size first
    const Bytes junk = Cat({B("j"), B({0}), B("nk")});
    const Case cases[] = {
        {"bad encoding", WithAudio(Tag(3, Cat({Text(3, "TPE1", "x", 5), Text(3, "TALB", "A")}))),
         Letters({"TPE1", "TALB"}), {}},
        {"zero-size frame passed over", WithAudio(Tag(3, Cat({Frame(3, "TIT1", {}), one}))), Letters({"TIT2"}), {}},
        {"description without terminator", WithAudio(Tag(3, Cat({Frame(3, "COMM", Cat({B({0}), B("eng"), B("x")})), one}))),
         Letters({"COMM", "TIT2"}), {}},
        {"damaged frame in the middle", WithAudio(Tag(3, Cat({one, beyond, Text(3, "TPE1", "Two")}), 30)),
         Letters({"TIT2"}), Cat({beyond, Text(3, "TPE1", "Two")})},
        {"header cut by the tag's end", WithAudio(Tag(3, Cat({one, B("TPE1"), B({0, 0})}))), Letters({"TIT2"}), B("TPE1")},
        {"garbage ends the list", WithAudio(Tag(3, Cat({one, B("ab#d"), Bytes(20, 1)}))), Letters({"TIT2"}),
         Cat({B("ab#d"), Bytes(20, 1)})},
        {"garbage behind the padding", WithAudio(Tag(4, Cat({Text(4, "TIT2", "x"), Bytes(30, 0), junk, Bytes(9, 0)}))),
         Letters({"TIT2"}), junk},
        {"flags promise more than the body", WithAudio(Tag(3, Cat({one, promise}))), Letters({"TIT2"}), promise},
        {"padding ends the list", WithAudio(Tag(4, Text(4, "TIT2", "x"), 40)), Letters({"TIT2"}), {}},
        {"unknown frames are kept", WithAudio(Tag(4, Cat({Frame(4, "XYZ1", B("p")), Text(4, "TSO2", "s"), one}))),
         Letters({"XYZ1", "TSO2", "TIT2"}), {}},
    };
    for (const Case& c : cases) {
        Bytes unread;
        EXPECT_EQ(ReadLetters(c.bytes, &unread), c.frames) << c.name;
        EXPECT_EQ(unread, c.unread) << c.name;
    }

    // A tag cut off by the end of the file (its size field still within the file's
    // length) keeps its intact frames; the audio would start at the end of the file.
    Bytes cut = Tag(3, Cat({one, Text(3, "TPE1", "Two")}));
    cut.resize(cut.size() - 3);
    Id3Tag tag;
    EXPECT_EQ(Read(cut, tag), cut.size());
    EXPECT_EQ(FrameLetters(tag), Letters({"TIT2"}));
}

TEST_F(ReaderTest, ExtendedHeadersAreSkippedAndAMissingOneIsNoticed) {
    Id3Tag v24, v23, flagOnly24, flagOnly23, tooBig;
    Read(WithAudio(Tag(4, Cat({Syncsafe(12), B({1, 0}), Bytes(6, 0), Text(4, "TIT2", "four")}), 0, 0x40)), v24);
    EXPECT_EQ(TextOf(v24, kFrameTIT2), "four");
    Read(WithAudio(Tag(3, Cat({BigEndian(6), Bytes(6, 0), Text(3, "TIT2", "three")}), 0, 0x40)), v23);
    EXPECT_EQ(TextOf(v23, kFrameTIT2), "three");
    // The flag set and no extended header written: the frames follow the tag header.
    Read(WithAudio(Tag(4, Cat({Text(4, "TIT2", "bug"), Text(4, "TPE1", "x")}), 10, 0x40)), flagOnly24);
    EXPECT_EQ(FrameLetters(flagOnly24), Letters({"TIT2", "TPE1"}));
    Read(WithAudio(Tag(3, Text(3, "TIT2", "bug"), 10, 0x40)), flagOnly23);
    EXPECT_EQ(TextOf(flagOnly23, kFrameTIT2), "bug");
    EXPECT_TRUE(flagOnly24.UnreadBytes().empty() && flagOnly23.UnreadBytes().empty());
    // Neither an extended header nor a frame: the whole tag is unread.
    const Bytes tooBigTag = Tag(4, Cat({Syncsafe(500), Text(4, "TIT2", "x")}), 0, 0x40);
    EXPECT_EQ(Read(WithAudio(tooBigTag), tooBig), tooBigTag.size());
    EXPECT_TRUE(tooBig.Frames().empty());
    EXPECT_EQ(Bytes(tooBig.UnreadBytes().begin(), tooBig.UnreadBytes().end()),
              Cat({B({3, 0x74}), Text(4, "TIT2", "x")}));  // leading zeros count as padding
}

TEST_F(ReaderTest, V22TagsAreMapped) {
    const Bytes frames = Cat({
        FrameV22("TT2", Cat({B({0}), B("Title")})),
        FrameV22("TP1", Cat({B({1, 0xFF, 0xFE}), Utf16(u"Ärtist")})),
        FrameV22("TYE", Cat({B({0}), B("1987")})),
        FrameV22("TCO", Cat({B({0}), B("(17)")})),
        FrameV22("COM", Cat({B({0}), B("eng"), B("desc"), B({0}), B("comment")})),
        FrameV22("PIC", Cat({B({0}), B("PNG"), B({3}), B("cover"), B({0}), B({0x89, 'P', 'N', 'G'})})),
        FrameV22("CRM", B("owner")),  // no later form: kept unread
        FrameV22("TXX", Cat({B({0}), B("key"), B({0}), B("value")})),
        FrameV22("TCP", Cat({B({0}), B("1")})),
        FrameV22("TSC", Cat({B({0}), B("Sort")})),
        FrameV22("RVA", B({3, 16, 1, 0, 2, 0})),  // the layout of RVAD, not of RVA2
        FrameV22("LNK", Cat({B("TT2"), B("http://x"), B({0})})),  // three letters of link become four
        FrameV22("XYZ", B("?")),
    });
    Id3Tag tag;
    const Bytes tagBytes = Tag(2, frames, 10);
    EXPECT_EQ(Read(WithAudio(tagBytes), tag), tagBytes.size());
    EXPECT_EQ(FrameLetters(tag),
              Letters({"TIT2", "TPE1", "TDRC", "TCON", "COMM", "APIC", "TXXX", "TCMP", "TSOC", "RVAD", "LINK"}));
    EXPECT_EQ(tag.FindFrame(kFrameLINK)->Data(FieldRole::Body)->Data(), Cat({B("TIT2"), B("http://x"), B({0})}));
    EXPECT_EQ(Bytes(tag.UnreadBytes().begin(), tag.UnreadBytes().end()),
              Cat({FrameV22("CRM", B("owner")), FrameV22("XYZ", B("?"))}));
    Bytes rva;  // RVAD keeps its name in v2.4
    RenderFrame(*tag.FindFrame(kFrameRVAD), RenderContext{0, true}, rva);
    EXPECT_EQ(rva, Frame(4, "RVAD", B({3, 16, 1, 0, 2, 0})));
    EXPECT_EQ(TextOf(tag, kFrameTPE1), "Ärtist");
    EXPECT_EQ(U8(tag.GetGenre()), "Rock");
    EXPECT_EQ(tag.FindComment(u"desc")->Text(FieldRole::Text)->Text(), u"comment");
    const Id3Frame* picture = tag.FindPicture(3);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Ascii(FieldRole::MimeType)->Value(), "image/png");
    EXPECT_EQ(picture->Data(FieldRole::PictureData)->Data(), B({0x89, 'P', 'N', 'G'}));
    // A compressed v2.2 tag gives its size, no frames, and its bytes unread.
    Id3Tag compressed;
    EXPECT_EQ(Read(WithAudio(Tag(2, frames, 0, 0x40)), compressed), frames.size() + 10);
    EXPECT_TRUE(compressed.Frames().empty());
    EXPECT_EQ(compressed.UnreadBytes().size(), frames.size());
}

TEST_F(ReaderTest, ITunesPlainSizesInV24AreRecognised) {
    // A 200-byte frame whose size iTunes wrote as 00 00 00 C8 instead of syncsafe 00 00 01 48.
    const Bytes frames = Cat({B("TIT2"), BigEndian(200), B({0, 0, 0}), Bytes(199, 'x'), Text(4, "TPE1", "Next")});
    Id3Tag tag;
    Read(WithAudio(Tag(4, frames, 10)), tag);
    EXPECT_EQ(FrameLetters(tag), Letters({"TIT2", "TPE1"}));
    EXPECT_EQ(tag.GetText(kFrameTIT2).size(), 199u);
}

}  // namespace
}  // namespace quorvane::tagtest
