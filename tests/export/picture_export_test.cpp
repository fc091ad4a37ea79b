// Picture export: names from file, picture type and MIME type; nothing overwritten,
// nothing outside the chosen directory; failures reported once each.
#include <gtest/gtest.h>

#include "export/picture_export.h"
#include "export_test_support.h"
#include "platform/user_prompts.h"
#include "tags/id3_tag.h"

namespace quorvane::test {
namespace {

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
