// The codecs take what they need as options and read no setting: empty frames on
// reading, the version and text encoding written, and the code page of 8-bit text.
// Every option here differs from its default, so a codec that ignored it would fail.
#include "tag_test_util.h"
#include "tags/id3v2_writer.h"

namespace quorvane::tagtest {
namespace {

TEST(CodecOptions, SaveEmptyOffDropsEmptyTextsAndEmptyCommentsWithoutALanguage) {
    const Bytes frames = Cat({
        Frame(3, "TCON", B({0})),                                // empty text: dropped
        Text(3, "TIT2", "x"),                                    // kept
        Frame(3, "COMM", B({0, 0, 0, 0, 0})),                    // no language, empty: dropped
        Frame(3, "COMM", Cat({B({0, 0, 0, 0, 0}), B("t")})),     // no language, a text: kept
        Frame(3, "COMM", Cat({B({0}), B("DEU"), B({0})})),       // a language: kept
        Frame(3, "APIC", Cat({B({0}), B("image/png"), B({0, 3, 0})})),  // pictures: kept
    });
    test::TempDir dir;
    Id3Tag all, some;
    ReadTagBytes(dir, WithAudio(Tag(3, frames)), all);
    ReadTagBytes(dir, WithAudio(Tag(3, frames)), some, {.saveEmpty = false});
    EXPECT_EQ(FrameLetters(all), Letters({"TCON", "TIT2", "COMM", "COMM", "COMM", "APIC"}));
    EXPECT_EQ(all.Frames()[2]->Ascii(FieldRole::Language)->Value(), "eng");
    EXPECT_EQ(all.Frames()[4]->Ascii(FieldRole::Language)->Value(), "deu");
    EXPECT_EQ(FrameLetters(some), Letters({"TIT2", "COMM", "COMM", "APIC"}));
    EXPECT_EQ(some.Frames()[1]->Text(FieldRole::Text)->Text(), u"t");
}

TEST(CodecOptions, TheEncodingIndexMeetsTheVersionWritten) {
    // {index, byte in v2.4, byte in v2.3}: encodings 2 and 3 exist only in v2.4.
    const uint8_t table[][3] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 0}, {3, 3, 0}, {4, 0, 0}};
    for (const auto& row : table) {
        EXPECT_EQ(CurrentEncoding(row[0], true), row[1]) << int(row[0]);
        EXPECT_EQ(CurrentEncoding(row[0], false), row[2]) << int(row[0]);
    }
    struct Case {
        bool use24;
        uint32_t encoding;
        Bytes frame;
    };
    const Case cases[] = {{false, 3, Frame(3, "TIT2", B({0, 'A', 'b'}))},
                          {true, 3, Frame(4, "TIT2", B({3, 'A', 'b'}))},
                          {true, 2, Frame(4, "TIT2", B({2, 0, 'A', 0, 'b'}))},
                          {false, 1, Frame(3, "TIT2", B({1, 0xFF, 0xFE, 'A', 0, 'b', 0}))}};
    test::TempDir dir;
    const fs::path path = dir / "enc.mp3";
    for (const Case& c : cases) {
        test::WriteFileBytes(path, Audio(1000, 1));
        BinaryFile file = test::OpenForSave(path);
        Id3Tag tag;
        tag.SetText(kFrameTIT2, u"Ab");
        WriteV2(tag, file, NativePath(path), {.use24 = c.use24, .encoding = c.encoding});
        const Bytes after = test::ReadFileBytes(path);
        EXPECT_EQ(after[3], c.use24 ? 4 : 3);
        EXPECT_EQ(Bytes(after.begin() + 10, after.begin() + 10 + long(c.frame.size())), c.frame) << c.encoding;
    }
}

TEST(CodecOptions, AnotherCodePageReadsAndWritesCyrillicWhileTheSystemOneStays) {
    const CodePage cp1251("CP1251");
    ASSERT_EQ(cp1251.Name(), "CP1251");
    const std::string privet = "\xCF\xF0\xE8\xE2\xE5\xF2";
    test::TempDir dir;
    const fs::path path = dir / "cp.mp3";
    Id3Tag fromSystem, fromOption;
    ReadTagBytes(dir, WithAudio(Tag(3, Text(3, "TIT2", privet))), fromSystem);
    ReadTagBytes(dir, WithAudio(Tag(3, Text(3, "TIT2", privet))), fromOption, {.codePage = &cp1251});
    EXPECT_EQ(fromOption.GetText(kFrameTIT2), u"Привет");
    EXPECT_EQ(fromSystem.GetText(kFrameTIT2), u"Ïðèâåò");

    test::WriteFileBytes(path, Audio(1000, 2));
    BinaryFile file = test::OpenForSave(path);
    Id3Tag tag;
    tag.SetText(kFrameTIT2, u"Привет");
    tag.V1().SetString(Id3v1Record::kTitle, u"Привет");
    const TagWriteOptions options{.use24 = false, .codePage = &cp1251};
    WriteV1(tag.V1(), file, options);
    WriteV2(tag, file, NativePath(path), options);
    const Bytes after = test::ReadFileBytes(path);
    EXPECT_EQ(Bytes(after.begin() + 10, after.begin() + 27), Text(3, "TIT2", privet));
    EXPECT_EQ(std::string(after.end() - 125, after.end() - 119), privet);
    Id3v1Record system, option;
    ASSERT_TRUE(ReadV1(file, system));
    ASSERT_TRUE(ReadV1(file, option, cp1251));
    EXPECT_EQ(option.GetString(Id3v1Record::kTitle), u"Привет");
    EXPECT_EQ(system.GetString(Id3v1Record::kTitle), u"Ïðèâåò");
    EXPECT_EQ(CodePage::System().Name(), "CP1252");
}

}  // namespace
}  // namespace quorvane::tagtest
