// Rendering the frames area: frame headers, version mapping, left-out frames, multiple
// values, and frames kept compressed, encrypted or unsynchronised.
#include "tag_test_util.h"

namespace quorvane::tagtest {
namespace {

class RenderTest : public ::testing::Test {
protected:
    void Read(const Bytes& tagBytes, Id3Tag& tag) {
        ReadTagBytes(dir_, WithAudio(tagBytes), tag);
        tag.ClearChanged();
    }
    test::TempDir dir_;
};

TEST(Render, FrameSizesAreSyncsafeInV24AndBigEndianInV23) {
    struct Case {
        uint32_t size;
        Bytes v24, v23;
    };
    const Case cases[] = {{127, B({0, 0, 0, 0x7F}), B({0, 0, 0, 0x7F})},
                          {128, B({0, 0, 1, 0}), B({0, 0, 0, 0x80})},
                          {200, B({0, 0, 1, 0x48}), B({0, 0, 0, 0xC8})},
                          {16383, B({0, 0, 0x7F, 0x7F}), B({0, 0, 0x3F, 0xFF})},
                          {16384, B({0, 1, 0, 0}), B({0, 0, 0x40, 0})},
                          {2097152, B({1, 0, 0, 0}), B({0, 0x20, 0, 0})}};
    for (const Case& c : cases) {
        Id3Tag tag;
        auto frame = std::make_unique<Id3Frame>(kFramePRIV, 0, FrameFamily::Raw);
        frame->Data(FieldRole::Body)->SetData(Bytes(c.size, 'p'));
        tag.AddFrame(std::move(frame));
        for (const bool v24 : {false, true}) {
            const Bytes out = Render(tag, v24);
            ASSERT_EQ(out.size(), 10u + c.size);
            EXPECT_EQ(Bytes(out.begin(), out.begin() + 10), Cat({B("PRIV"), v24 ? c.v24 : c.v23, B({0, 0})})) << c.size;
        }
    }
}

TEST_F(RenderTest, VersionMappingAndLeftOutFrames) {
    Id3Tag tag;
    const Bytes kept = Cat({Text(3, "TDAT", "0101"), Text(3, "TIME", "1200"), Text(3, "TRDA", "x")});
    Read(Tag(3, Cat({Text(3, "TYER", "1999"), kept, Text(3, "TSIZ", "123"), Frame(3, "RVAD", B({9, 8, 7})),
                     Frame(3, "XTRA", B("kept"))})),
         tag);
    ASSERT_EQ(tag.Frames().size(), 7u);
    EXPECT_EQ(Render(tag, true),
              Cat({Text(4, "TDRC", "1999"), Frame(4, "RVA2", B({9, 8, 7})), Frame(4, "XTRA", B("kept"))}));
    EXPECT_EQ(Render(tag, false),
              Cat({Text(3, "TYER", "1999"), kept, Frame(3, "RVAD", B({9, 8, 7})), Frame(3, "XTRA", B("kept"))}));
    // v2.4-only identifiers go into v2.3 tags as they are.
    Id3Tag only24;
    only24.SetText(kFrameTDRL, u"2001");
    EXPECT_EQ(Render(only24, false), Text(3, "TDRL", "2001"));
}

TEST_F(RenderTest, MultipleValuesSurviveUntilTheTextChanges) {
    Id3Tag tag;
    Read(Tag(4, Frame(4, "TPE1", Cat({B({3}), B("One"), B({0}), B("Two")}))), tag);
    EXPECT_EQ(Render(tag, true, 1),
              Frame(4, "TPE1", Cat({B({1, 0xFF, 0xFE}), Utf16(u"One"), B({0, 0, 0xFF, 0xFE}), Utf16(u"Two")})));
    tag.SetText(kFrameTPE1, u"One");  // the same text: nothing changes
    EXPECT_FALSE(tag.IsChanged());
    tag.SetText(kFrameTPE1, u"Solo");
    EXPECT_EQ(Render(tag, true, 3), Text(4, "TPE1", "Solo", 3));
}

TEST_F(RenderTest, OpaqueFramesTranslateTheirFlags) {
    Id3Tag from23, from24;
    const Bytes v23 = Cat({Frame(3, "TIT2", Cat({BigEndian(50), B({0x81, 7}), B("zlib")}), 0x00E0),
                           Frame(3, "TPE1", Cat({B({0x81}), B("enc")}), 0x0040)});
    Read(Tag(3, v23), from23);
    // v2.4 order: group, method, data length; flags grouping, compression, encryption,
    // data length indicator.
    EXPECT_EQ(Render(from23, true), Cat({Frame(4, "TIT2", Cat({B({7, 0x81}), Syncsafe(50), B("zlib")}), 0x004D),
                                         Frame(4, "TPE1", Cat({B({0x81}), B("enc")}), 0x0004)}));
    EXPECT_EQ(Render(from23, false), v23);

    const Bytes v24 = Cat({Frame(4, "APIC", Cat({Syncsafe(300), B("zz")}), 0x0009),
                           Frame(4, "TALB", Cat({Syncsafe(6), B({0}), B("Album")}), 0x0001)});
    Read(Tag(4, v24), from24);
    // v2.3 has no data length indicator: a frame with only that one becomes plain.
    EXPECT_EQ(Render(from24, false),
              Cat({Frame(3, "APIC", Cat({BigEndian(300), B("zz")}), 0x0080), Text(3, "TALB", "Album")}));
    EXPECT_EQ(Render(from24, true), v24);
}

TEST_F(RenderTest, UnsynchronisedInputIsWrittenPlain) {
    Id3Tag tag;
    Read(Tag(4, Frame(4, "PRIV", B({'o', 0, 0xFF, 0, 0xE0}), 0x0002)), tag);
    EXPECT_EQ(Render(tag, true), Frame(4, "PRIV", B({'o', 0, 0xFF, 0xE0})));
}

}  // namespace
}  // namespace quorvane::tagtest
