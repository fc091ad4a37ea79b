// What an export writes. M3U and PLS documents: the formats byte for byte, names as their
// bytes on disk, tag texts in the code page, and tag texts that try to add lines. The
// procedure after the save dialog: one message per failure in the program's words, never
// half a playlist. Pictures: names from file, picture type and MIME type; nothing
// overwritten, nothing outside the chosen directory; failures reported once each.
#include <gtest/gtest.h>

#include "export/export_file.h"
#include "export/m3u_exporter.h"
#include "export/picture_export.h"
#include "export/pls_exporter.h"
#include "export/xml_export.h"
#include "export_test_support.h"
#include "platform/user_prompts.h"
#include "tags/id3_tag.h"

namespace quorvane::test {
namespace {

// Never loaded: a name and a tag are all a document needs.
RecordPtr Unloaded(std::u16string name, std::u16string title = {}, std::u16string artist = {}) {
    auto record = std::make_shared<Mp3FileRecord>(SharedText(u"/m"), std::move(name), SharedText(u"/m"));
    if (!title.empty()) record->Tag().SetText(kFrameTIT2, title);
    if (!artist.empty()) record->Tag().SetText(kFrameTPE1, artist);
    return record;
}

std::string M3u(const std::vector<RecordPtr>& targets) { return M3uExporter().Document(targets); }
std::string Pls(const std::vector<RecordPtr>& targets) { return PlsExporter().Document(targets); }

TEST(Playlists, DocumentsByteForByte) {
    TempDir dir;
    const RecordPtr a = CraftedRecord(dir.Path(), "a.mp3", 185);
    EXPECT_EQ(M3u({a}), "#EXTM3U\n#EXTINF:185, - \na.mp3\n");  // no tags
    a->Tag().SetText(kFrameTPE1, u"X");
    a->Tag().SetText(kFrameTIT2, u"Y");
    EXPECT_EQ(M3u({a}), "#EXTM3U\n#EXTINF:185,X - Y\na.mp3\n");
    EXPECT_EQ(Pls({a}), "[playlist]\nFile1=a.mp3\nTitle1=Y\nLength1=185\nNumberOfEntries=1\nVersion=2");
    // Target order, numbered from 1; a pending rename lists the new name; a name that
    // starts with '#' would be a comment line.
    const RecordPtr b = Unloaded(u"b.mp3", u"T");
    b->SetFileName(u"#1 AC/DC.mp3");
    EXPECT_EQ(M3u({b, a}), "#EXTM3U\n#EXTINF:0, - T\n./#1 AC DC.mp3\n#EXTINF:185,X - Y\na.mp3\n");
    EXPECT_EQ(Pls({b, a}), "[playlist]\nFile1=#1 AC DC.mp3\nTitle1=T\nLength1=0\nFile2=a.mp3\nTitle2=Y\nLength2=185\n"
                           "NumberOfEntries=2\nVersion=2");
    EXPECT_EQ(Pls({}), "[playlist]\nNumberOfEntries=0\nVersion=2");

    // Titles in the code page; names as their bytes on disk, so players find "曲.mp3" and
    // names that are not UTF-8 at all.
    const std::vector<RecordPtr> targets = {Unloaded(u"曲.mp3", u"曲 café", u"Ärzte"),
                                            Unloaded(PathFromNative("\xff\xfe-\xc3.mp3"))};
    EXPECT_EQ(M3u(targets),
              "#EXTM3U\n#EXTINF:0,\xc4rzte - ? caf\xe9\n\xe6\x9b\xb2.mp3\n#EXTINF:0, - \n\xff\xfe-\xc3.mp3\n");
    EXPECT_EQ(Pls(targets), "[playlist]\nFile1=\xe6\x9b\xb2.mp3\nTitle1=? caf\xe9\nLength1=0\nFile2=\xff\xfe-\xc3.mp3\n"
                            "Title2=\nLength2=0\nNumberOfEntries=2\nVersion=2");
    const CodePage cyrillic("CP1251");
    EXPECT_EQ(M3uExporter(cyrillic).Document(std::vector<RecordPtr>{Unloaded(u"Ж.mp3", u"Песня", u"Ж")}),
              "#EXTM3U\n#EXTINF:0,\xc6 - \xcf\xe5\xf1\xed\xff\n\xd0\x96.mp3\n");

    // A title "x\n/home/me/other.mp3" must not add an entry, nor "x\nFile1=..." rewrite one:
    // control characters become blanks. No 1,024-byte cut either.
    const std::u16string texts[] = {
        u"x\n/home/me/other.mp3", u"x\r\nFile1=/etc/passwd", u"x\rTitle1=y", std::u16string(u"nul\0b\tc", 8),
        u"\x01\x1f\x7f\x80\x85\x9f", u"ls\u2028ps\u2029", std::u16string(1013, u'a'), std::u16string(5000, u'b')};
    for (const std::u16string& text : texts) {
        std::u16string blanked = text;
        for (char16_t& c : blanked) c = (c < 0x20 || (c >= 0x7f && c <= 0x9f) || c >= 0x2028) ? u' ' : c;
        const std::string b = U8(blanked);
        const std::vector<RecordPtr> targets = {Unloaded(text + u".mp3", text, text), Unloaded(u"n.mp3")};
        EXPECT_EQ(M3u(targets), "#EXTM3U\n#EXTINF:0," + b + " - " + b + "\n" + b + ".mp3\n#EXTINF:0, - \nn.mp3\n");
        EXPECT_EQ(Pls(targets), "[playlist]\nFile1=" + b + ".mp3\nTitle1=" + b + "\nLength1=0\nFile2=n.mp3\nTitle2=\n"
                                "Length2=0\nNumberOfEntries=2\nVersion=2");
    }
}

TEST(ExportFile, WrittenWholeOrNotAtAll) {
    TempDir dir;
    RecordingPrompts prompts;
    const fs::path list = dir / "list.m3u";
    std::vector<RecordPtr> targets = {CraftedRecord(dir.Path(), "a.mp3", 185)};
    const auto message = [&](const char* prefix, const fs::path& path, const char* reason) {
        return U16(std::string(prefix) + " \"" + path.string() + "\":\n" + reason);
    };
    ASSERT_TRUE(ExportDocument(PlsExporter(), targets, PathFromNative(list.string()), prompts));
    ASSERT_TRUE(ExportDocument(M3uExporter(), targets, PathFromNative(list.string()), prompts));
    EXPECT_EQ(Bytes(list), "#EXTM3U\n#EXTINF:185, - \na.mp3\n");
    EXPECT_TRUE(ExportDocument(M3uExporter(), {}, u"/nonexistent/none.m3u", prompts));  // no targets: nothing
    EXPECT_EQ(prompts.Count(), 0u);

    // A write that fails (the file-size limit binds root too) or a rename that fails is
    // reported once each, and the playlist that was there stays whole.
    for (int i = 0; i < 40; ++i) targets.push_back(CraftedRecord(dir.Path(), std::to_string(i) + ".mp3", 1));
    {
        const FileSizeLimit limit(200);
        EXPECT_FALSE(ExportDocument(M3uExporter(), targets, PathFromNative(list.string()), prompts));
    }
    struct FailRename : SaveFaults {
        void BeforeStep(SaveStep step) override {
            if (step == SaveStep::Rename) throw FileException{EXDEV};
        }
    } faults;
    EXPECT_FALSE(ExportDocument(XmlExporter({}), targets, PathFromNative(list.string()), prompts, &faults));
    EXPECT_FALSE(ExportDocument(M3uExporter(), targets, PathFromNative((dir / "no" / "x").string()), prompts));
    EXPECT_EQ(Bytes(list), "#EXTM3U\n#EXTINF:185, - \na.mp3\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 42);  // no leftovers
    const std::vector<RecordedPrompt> shown = prompts.Prompts();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, message("Error when writing to file", list, "File too large"));
    EXPECT_EQ(shown[1].text, message("Error when writing to file", list, "Invalid cross-device link"));
    EXPECT_EQ(shown[2].text, message("Error when opening file", dir / "no" / "x", "No such file or directory"));
    EXPECT_EQ(shown[2].kind + U8(shown[2].caption), "errorQuorvane 1.7");

    // The XML dialog opens after the file is opened; cancelled (the target dropped), it
    // leaves the file as it was and makes no empty one.
    for (const fs::path& path : {list, dir / "new.xml"}) {
        ExportTarget target;
        ASSERT_TRUE(target.Open(PathFromNative(path.string()), prompts));
    }
    EXPECT_EQ(Bytes(list), "#EXTM3U\n#EXTINF:185, - \na.mp3\n");
    EXPECT_FALSE(fs::exists(dir / "new.xml"));
}

TEST(PictureNames, FromFileTypeAndMimeType) {
    const std::pair<std::string, std::u16string> extensions[] = {
        {"image/jpeg", u"jpg"}, {"IMAGE/JPG", u"jpg"}, {"image/png", u"png"}, {"", u""}, {"image/", u""},
        {"jpeg", u"jpg"}, {"image/jpeg2", u"jpeg2"}, {"text/plain", u"text plain"}, {"\xc9", u"\u00e9"},
        {"image/../../x", u".. .. x"}, {"image/a\\b:c?d\"e<f>g|h", u"a b c d e f g h"}};
    for (const auto& [mime, extension] : extensions) EXPECT_EQ(PictureExtension(mime), extension) << mime;
    EXPECT_EQ(PictureBaseName(u"Song.mp3", 3), u"Song.mp3 - Cover (front)");
    EXPECT_EQ(PictureBaseName(u"a?.mp3", 20), u"a .mp3 - Publisher Studio logotype");
    EXPECT_EQ(PictureBaseName(u"a.mp3", 21), u"a.mp3 - Other");
    EXPECT_EQ(PictureFileName(u"b", u"jpg", 1) + PictureFileName(u"b", u"", 2), u"b.jpgb (2).");
}

class PictureExport : public ::testing::Test {
protected:
    RecordPtr Record(const std::string& sub, const std::string& name, std::initializer_list<uint8_t> types,
                     const std::string& mime = "image/png") {
        const SharedText dir(PathFromNative((dir_ / sub).string()));
        auto record = std::make_shared<Mp3FileRecord>(dir, PathFromNative(name), dir);
        for (uint8_t type : types) {
            record->Tag().AddFrame(MakePictureFrame(type, mime, u"", Image(type + 10 * seed_++)));
        }
        return record;
    }
    static std::vector<uint8_t> Image(size_t size) { return std::vector<uint8_t>(size, static_cast<uint8_t>(size)); }
    std::vector<std::string> Export(const std::vector<RecordPtr>& targets, bool dryRun = false) {
        std::vector<std::string> names;
        const auto result = ExportPictures(targets, PathFromNative(out_.string()), prompts_, dryRun);
        for (const std::u16string& path : result.written) {
            EXPECT_EQ(fs::path(PathToNative(path)).parent_path(), out_);
            names.push_back(fs::path(PathToNative(path)).filename().string());
        }
        return names;
    }
    TempDir dir_;
    fs::path out_ = dir_.Path();
    RecordingPrompts prompts_;
    int seed_ = 1;
};

// The last target first, each file's pictures in tag order; a name taken, by this export
// or by a file or link already there, gets the next free number.
TEST_F(PictureExport, NothingIsEverOverwritten) {
    const RecordPtr first = Record("d1", "01.mp3", {3}), second = Record("d2", "01.mp3", {3, 3, 4});
    WriteFileBytes(out_ / "01.mp3 - Cover (back).png", {'o'});
    fs::create_symlink(dir_ / "victim", out_ / "01.mp3 - Cover (front) (3).png");
    const std::vector<std::string> expected = {"01.mp3 - Cover (front).png", "01.mp3 - Cover (front) (2).png",
                                               "01.mp3 - Cover (back) (2).png", "01.mp3 - Cover (front) (4).png"};
    EXPECT_EQ(Export({first, second}, true), expected);  // a dry run names the same files, writes none
    EXPECT_FALSE(fs::exists(out_ / expected[0]));
    EXPECT_EQ(Export({first, second}), expected);
    EXPECT_EQ(ReadFileBytes(out_ / expected[0]), Image(3 + 20));
    EXPECT_EQ(ReadFileBytes(out_ / expected[1]), Image(3 + 30));
    EXPECT_EQ(ReadFileBytes(out_ / expected[2]), Image(4 + 40));
    EXPECT_EQ(ReadFileBytes(out_ / expected[3]), Image(3 + 10));
    EXPECT_EQ(Bytes(out_ / "01.mp3 - Cover (back).png"), "o");
    EXPECT_FALSE(fs::exists(dir_ / "victim"));
    const RecordPtr hostile = Record("", "x.mp3", {0, 0}, "image/../../escaped");
    EXPECT_EQ(Export({hostile}),
              (std::vector<std::string>{"x.mp3 - Other... .. escaped", "x.mp3 - Other (2)... .. escaped"}));
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST_F(PictureExport, NoPicturesGiveOneMessage) {
    const RecordPtr plain = Record("", "a.mp3", {});
    // A picture kept raw (compressed in the file) has no image to write.
    plain->Tag().AddFrame(Id3Frame::Make(kFrameAPIC, 0, FrameFamily::Raw));
    EXPECT_FALSE(CheckPicturesToExport({}, prompts_));
    EXPECT_FALSE(CheckPicturesToExport(std::vector<RecordPtr>{plain}, prompts_));
    EXPECT_FALSE(CheckPicturesToExport(std::vector<RecordPtr>{plain, plain, plain}, prompts_));
    EXPECT_TRUE(CheckPicturesToExport(std::vector<RecordPtr>{plain, Record("", "p.mp3", {1})}, prompts_));
    const std::vector<RecordedPrompt> shown = prompts_.Prompts();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].kind + U8(shown[0].caption + u": " + shown[0].text),
              "errorQuorvane 1.7: The selected file does not contain any images.");
    EXPECT_EQ(shown[1].text, u"The selected files do not contain any images.");
}

TEST_F(PictureExport, EachFailureIsReportedAndTheExportGoesOn) {
    const RecordPtr record = Record("", "s.mp3", {200, 4});  // a picture of 210 bytes, then one of 24
    {
        const FileSizeLimit limit(100);
        EXPECT_EQ(Export({record}), std::vector<std::string>{"s.mp3 - Cover (back).png"});
    }
    EXPECT_FALSE(fs::exists(out_ / "s.mp3 - Other.png"));  // the part written is gone
    out_ = dir_ / "none";
    EXPECT_EQ(Export({record}), std::vector<std::string>{});
    const std::vector<RecordedPrompt> shown = prompts_.Prompts();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, U16("Error when writing to file \"" + (dir_ / "s.mp3 - Other.png").string() +
                                 "\":\nFile too large"));
    EXPECT_EQ(shown[1].text, U16("Error when opening file \"" + (out_ / "s.mp3 - Other.png").string() +
                                 "\":\nNo such file or directory"));
}

}  // namespace
}  // namespace quorvane::test
