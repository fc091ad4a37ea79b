// Reading ID3v2 tags from crafted bytes.
#include <random>

#include "tag_test_util.h"
#include "tags/id3_text.h"

namespace quorvane::tagtest {
namespace {

using id3text::EncodedMatch;
using ReaderTest = TagFileTest;

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

// The values encoded one after the other, a terminator between them.
Bytes Encoded(const std::u16string& text, const std::vector<std::u16string>& more, uint8_t encoding) {
    Bytes bytes;
    id3text::AppendEncoded(text, encoding, CodePage::System(), bytes);
    for (const auto& value : more) {
        bytes.insert(bytes.end(), id3text::UnitSize(encoding), 0);
        id3text::AppendEncoded(value, encoding, CodePage::System(), bytes);
    }
    return bytes;
}

// The comparison made in place (UTF-16 unit by unit, the code page byte by byte) agrees
// with encoding again, for texts of every kind of character and bytes near their form.
TEST(ReadForm, ComparisonInPlaceAgreesWithEncodingAgain) {
    // A surrogate pair (U+1F3B5), lone surrogates and the boundaries of UTF-8's lengths.
    std::u16string alphabet = u"aZ09 ?\u00e9\u00ff\u0081\u20ac\u0100\u07ff\u0800\uffff\U0001F3B5";
    alphabet += {char16_t(0xDC80), char16_t(0xD800)};
    std::mt19937 rng(17);
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    auto randomText = [&] {
        std::u16string text;
        for (size_t n = pick(6); n > 0; --n) text.push_back(alphabet[pick(alphabet.size())]);
        return text;
    };
    int seen[3] = {};
    for (int round = 0; round < 4000; ++round) {
        const auto encoding = static_cast<uint8_t>(pick(4));
        const size_t unit = id3text::UnitSize(encoding);
        const std::u16string text = randomText();
        std::vector<std::u16string> more;
        if (pick(4) == 0) more.push_back(randomText());
        const Bytes again = Encoded(text, more, encoding);
        Bytes bytes = again, terminated = again;
        terminated.insert(terminated.end(), unit, 0);
        switch (pick(5)) {
            case 0: break;
            case 1: bytes.insert(bytes.end(), unit, 0); break;  // a terminator
            case 2: bytes.insert(bytes.end(), 2 * unit, 0); break;
            case 3: bytes.push_back(0); break;  // half a UTF-16 terminator
            case 4: if (!bytes.empty()) bytes.pop_back(); break;
        }
        if (!bytes.empty() && pick(3) == 0) bytes[pick(bytes.size())] ^= 0x40;
        const EncodedMatch expected = bytes == again        ? EncodedMatch::Same
                                      : bytes == terminated ? EncodedMatch::SameAndTerminator
                                                            : EncodedMatch::Different;
        ++seen[static_cast<int>(expected)];
        EXPECT_EQ(id3text::CompareEncoded(text, more, encoding, CodePage::System(), bytes), expected)
            << "encoding " << int(encoding) << " text " << U8(text) << " bytes " << bytes.size();
    }
    for (int count : seen) EXPECT_GT(count, 100);
}

// A frame whose body does not fit its layout is kept raw; where the list ends at bytes
// that are not padding, they are kept unread (zeros around them are padding). Extended
// headers are skipped, and a flag set without one is noticed.
TEST_F(ReaderTest, FrameListsAreReadAsFarAsTheyHoldAndTheRestIsKeptUnread) {
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
    // A 200-byte frame whose size iTunes wrote as 00 00 00 C8 instead of syncsafe 00 00 01 48.
    const Bytes iTunes = Cat({B("TIT2"), BigEndian(200), B({0, 0, 0}), Bytes(199, 'x'), Text(4, "TPE1", "Next")});
    const Case cases[] = {
        {"bad encoding", Tag(3, Cat({Text(3, "TPE1", "x", 5), Text(3, "TALB", "A")})), Letters({"TPE1", "TALB"}), {}},
        {"zero-size frame passed over", Tag(3, Cat({Frame(3, "TIT1", {}), one})), Letters({"TIT2"}), {}},
        {"description without terminator", Tag(3, Cat({Frame(3, "COMM", Cat({B({0}), B("eng"), B("x")})), one})),
         Letters({"COMM", "TIT2"}), {}},
        {"damaged frame in the middle", Tag(3, Cat({one, beyond, Text(3, "TPE1", "Two")}), 30), Letters({"TIT2"}),
         Cat({beyond, Text(3, "TPE1", "Two")})},
        {"header cut by the tag's end", Tag(3, Cat({one, B("TPE1"), B({0, 0})})), Letters({"TIT2"}), B("TPE1")},
        {"garbage ends the list", Tag(3, Cat({one, B("ab#d"), Bytes(20, 1)})), Letters({"TIT2"}),
         Cat({B("ab#d"), Bytes(20, 1)})},
        {"garbage behind the padding", Tag(4, Cat({Text(4, "TIT2", "x"), Bytes(30, 0), junk, Bytes(9, 0)})),
         Letters({"TIT2"}), junk},
        {"flags promise more than the body", Tag(3, Cat({one, promise})), Letters({"TIT2"}), promise},
        {"padding ends the list", Tag(4, Text(4, "TIT2", "x"), 40), Letters({"TIT2"}), {}},
        {"unknown frames are kept", Tag(4, Cat({Frame(4, "XYZ1", B("p")), Text(4, "TSO2", "s"), one})),
         Letters({"XYZ1", "TSO2", "TIT2"}), {}},
        {"iTunes sizes in v2.4", Tag(4, iTunes, 10), Letters({"TIT2", "TPE1"}), {}},
        {"v2.4 extended header", Tag(4, Cat({Syncsafe(12), B({1, 0}), Bytes(6, 0), one}), 0, 0x40), Letters({"TIT2"}), {}},
        {"v2.3 extended header", Tag(3, Cat({BigEndian(6), Bytes(6, 0), one}), 0, 0x40), Letters({"TIT2"}), {}},
        // The flag set and no extended header written: the frames follow the tag header.
        {"v2.4 extended flag only", Tag(4, Cat({Text(4, "TIT2", "bug"), Text(4, "TPE1", "x")}), 10, 0x40),
         Letters({"TIT2", "TPE1"}), {}},
        {"v2.3 extended flag only", Tag(3, one, 10, 0x40), Letters({"TIT2"}), {}},
        // Neither an extended header nor a frame: the whole tag is unread (leading zeros are padding).
        {"extended header too large", Tag(4, Cat({Syncsafe(500), Text(4, "TIT2", "x")}), 0, 0x40), {},
         Cat({B({3, 0x74}), Text(4, "TIT2", "x")})},
    };
    for (const Case& c : cases) {
        Id3Tag tag;
        Read(c.bytes, tag);
        EXPECT_EQ(FrameLetters(tag), c.frames) << c.name;
        EXPECT_EQ(Unread(tag), c.unread) << c.name;
    }

    // A tag cut off by the end of the file (its size field still within the file's
    // length) keeps its intact frames; the audio would start at the end of the file.
    Bytes cut = Tag(3, Cat({one, Text(3, "TPE1", "Two")}));
    cut.resize(cut.size() - 3);
    Id3Tag tag;
    EXPECT_EQ(ReadTagBytes(dir_, cut, tag), cut.size());
    EXPECT_EQ(FrameLetters(tag), Letters({"TIT2"}));
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
    EXPECT_EQ(Read(tagBytes, tag), tagBytes.size());
    EXPECT_EQ(FrameLetters(tag),
              Letters({"TIT2", "TPE1", "TDRC", "TCON", "COMM", "APIC", "TXXX", "TCMP", "TSOC", "RVAD", "LINK"}));
    EXPECT_EQ(tag.FindFrame(kFrameLINK)->Data(FieldRole::Body)->Data(), Cat({B("TIT2"), B("http://x"), B({0})}));
    EXPECT_EQ(Unread(tag), Cat({FrameV22("CRM", B("owner")), FrameV22("XYZ", B("?"))}));
    EXPECT_EQ(TextOf(tag, kFrameTPE1), "Ärtist");
    EXPECT_EQ(U8(tag.GetGenre()), "Rock");
    EXPECT_TRUE(tag.FindFrame(kFrameCOMM)->Equals(*MakeCommentFrame("eng", u"desc", u"comment")));
    EXPECT_TRUE(tag.FindFrame(kFrameAPIC)->Equals(*MakePictureFrame(3, "image/png", u"cover", B({0x89, 'P', 'N', 'G'}))));
    // A compressed v2.2 tag gives its size, no frames, and its bytes unread.
    Id3Tag compressed;
    EXPECT_EQ(Read(Tag(2, frames, 0, 0x40), compressed), frames.size() + 10);
    EXPECT_TRUE(compressed.Frames().empty());
    EXPECT_EQ(compressed.UnreadBytes().size(), frames.size());
}

// Bodies as writers leave them render back unchanged in their own version, whatever the
// tag's encoding; an edited text is written plainly, without the terminator it had.
TEST_F(ReaderTest, TextsRenderBackByteForByte) {
    const Bytes bodies[] = {
        Cat({B({1, 0xFF, 0xFE}), Utf16(u"Title \u00e9"), B({0, 0})}),   // a terminator (mutagen)
        Cat({B({1, 0xFF, 0xFE}), Utf16(u"Title \u00e9")}),             // none
        Cat({B({1, 0xFF, 0xFE}), Utf16(u"Two"), B({0, 0, 0, 0})}),      // two
        Cat({B({1, 0xFE, 0xFF}), Utf16(u"Big", true), B({0, 0})}),      // big-endian mark
        Cat({B({0}), B("Caf\xE9"), B({0})}),                            // code page
        Cat({B({0}), B("One"), B({0}), B("Two"), B({0})}),              // two values, a terminator
        Cat({B({2}), Utf16(u"\u20ac", true), B({0, 0})}),
        Cat({B({3}), B("Gr\xC3\xBC\xC3\x9F" "e"), B({0})}),             // UTF-8 beyond ASCII
        Cat({B({3}), B("caf\xE9"), B({0})}),                            // not UTF-8
    };
    for (const int major : {3, 4}) {
        Bytes frames;
        for (const Bytes& body : bodies) {
            if (major == 3 && (body[0] == 2 || body[0] == 3)) continue;  // v2.4 encodings
            frames = Cat({frames, Frame(major, "TIT2", body)});
        }
        Id3Tag tag;
        Read(Tag(major, frames), tag);
        for (uint8_t encoding : {0, 1, 3}) EXPECT_EQ(Render(tag, major == 4, encoding), frames) << major;
    }
    Id3Tag tag;
    Read(Tag(4, Frame(4, "TIT2", bodies[0])), tag);
    tag.Frames()[0]->Text()->SetText(u"New");
    EXPECT_EQ(Render(tag, true, 1), Frame(4, "TIT2", Cat({B({1, 0xFF, 0xFE}), Utf16(u"New")})));
}

// Padding is looked at in blocks of 256 bytes, then eight bytes at a time: a stray byte
// is found at every offset around those steps, and zeros on both sides of it stay padding,
// behind the frames as in a tag kept whole (a compressed v2.2 tag).
TEST_F(ReaderTest, BytesBehindThePaddingAreFoundAtEveryOffset) {
    const Bytes frame = Text(4, "TIT2", "x");
    for (size_t before : {1, 7, 8, 9, 17, 255, 256, 257, 519}) {
        for (size_t after : {0, 1, 7, 8, 9, 255, 256, 257}) {
            for (const Bytes& stray : {B("\x01"), B({'a', 0, 0, 0, 0, 0, 0, 0, 0, 'b'})}) {
                const Bytes around = Cat({Bytes(before, 0), stray, Bytes(after, 0)});
                for (const Bytes& bytes : {Tag(4, Cat({frame, around})), Tag(2, around, 0, 0x40)}) {
                    Id3Tag tag;
                    Read(bytes, tag);
                    EXPECT_EQ(Unread(tag), stray) << int(bytes[3]) << " " << before << " " << after;
                }
            }
        }
    }
}

TEST_F(ReaderTest, SaveEmptyOffDropsEmptyTextsAndEmptyCommentsWithoutALanguage) {
    const Bytes frames = Cat({
        Frame(3, "TCON", B({0})),                                // empty text: dropped
        Text(3, "TIT2", "x"),                                    // kept
        Frame(3, "COMM", B({0, 0, 0, 0, 0})),                    // no language, empty: dropped
        Frame(3, "COMM", Cat({B({0, 0, 0, 0, 0}), B("t")})),     // no language, a text: kept
        Frame(3, "COMM", Cat({B({0}), B("DEU"), B({0})})),       // a language: kept
        Frame(3, "APIC", Cat({B({0}), B("image/png"), B({0, 3, 0})})),  // pictures: kept
    });
    Id3Tag all, some;
    Read(Tag(3, frames), all);
    Read(Tag(3, frames), some, {.saveEmpty = false});
    EXPECT_EQ(FrameLetters(all), Letters({"TCON", "TIT2", "COMM", "COMM", "COMM", "APIC"}));
    EXPECT_EQ(all.Frames()[2]->Ascii(FieldRole::Language)->Value(), "eng");
    EXPECT_EQ(all.Frames()[4]->Ascii(FieldRole::Language)->Value(), "deu");
    EXPECT_EQ(FrameLetters(some), Letters({"TIT2", "COMM", "COMM", "APIC"}));
    EXPECT_EQ(some.Frames()[1]->Text(FieldRole::Text)->Text(), u"t");
}

}  // namespace
}  // namespace quorvane::tagtest
