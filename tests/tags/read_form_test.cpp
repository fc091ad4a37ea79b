// What reading keeps of the bytes it reads: texts render back byte for byte (their form
// noted, or their bytes held), and bytes behind the padding are found wherever they stand.
#include <random>

#include "tag_test_util.h"
#include "tags/id3_text.h"

namespace quorvane::tagtest {
namespace {

using id3text::EncodedMatch;

// The plain definition: encode the values again and compare.
EncodedMatch Reference(const std::u16string& text, const std::vector<std::u16string>& more, uint8_t encoding,
                       const Bytes& bytes) {
    const CodePage& cp = CodePage::System();
    const size_t unit = id3text::UnitSize(encoding);
    Bytes again;
    id3text::AppendEncoded(text, encoding, cp, again);
    for (const auto& value : more) {
        again.insert(again.end(), unit, 0);
        id3text::AppendEncoded(value, encoding, cp, again);
    }
    if (again == bytes) return EncodedMatch::Same;
    again.insert(again.end(), unit, 0);
    return again == bytes ? EncodedMatch::SameAndTerminator : EncodedMatch::Different;
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
        const std::u16string text = randomText();
        std::vector<std::u16string> more;
        if (pick(4) == 0) more.push_back(randomText());
        Bytes bytes;
        id3text::AppendEncoded(text, encoding, CodePage::System(), bytes);
        for (const auto& value : more) {
            bytes.insert(bytes.end(), id3text::UnitSize(encoding), 0);
            id3text::AppendEncoded(value, encoding, CodePage::System(), bytes);
        }
        switch (pick(5)) {
            case 0: break;
            case 1: bytes.insert(bytes.end(), id3text::UnitSize(encoding), 0); break;  // a terminator
            case 2: bytes.insert(bytes.end(), 2 * id3text::UnitSize(encoding), 0); break;
            case 3: bytes.push_back(0); break;  // half a UTF-16 terminator
            case 4: if (!bytes.empty()) bytes.pop_back(); break;
        }
        if (!bytes.empty() && pick(3) == 0) bytes[pick(bytes.size())] ^= 0x40;
        const EncodedMatch expected = Reference(text, more, encoding, bytes);
        ++seen[static_cast<int>(expected)];
        EXPECT_EQ(id3text::CompareEncoded(text, more, encoding, CodePage::System(), bytes), expected)
            << "encoding " << int(encoding) << " text " << U8(text) << " bytes " << bytes.size();
    }
    for (int count : seen) EXPECT_GT(count, 100);
}

class ReadFormTest : public ::testing::Test {
protected:
    void Read(const Bytes& tagBytes, Id3Tag& tag) {
        ReadTagBytes(dir_, WithAudio(tagBytes), tag);
        tag.ClearChanged();
    }
    test::TempDir dir_;
};

// Bodies as writers leave them render back unchanged in their own version, whatever the
// tag's encoding; an edited text is written plainly, without the terminator it had.
TEST_F(ReadFormTest, TextsRenderBackByteForByte) {
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
// is found at every offset around those steps, and zeros on both sides of it stay padding, behind the frames as
// in a tag kept whole (a compressed v2.2 tag).
TEST_F(ReadFormTest, BytesBehindThePaddingAreFoundAtEveryOffset) {
    const Bytes frame = Text(4, "TIT2", "x");
    for (size_t before : {1, 7, 8, 9, 17, 255, 256, 257, 519}) {
        for (size_t after : {0, 1, 7, 8, 9, 255, 256, 257}) {
            for (const Bytes& stray : {B("\x01"), B({'a', 0, 0, 0, 0, 0, 0, 0, 0, 'b'})}) {
                const Bytes around = Cat({Bytes(before, 0), stray, Bytes(after, 0)});
                for (const Bytes& bytes : {Tag(4, Cat({frame, around})), Tag(2, around, 0, 0x40)}) {
                    Id3Tag tag;
                    Read(bytes, tag);
                    EXPECT_EQ(Bytes(tag.UnreadBytes().begin(), tag.UnreadBytes().end()), stray)
                        << int(bytes[3]) << " " << before << " " << after;
                }
            }
        }
    }
}

}  // namespace
}  // namespace quorvane::tagtest
