// Rendering the frames area.
#include <functional>

#include "tag_test_util.h"

namespace quorvane::tagtest {
namespace {

using RenderTest = TagFileTest;

// One row per frame family, in the order of the families: a crafted body, and the same
// frame built in memory.
struct LayoutRow {
    FrameFamily family;
    uint8_t encoding;  // of the body
    Bytes body;
    std::function<std::unique_ptr<Id3Frame>(FrameId)> make;
};

const std::vector<LayoutRow>& Rows() {
    static const Bytes picture = B({0x89, 'P', 'N', 'G', 0, 0xFF, 0}), raw = B({0, 1, 2, 0xFF, 0, 'r', 'a', 'w'});
    static const std::vector<LayoutRow> rows = {
        {FrameFamily::Text, 3, Cat({B({3}), B("Gr\xC3\xBC\xC3\x9F" "e \xE0\xA0\x80")}),
         [](FrameId id) { return MakeTextFrame(id, u"Grüße \u0800"); }},
        // An empty description in encoding 1 still has its byte-order mark.
        {FrameFamily::Comment, 1, Cat({B({1}), B("deu"), B({0xFF, 0xFE, 0, 0, 0xFF, 0xFE}), Utf16(u"Hi €")}),
         [](FrameId) { return MakeCommentFrame("deu", u"", u"Hi €"); }},
        {FrameFamily::Picture, 0, Cat({B({0}), B("image/png"), B({0, 3}), B("Cover \xE9"), B({0}), picture}),
         [](FrameId) { return MakePictureFrame(3, "image/png", u"Cover é", picture); }},
        {FrameFamily::Raw, 0, raw, [](FrameId id) {
             auto frame = Id3Frame::Make(id, 0, FrameFamily::Raw);
             frame->Data(FieldRole::Body)->SetData(raw);
             return frame;
         }},
    };
    return rows;
}

// Every known identifier, written as each version names it, with its family's body: it
// reads into the fields of the frame built in memory, and both render back byte for byte.
TEST_F(RenderTest, EveryIdentifierReadsAndRendersBackByteForByte) {
    for (FrameId id = 0; id < kFrameIdCount; ++id) {
        for (const bool v24 : {false, true}) {
            const FrameId written = v24 ? ToV24Id(id) : ToV23Id(id);
            // The body's layout follows the identifier as written: a v2.3 IPLS stays raw.
            const LayoutRow& row = Rows().at(size_t(FamilyOf(written)));
            const int major = v24 ? 4 : 3;
            const Bytes frameBytes = Frame(major, FrameIdName(written), row.body);
            SCOPED_TRACE(std::string(FrameIdName(written)) + (v24 ? " v2.4" : " v2.3"));
            Id3Tag tag;
            Read(Tag(major, frameBytes, 8), tag);
            ASSERT_EQ(tag.Frames().size(), 1u);
            const Id3Frame& frame = *tag.Frames()[0];
            EXPECT_EQ(frame.Id(), ToV24Id(id));
            EXPECT_EQ(frame.Family(), row.family);

            const RenderContext context{row.encoding, v24};
            const bool leftOut = written == kFrameTSIZ ||
                                 (v24 && (written == kFrameTDAT || written == kFrameTIME || written == kFrameTRDA));
            EXPECT_EQ(RenderFrameBytes(tag, context), leftOut ? Bytes() : frameBytes);
            auto made = row.make(written);
            EXPECT_TRUE(frame.Equals(*made));
            Id3Tag built;
            built.AddFrame(std::move(made));
            EXPECT_EQ(RenderFrameBytes(built, context), leftOut ? Bytes() : frameBytes);
        }
    }
}

// Sizes at the edges of each byte's seven bits: syncsafe in tag headers (28 bits) and
// v2.4 frame headers, big-endian in v2.3 frame headers.
TEST(Render, SizesAreSyncsafeInTagAndV24FrameHeadersAndBigEndianInV23Ones) {
    struct Case {
        uint32_t size;
        Bytes syncsafe, bigEndian;
    };
    const Case cases[] = {{0, B({0, 0, 0, 0}), B({0, 0, 0, 0})},
                          {127, B({0, 0, 0, 0x7F}), B({0, 0, 0, 0x7F})},
                          {128, B({0, 0, 1, 0}), B({0, 0, 0, 0x80})},
                          {200, B({0, 0, 1, 0x48}), B({0, 0, 0, 0xC8})},
                          {3182, B({0, 0, 0x18, 0x6E}), B({0, 0, 0x0C, 0x6E})},  // the writer plan's insert
                          {16383, B({0, 0, 0x7F, 0x7F}), B({0, 0, 0x3F, 0xFF})},
                          {16384, B({0, 1, 0, 0}), B({0, 0, 0x40, 0})},
                          {2097151, B({0, 0x7F, 0x7F, 0x7F}), B({0, 0x1F, 0xFF, 0xFF})},
                          {2097152, B({1, 0, 0, 0}), B({0, 0x20, 0, 0})},
                          {0x0FFFFFFF, B({0x7F, 0x7F, 0x7F, 0x7F}), B({0x0F, 0xFF, 0xFF, 0xFF})}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        for (const bool v24 : {false, true}) {
            const auto header = FormatV2Header(v24, c.size);
            EXPECT_EQ(Bytes(header.begin(), header.end()), Cat({B("ID3"), B({v24 ? 4 : 3, 0, 0}), c.syncsafe}));
            EXPECT_EQ(DecodeV2Header(header.data(), header.size())->Extent(), c.size + 10u);
        }
        if (c.size > 2097152) continue;  // no frame that large is rendered here
        Id3Tag tag;
        auto frame = Id3Frame::Make(kFramePRIV, 0, FrameFamily::Raw);
        frame->Data(FieldRole::Body)->SetData(Bytes(c.size, 'p'));
        tag.AddFrame(std::move(frame));
        for (const bool v24 : {false, true}) {
            const Bytes out = Render(tag, v24);
            ASSERT_EQ(out.size(), 10u + c.size);
            EXPECT_EQ(Bytes(out.begin(), out.begin() + 10), Cat({B("PRIV"), v24 ? c.syncsafe : c.bigEndian, B({0, 0})}));
        }
    }
    EXPECT_FALSE(ParseV2Header(FormatV2Header(false, 0).data(), 9, 5000));  // fewer than ten bytes read
}

// v2.3 holds a date in TYER, TDAT ("DDMM") and TIME ("HHMM"), v2.4 in one TDRC timestamp
// with as many parts as are known; the original year is TORY or TDOR. Each tag written in
// its own version stays as it was.
TEST_F(RenderTest, DatesAcrossVersions) {
    struct Case {
        int major;
        std::vector<std::pair<const char*, const char*>> from, to;
    };
    const Case cases[] = {
        {3, {{"TYER", "1999"}, {"TDAT", "0312"}, {"TIME", "1530"}, {"TRDA", "x"}}, {{"TDRC", "1999-12-03T15:30"}}},
        {3, {{"TIME", "0000"}, {"TYER", "1999"}, {"TDAT", "3112"}}, {{"TDRC", "1999-12-31T00:00"}}},
        {3, {{"TYER", "1999"}, {"TIME", "1530"}}, {{"TDRC", "1999"}}},  // a time without a day has no place
        {3, {{"TYER", "1999"}, {"TDAT", "0013"}}, {{"TDRC", "1999"}}},  // no month 13
        {3, {{"TORY", "1987"}}, {{"TDOR", "1987"}}},
        {4, {{"TDRC", "1999-12-03T15:30:45"}, {"TPE1", "x"}}, {{"TYER", "1999"}, {"TDAT", "0312"}, {"TIME", "1530"}, {"TPE1", "x"}}},
        {4, {{"TDRC", "1999-12"}}, {{"TYER", "1999"}}},
        {4, {{"TDOR", "1987-06-05"}}, {{"TORY", "1987"}}},
        {4, {{"TDRC", "Spring 1999"}}, {{"TYER", "Spring 1999"}}},
    };
    auto frames = [](int major, const std::vector<std::pair<const char*, const char*>>& texts) {
        Bytes out;
        for (auto [id, text] : texts) out = Cat({out, Text(major, id, text)});
        return out;
    };
    for (const Case& c : cases) {
        Id3Tag tag;
        const Bytes source = frames(c.major, c.from);
        Read(Tag(c.major, source), tag);
        EXPECT_EQ(Render(tag, c.major == 4), source) << c.from[0].second;
        EXPECT_EQ(Render(tag, c.major == 3), frames(7 - c.major, c.to)) << c.from[0].second;
    }
}

// Fields not edited render the bytes they were read from, in either version; edited ones
// are written in the tag's encoding, or in UTF-16 where encoding 0 cannot hold them.
TEST_F(RenderTest, UneditedFieldsAndValuesKeepTheirBytesAndEncodingsFallBackPerFrame) {
    const Bytes bodies[] = {
        Cat({B({0}), B("XXX"), B({0}), B("a")}),              // COMM: language "XXX"
        Cat({B({0}), B("en"), B({0}), B("d"), B({0}), B("b")}),  // COMM: language "en" and a zero
        B({1, 0xFE, 0xFF, 0, 'T'}),                           // TIT2: big-endian, with its mark
        Cat({B({0}), B("Album")}),                            // TALB: read only
    };
    const char* ids[] = {"COMM", "COMM", "TIT2", "TALB"};
    auto frames = [&](int major) {
        Bytes out;
        for (int i = 0; i < 4; ++i) out = Cat({out, Frame(major, ids[i], bodies[i], i < 3 ? 0 : major == 3 ? 0x2000 : 0x1000)});
        return out;
    };
    Id3Tag tag;
    Read(Tag(3, frames(3)), tag);
    EXPECT_EQ(tag.Frames()[0]->Ascii(FieldRole::Language)->Value(), "xxx");  // as shown and compared
    EXPECT_EQ(tag.Frames()[1]->Ascii(FieldRole::Language)->Value(), "eng");
    for (uint8_t encoding : {0, 1}) EXPECT_EQ(Render(tag, false, encoding), frames(3));
    EXPECT_EQ(Render(tag, true, 3), frames(4));

    tag.Frames()[0]->Text(FieldRole::Description)->SetText(u"new");
    tag.Frames()[1]->Ascii(FieldRole::Language)->SetValue("eng");  // what it shows: no edit
    tag.SetText(kFrameTIT2, u"Café");
    tag.SetText(kFrameTALB, u"Café ☃");
    const Bytes edited[] = {Frame(3, "COMM", Cat({B({0}), B("XXX"), B("new"), B({0}), B("a")})),
                            Frame(3, "COMM", bodies[1]), Frame(3, "TIT2", Cat({B({0}), B("Caf\xE9")})),
                            Frame(3, "TALB", Cat({B({1, 0xFF, 0xFE}), Utf16(u"Café ☃")}))};
    EXPECT_EQ(Render(tag, false, 0), Cat({edited[0], edited[1], edited[2], edited[3]}));
    tag.Frames()[1]->Ascii(FieldRole::Language)->SetValue("deu");
    EXPECT_EQ(Render(tag, false, 0),
              Cat({edited[0], Frame(3, "COMM", Cat({B({0}), B("deu"), B("d"), B({0}), B("b")})), edited[2], edited[3]}));

    // Multiple values survive until the text changes.
    const Bytes read = Frame(4, "TPE1", Cat({B({3}), B("One"), B({0}), B("Two")}));
    Id3Tag values;
    Read(Tag(4, read), values);
    EXPECT_EQ(Render(values, true, 1), read);
    // UTF-8 has no place in v2.3.
    EXPECT_EQ(Render(values, false, 1),
              Frame(3, "TPE1", Cat({B({1, 0xFF, 0xFE}), Utf16(u"One"), B({0, 0, 0xFF, 0xFE}), Utf16(u"Two")})));
    values.SetText(kFrameTPE1, u"One");  // the same text: nothing changes
    EXPECT_FALSE(values.IsChanged());
    values.SetText(kFrameTPE1, u"Solo");
    EXPECT_EQ(Render(values, true, 3), Text(4, "TPE1", "Solo", 3));
}

// zlib streams of a TIT2 body (00 "Title") and of an APIC body (a PNG-like picture).
const Bytes kZlibTitle = B({0x78, 0xDA, 0x63, 0x08, 0xC9, 0x2C, 0xC9, 0x49, 0x05, 0x00, 0x05, 0xE7, 0x02, 0x03});
const Bytes kZlibPicture = B({0x78, 0xDA, 0x63, 0xC8, 0xCC, 0x4D, 0x4C, 0x4F, 0xD5, 0x2F, 0xC8, 0x4B, 0x67, 0x60,
                              0x66, 0xE8, 0x0C, 0xF0, 0x73, 0xFF, 0xCF, 0x00, 0x00, 0x39, 0x9D, 0x05, 0xE8});

// Frames compressed, encrypted or grouped render back as stored in their own version; in
// the other one their flags are translated, and a frame that inflates is written plain.
TEST_F(RenderTest, OpaqueAndCompressedFramesGoBackAsStored) {
    // A stream that would inflate past 64 MB stays compressed, kept as read.
    const fs::path bomb = dir_ / "bomb";
    ASSERT_EQ(test::RunPython("import sys, zlib\nopen(sys.argv[1], 'wb').write(zlib.compress(bytes((64 << 20) + 1), 9))",
                              {bomb.string()}).status, 0);
    const Bytes stored = test::ReadFileBytes(bomb);
    const struct {
        int major;
        Bytes frames, other;  // as read, and as rendered in the other version
    } cases[] = {
        // v2.4 order: group, method, data length; flags grouping, compression, encryption,
        // data length indicator.
        {3, Cat({Frame(3, "TIT2", Cat({BigEndian(50), B({0x81, 7}), B("zlib")}), 0x00E0),
                 Frame(3, "TPE1", Cat({B({0x81}), B("enc")}), 0x0040)}),
         Cat({Frame(4, "TIT2", Cat({B({7, 0x81}), Syncsafe(50), B("zlib")}), 0x004D),
              Frame(4, "TPE1", Cat({B({0x81}), B("enc")}), 0x0004)})},
        // v2.3 has no data length indicator: a frame with only that one becomes plain.
        {4, Cat({Frame(4, "APIC", Cat({Syncsafe(300), B("zz")}), 0x0009),
                 Frame(4, "TALB", Cat({Syncsafe(6), B({0}), B("Album")}), 0x0001)}),
         Cat({Frame(3, "APIC", Cat({BigEndian(300), B("zz")}), 0x0080), Text(3, "TALB", "Album")})},
        {3, Frame(3, "TIT2", Cat({BigEndian(6), kZlibTitle}), 0x0080), Text(4, "TIT2", "Title")},
        {4, Frame(4, "APIC", Cat({Syncsafe(19), kZlibPicture}), 0x0009),
         Frame(3, "APIC", Cat({B({0}), B("image/png"), B({0, 3, 0, 0x89, 'P', 'N', 'G', 0xFF, 0})}))},
        {4, Frame(4, "PRIV", Cat({Syncsafe((64 << 20) + 1), stored}), 0x0009),
         Frame(3, "PRIV", Cat({BigEndian((64 << 20) + 1), stored}), 0x0080)},
    };
    for (const auto& c : cases) {
        Id3Tag tag;
        Read(Tag(c.major, c.frames), tag);
        EXPECT_EQ(Render(tag, c.major == 4), c.frames);
        EXPECT_EQ(Render(tag, c.major == 3), c.other);
    }
    // Edited, a compressed frame is written plain.
    Id3Tag tag;
    Read(Tag(4, cases[3].frames), tag);
    tag.SetPicture(3, "image/png", u"", B("new"));
    EXPECT_EQ(Render(tag, true), Frame(4, "APIC", Cat({B({0}), B("image/png"), B({0, 3, 0}), B("new")})));
}

// A tag of more frames than the cap holds the first ones as frames and the rest as their
// bytes, written back as read or converted one by one into the other version.
TEST_F(RenderTest, FramesPastTheCapAreKeptAsBytes) {
    Bytes frames;
    for (uint32_t i = 0; i < kV2FrameCap + 1000; ++i) {
        const Bytes frame = Text(3, i % 2 ? "TPE1" : "TYER", std::to_string(i));
        frames.insert(frames.end(), frame.begin(), frame.end());
    }
    Id3Tag tag, again;
    Read(Tag(3, frames, 4), tag);
    ASSERT_EQ(tag.Frames().size(), kV2FrameCap);
    ASSERT_NE(tag.KeptFrameTail(), nullptr);
    EXPECT_EQ(tag.KeptFrameTail()->count, 1000u);
    EXPECT_EQ(Render(tag, false), frames);
    const Bytes v24 = Render(tag, true);
    EXPECT_EQ(v24.size(), frames.size());
    EXPECT_EQ(Bytes(v24.end() - 16, v24.end()), Text(4, "TPE1", "50999"));
    Read(Tag(4, v24), again);
    EXPECT_EQ(again.KeptFrameTail()->count, 1000u);
    EXPECT_EQ(Render(again, false), frames);
    again.RemoveAllFrames();
    EXPECT_EQ(again.KeptFrameTail(), nullptr);
}

}  // namespace
}  // namespace quorvane::tagtest
