// The picture operations: formats from names and MIME types, loading image files, the
// shared-pictures rule, the "Edit Picture Tag" OK, delete, the viewer's temporary file
// and "Save picture...".
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "library/edit_gate.h"
#include "operations/delete_pictures.h"
#include "operations/image_file.h"
#include "operations/picture_editor.h"
#include "operations/save_picture.h"
#include "operations/set_pictures.h"
#include "operations/shared_pictures.h"
#include "operations/temp_image.h"
#include "platform/text_codec.h"
#include "support/test_support.h"
#include "tags/id3v2_write_plan.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using test::RecordingPrompts;

Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }

RecordPtr NewRecord(const char16_t* name) {
    return std::make_shared<Mp3FileRecord>(SharedText(u"/music"), name, SharedText(u"/music"));
}
void AddPicture(const RecordPtr& record, uint8_t type, const char* mime, std::u16string_view description,
                const Bytes& data) {
    record->Tag().AddFrame(MakePictureFrame(type, mime, description, data));
}
// The picture of the type, or a failure and an empty frame when there is none.
const Id3Frame& Picture(const RecordPtr& record, uint8_t type) {
    static const auto kNone = MakePictureFrame(0, "none", u"none", {});
    const Id3Frame* frame = record->Tag().FindPicture(type);
    if (!frame) ADD_FAILURE() << U8(record->FileName()) << " has no picture of type " << int(type);
    return frame ? *frame : *kNone;
}
Bytes DataOf(const RecordPtr& record, uint8_t type) { return Picture(record, type).Data(FieldRole::PictureData)->Data(); }
std::u16string DescriptionOf(const RecordPtr& record, uint8_t type) {
    return Picture(record, type).Text(FieldRole::Description)->Text();
}
std::string MimeOf(const RecordPtr& record, uint8_t type) {
    return Picture(record, type).Ascii(FieldRole::MimeType)->Value();
}
size_t PictureCount(const RecordPtr& record) {
    size_t n = 0;
    for (const auto& frame : record->Tag().Frames()) n += frame->Id() == kFrameAPIC;
    return n;
}
std::u16string Path(const fs::path& path) { return PathFromNative(path.string()); }

TEST(PictureFormats, FromFileNamesAndMimeTypes) {
    const std::pair<const char16_t*, PictureFormat> names[] = {
        {u"cover.JPEG", PictureFormat::Jpeg}, {u"a.jpg", PictureFormat::Jpeg},  {u"A.JpG", PictureFormat::Jpeg},
        {u"a.png", PictureFormat::Png},       {u"x.PNG", PictureFormat::Png},   {u"a.gif", PictureFormat::None},
        {u"x.jp", PictureFormat::None},       {u".png", PictureFormat::None},   // four characters: too short
        {u".jpeg", PictureFormat::None},      {u"a.jpeg", PictureFormat::Jpeg},  // five, six
        {u"a.jpe", PictureFormat::None},      {u"png", PictureFormat::None},    {u"", PictureFormat::None},
        {u"/dir/a.png", PictureFormat::Png},  {u"/dir.png/x", PictureFormat::None},
        {u"/d/.png", PictureFormat::None},    {u"a.png.txt", PictureFormat::None}};
    for (const auto& [name, format] : names) EXPECT_EQ(PictureFormatFromFileName(name), format) << U8(name);

    const std::pair<const char*, PictureFormat> mimes[] = {
        {"image/jpeg", PictureFormat::Jpeg}, {"IMAGE/JPG", PictureFormat::Jpeg}, {"jpeg", PictureFormat::Jpeg},
        {"image/png", PictureFormat::Png},   {"Image/PNG", PictureFormat::Png},  {"image/gif", PictureFormat::None},
        {"", PictureFormat::None},           {"image/", PictureFormat::None},    {"image/x-png", PictureFormat::None}};
    for (const auto& [mime, format] : mimes) EXPECT_EQ(PictureFormatFromMime(mime), format) << mime;

    EXPECT_EQ(PictureMimeType(PictureFormat::Jpeg), "image/jpg");
    EXPECT_EQ(PictureMimeType(PictureFormat::Png), "image/png");
    EXPECT_EQ(PictureMimeType(PictureFormat::None), "");

    const std::vector<std::u16string> drop = {u"notes.txt", u"a.gif", u"b.png", u"c.jpg"};
    EXPECT_EQ(FirstImageFile(drop), 2u);
    EXPECT_EQ(FirstImageFile(std::vector<std::u16string>{u"notes.txt"}), std::nullopt);
}

TEST(LoadImageFile, AsksAboveTwoMegabytesAndRefusesWhatCannotBeLoaded) {
    test::TempDir dir;
    RecordingPrompts prompts;
    auto make = [&](const std::string& name, uint64_t size) {
        std::ofstream(dir / name).close();
        fs::resize_file(dir / name, size);
        return Path(dir / name);
    };
    const auto atLimit = LoadImageFile(make("limit.jpg", 2097152), prompts);
    ASSERT_TRUE(atLimit);
    EXPECT_EQ(atLimit->bytes.size(), 2097152u);
    EXPECT_EQ(atLimit->format, PictureFormat::Jpeg);
    EXPECT_EQ(prompts.Count(), 0u);

    const std::u16string over = make("over.PNG", 2097153);
    EXPECT_FALSE(LoadImageFile(over, prompts));  // the fallback answer is No
    prompts.QueueAnswer(PromptAnswer::Yes);
    const auto yes = LoadImageFile(over, prompts);
    ASSERT_TRUE(yes);
    EXPECT_EQ(yes->bytes.size(), 2097153u);
    EXPECT_EQ(yes->format, PictureFormat::Png);
    ASSERT_EQ(prompts.Count(), 2u);
    EXPECT_EQ(prompts.Prompts()[0].kind, "yesno");
    EXPECT_EQ(prompts.Prompts()[0].text, u"Image size is greater than 2 MB.\r\nContinue anyway?");

    // No answer could make a picture over the tag's 28-bit size fit: refused unasked.
    RecordingPrompts refused;
    prompts.fallback = PromptAnswer::Yes;
    EXPECT_FALSE(LoadImageFile(make("huge.png", kV2MaxTagSize + 1), refused));
    EXPECT_FALSE(LoadImageFile(make("empty.png", 0), refused));
    EXPECT_FALSE(LoadImageFile(Path(dir / "missing.png"), refused));
    EXPECT_FALSE(LoadImageFile(make("picture.gif", 10), refused));
    const auto p = refused.Prompts();
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].text, u"Image is too large: an ID3v2 tag holds at most 256 MB.");
    EXPECT_EQ(p[1].text, u"File is empty!");
    EXPECT_EQ(p[2].text.rfind(u"Error when opening file \"" + Path(dir / "missing.png") + u"\":\n", 0), 0u);
    EXPECT_EQ(p[3].text, u"File must be a JPG or PNG image!");
    for (const auto& prompt : p) EXPECT_EQ(prompt.kind, "error");
}

TEST(SharedPictures, OnlyPicturesEveryFileHoldsAlikeInTheFirstFilesOrder) {
    const RecordPtr a = NewRecord(u"a.mp3"), b = NewRecord(u"b.mp3"), c = NewRecord(u"c.mp3");
    for (const RecordPtr& r : {a, b, c}) AddPicture(r, 4, "image/png", u"back", B("BACK"));
    AddPicture(a, 3, "image/jpeg", u"front", B("FRONT"));
    AddPicture(b, 3, "image/jpeg", u"Front", B("FRONT"));  // the description differs
    AddPicture(c, 3, "image/jpeg", u"front", B("FRONT"));
    for (const RecordPtr& r : {c, b, a}) AddPicture(r, 30, "image/gif", u"", B("GIF"));  // 30 counts as 0
    AddPicture(a, 5, "image/png", u"leaf", B("LEAF"));  // only in a

    std::vector<RecordPtr> selection = {a, b, c};
    auto shared = SharedPictures(selection);
    ASSERT_EQ(shared.size(), 2u);
    EXPECT_EQ(shared[0].type, 4);
    EXPECT_EQ(shared[0].format, PictureFormat::Png);
    EXPECT_EQ(shared[0].bytes, B("BACK"));
    EXPECT_EQ(shared[1].type, 0);
    EXPECT_EQ(shared[1].mimeType, "image/gif");
    EXPECT_EQ(shared[1].format, PictureFormat::None);

    selection = {a, c};
    EXPECT_EQ(SharedPictures(selection).size(), 3u);
    selection = {a};
    EXPECT_EQ(SharedPictures(selection).size(), 4u);
    EXPECT_TRUE(AnyHasPicture(selection));
    selection = {NewRecord(u"d.mp3"), a};
    EXPECT_TRUE(SharedPictures(selection).empty());
    EXPECT_TRUE(AnyHasPicture(selection));
    selection = {NewRecord(u"e.mp3")};
    EXPECT_FALSE(AnyHasPicture(selection));
}

// Says that a save covers the records named.
class SavingGate final : public EditGate {
public:
    explicit SavingGate(const RecordPtr& record) : record_(record.get()) {}
    bool IsBeingSaved(const Mp3FileRecord& record) const override { return &record == record_; }

private:
    const Mp3FileRecord* record_;
};

class PictureEdits : public ::testing::Test {
protected:
    void SetUp() override {
        AddPicture(a_, 3, "image/jpeg", u"old front of a", B("JPEG-A"));
        AddPicture(b_, 3, "image/png", u"old front of b", B("PNG-B"));
        AddPicture(b_, 4, "image/gif", u"back of b", B("GIF-B"));
        for (const RecordPtr& r : selection_) r->Tag().ClearChanged();
    }
    ImageFile NewImage() { return {B("NEWPNG"), PictureFormat::Png}; }
    RecordPtr a_ = NewRecord(u"a.mp3"), b_ = NewRecord(u"b.mp3");
    std::vector<RecordPtr> selection_ = {a_, b_};
    NoSaveRunning gate_;
    RecordingPrompts prompts_;
};

TEST_F(PictureEdits, ANewImageReplacesThePictureOfItsTypeInEveryFile) {
    const ImageFile image = NewImage();
    ASSERT_TRUE(SetPictures(selection_, {3, u"new", &image}, gate_, prompts_));
    for (const RecordPtr& r : selection_) {
        EXPECT_EQ(DataOf(r, 3), B("NEWPNG"));
        EXPECT_EQ(MimeOf(r, 3), "image/png");
        EXPECT_EQ(DescriptionOf(r, 3), u"new");
    }
    EXPECT_EQ(PictureCount(a_), 1u);
    EXPECT_EQ(PictureCount(b_), 2u);
    // Without a description each file keeps its own; a file without the type gets one.
    const ImageFile jpeg{B("NEWJPEG"), PictureFormat::Jpeg};
    ASSERT_TRUE(SetPictures(selection_, {4, std::nullopt, &jpeg}, gate_, prompts_));
    EXPECT_EQ(DescriptionOf(a_, 4), u"");
    EXPECT_EQ(DescriptionOf(b_, 4), u"back of b");
    EXPECT_EQ(MimeOf(a_, 4), "image/jpg");
}

TEST_F(PictureEdits, OkWithoutANewImageKeepsEveryFilesImage) {
    // The first file's JPEG is shown but is no new image: b keeps its own PNG.
    PictureEditor editor(selection_, 3);
    EXPECT_TRUE(editor.HasImage() && !editor.HasNewImage());
    EXPECT_EQ(Bytes(editor.ImageBytes().begin(), editor.ImageBytes().end()), B("JPEG-A"));
    ASSERT_TRUE(editor.Apply(u"renamed", gate_, prompts_));
    EXPECT_EQ(DataOf(a_, 3), B("JPEG-A"));
    EXPECT_EQ(DataOf(b_, 3), B("PNG-B"));
    EXPECT_EQ(MimeOf(b_, 3), "image/png");
    EXPECT_EQ(DescriptionOf(b_, 3), u"renamed");

    // An empty description with no image removes nothing, and a file without the
    // type gets no empty picture.
    PictureEditor back(selection_, 4);
    EXPECT_FALSE(back.HasImage());  // a has no back cover
    ASSERT_TRUE(back.Apply(u"", gate_, prompts_));
    EXPECT_EQ(PictureCount(a_), 1u);
    EXPECT_EQ(DataOf(b_, 4), B("GIF-B"));
    EXPECT_EQ(DescriptionOf(b_, 4), u"");
}

TEST_F(PictureEdits, OnlyATypedDescriptionIsCutTo64Characters) {
    const std::u16string written(100, u'w');  // by another program
    a_->Tag().FindPicture(3)->Text(FieldRole::Description)->SetText(written);
    test::TempDir dir;
    test::WriteFileBytes(dir / "new.png", B("NEWPNG"));
    PictureEditor editor(selection_, 3);
    ASSERT_EQ(editor.FoundDescription(), written);
    ASSERT_TRUE(editor.LoadImage(Path(dir / "new.png"), prompts_));
    ASSERT_TRUE(editor.Apply(written, gate_, prompts_));
    EXPECT_EQ(DescriptionOf(a_, 3), written);
    EXPECT_EQ(DescriptionOf(b_, 3), written);
    EXPECT_EQ(DataOf(b_, 3), B("NEWPNG"));

    ASSERT_TRUE(editor.Apply(std::u16string(65, u't'), gate_, prompts_));
    EXPECT_EQ(DescriptionOf(a_, 3), std::u16string(64, u't'));
    EXPECT_EQ(CutPictureDescription(std::u16string(64, u'x')), std::u16string(64, u'x'));
    // A surrogate pair across the limit goes whole.
    const std::u16string pair = std::u16string(63, u'x') + u"\U0001F600" + u"y";
    EXPECT_EQ(CutPictureDescription(pair), std::u16string(63, u'x'));
    EXPECT_EQ(CutPictureDescription(u"x" + pair).size(), 64u);
}

TEST_F(PictureEdits, PickingATypeDiscardsALoadedImageAndAFailedLoadKeepsThePrevious) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "new.jpeg", B("NEWJPEG"));
    PictureEditor editor(selection_, 0);
    EXPECT_FALSE(editor.HasImage() || editor.FoundDescription());
    ASSERT_TRUE(editor.LoadImage(Path(dir / "new.jpeg"), prompts_));
    EXPECT_FALSE(editor.LoadImage(Path(dir / "missing.png"), prompts_));
    EXPECT_TRUE(editor.HasNewImage());
    EXPECT_EQ(editor.ImageFormat(), PictureFormat::Jpeg);
    editor.SelectType(3);
    EXPECT_FALSE(editor.HasNewImage());
    EXPECT_EQ(editor.FoundDescription(), u"old front of a");
    EXPECT_EQ(editor.OpenedType(), 0);
    EXPECT_EQ(editor.Type(), 3);
    // A picture stored as GIF shows no preview.
    PictureEditor gif(std::vector<RecordPtr>{b_}, 4);
    EXPECT_FALSE(gif.HasImage());
    EXPECT_EQ(gif.FoundDescription(), u"back of b");
}

TEST_F(PictureEdits, RefusedWhileSavingAndWhenTheTagCouldNotHoldIt) {
    const SavingGate saving(b_);
    const ImageFile image = NewImage();
    EXPECT_FALSE(SetPictures(selection_, {3, u"x", &image}, saving, prompts_));
    EXPECT_EQ(DeletePicture(selection_, 3, saving, prompts_), 0u);
    EXPECT_EQ(DeleteAllPictures(selection_, saving, prompts_), 0u);
    ASSERT_EQ(prompts_.Count(), 3u);
    for (const auto& p : prompts_.Prompts()) EXPECT_EQ(p.text, kEditWhileSaving);
    EXPECT_FALSE(a_->Tag().IsChanged() || b_->Tag().IsChanged());

    // The largest picture an empty tag takes, and one byte more. The frame: 10 header
    // bytes (6 more kept for other frames' formats), encoding, "image/png" and its zero,
    // the type, the description in UTF-16 or UTF-8 with its terminator; padding: 4096.
    Id3Tag empty;
    const uint64_t most = kV2MaxTagSize - 4096 - (16 + 1 + 10 + 1 + std::max(2 * 3 + 4, 3 * 3 + 1));
    EXPECT_TRUE(PictureFitsIntoTag(empty, 3, PictureFormat::Png, most, 3));
    EXPECT_FALSE(PictureFitsIntoTag(empty, 3, PictureFormat::Png, most + 1, 3));
    // Other frames count; the picture it replaces does not.
    empty.SetText(kFrameTIT2, u"abc");
    EXPECT_FALSE(PictureFitsIntoTag(empty, 3, PictureFormat::Png, most, 3));
    // TIT2 "abc": header, encoding byte, the text at 3 bytes a character in UTF-8.
    EXPECT_TRUE(PictureFitsIntoTag(empty, 3, PictureFormat::Png, most - (16 + 1 + 9), 3));
    EXPECT_FALSE(PictureFitsIntoTag(empty, 3, PictureFormat::Png, most - (16 + 1 + 9) + 1, 3));
    Id3Tag withCover;
    withCover.AddFrame(MakePictureFrame(3, "image/png", u"", Bytes(1000)));
    EXPECT_TRUE(PictureFitsIntoTag(withCover, 3, PictureFormat::Png, most, 3));
    EXPECT_FALSE(PictureFitsIntoTag(withCover, 4, PictureFormat::Png, most, 3));
}

TEST_F(PictureEdits, DeleteTakesTheFirstOfATypeAndDeleteAllEveryPicture) {
    AddPicture(a_, 3, "image/png", u"second front", B("2"));
    AddPicture(a_, 25, "image/png", u"other", B("25"));
    EXPECT_EQ(DeletePicture(selection_, 3, gate_, prompts_), 2u);
    EXPECT_EQ(DescriptionOf(a_, 3), u"second front");
    EXPECT_EQ(DeletePicture(selection_, 21, gate_, prompts_), 1u);  // 21 counts as 0, like the stored 25
    EXPECT_EQ(DeletePicture(selection_, 0, gate_, prompts_), 0u);
    EXPECT_EQ(DeleteAllPictures(selection_, gate_, prompts_), 2u);
    EXPECT_EQ(PictureCount(a_) + PictureCount(b_), 0u);
    EXPECT_TRUE(a_->Tag().IsChanged() && b_->Tag().IsChanged());
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST(TempImage, WritesIntoItsOwnDirectoryAndNeverThroughALink) {
    test::TempDir base;
    RecordingPrompts prompts;
    // The fixed name in the shared directory, planted as a link: never used.
    test::WriteFileBytes(base / "victim", B("precious"));
    fs::create_symlink(base / "victim", base / "tempimage.png");
    std::string directory;
    {
        TempImageDirectory temp(base.Path().string());
        EXPECT_EQ(temp.Path(), "");
        const auto path = temp.Write(B("PNGDATA"), PictureFormat::Png, prompts);
        ASSERT_TRUE(path) << (prompts.Count() ? U8(prompts.Prompts()[0].text) : "");
        directory = temp.Path();
        EXPECT_EQ(fs::path(directory).parent_path(), base.Path());
        EXPECT_EQ(*path, PathFromNative(directory + "/tempimage.png"));
        struct stat info {};
        ASSERT_EQ(::lstat(directory.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0700u);
        EXPECT_EQ(test::ReadFileBytes(PathToNative(*path)), B("PNGDATA"));

        // Even a link inside the private directory is not followed.
        fs::remove(directory + "/tempimage.jpg");
        fs::create_symlink(base / "victim", directory + "/tempimage.jpg");
        const auto jpeg = temp.Write(B("JPEGDATA"), PictureFormat::Jpeg, prompts);
        ASSERT_TRUE(jpeg);
        EXPECT_FALSE(fs::is_symlink(PathToNative(*jpeg)));
        EXPECT_EQ(test::ReadFileBytes(PathToNative(*jpeg)), B("JPEGDATA"));
        // A second click replaces the file.
        ASSERT_TRUE(temp.Write(B("PNG2"), PictureFormat::Png, prompts));
        EXPECT_EQ(test::ReadFileBytes(PathToNative(*path)), B("PNG2"));

        EXPECT_FALSE(temp.Write({}, PictureFormat::Png, prompts));
        ASSERT_EQ(prompts.Count(), 1u);
        EXPECT_EQ(prompts.Prompts()[0].text, u"Image is empty!");
    }
    EXPECT_FALSE(fs::exists(directory));  // removed with its pictures
    EXPECT_EQ(test::ReadFileBytes(base / "victim"), B("precious"));
    EXPECT_TRUE(fs::is_symlink(base / "tempimage.png"));

    TempImageDirectory nowhere((base / "missing").string());
    EXPECT_FALSE(nowhere.Write(B("x"), PictureFormat::Png, prompts));
    EXPECT_EQ(prompts.Prompts().back().text.rfind(u"Error when opening file \"", 0), 0u);
}

TEST(SavePicture, NameFilterAndWrite) {
    const std::pair<uint8_t, const char16_t*> names[] = {
        {3, u"Cover (front)"},
        {7, u"Lead artist lead performer soloist"},
        {1, u"32x32 pixels 'file icon' (PNG only)"},
        {6, u"Media (e.g. lable side of CD)"},
        {21, u"Other"}};
    for (const auto& [type, name] : names) EXPECT_EQ(SavePictureName(type), name) << int(type);
    EXPECT_EQ(SavePictureFilter(PictureFormat::Jpeg), u"JPG Images (*.jpg)");
    EXPECT_EQ(SavePictureFilter(PictureFormat::Png), u"PNG Images (*.png)");
    EXPECT_EQ(SavePicturePattern(PictureFormat::Png), u"*.png");

    test::TempDir dir;
    RecordingPrompts prompts;
    test::WriteFileBytes(dir / "out.jpg", Bytes(100, 'x'));
    ASSERT_TRUE(WritePictureFile(Path(dir / "out.jpg"), B("JPEG"), prompts));
    EXPECT_EQ(test::ReadFileBytes(dir / "out.jpg"), B("JPEG"));  // the longer old file is emptied first
    EXPECT_FALSE(WritePictureFile(Path(dir / "no" / "out.jpg"), B("JPEG"), prompts));
    EXPECT_FALSE(WritePictureFile(Path(dir / "out.jpg"), {}, prompts));
    ASSERT_EQ(prompts.Count(), 2u);
    EXPECT_EQ(prompts.Prompts()[0].text.rfind(u"Error when opening file \"", 0), 0u);
    EXPECT_EQ(prompts.Prompts()[1].text, u"Image is empty!");
}

}  // namespace
}  // namespace quorvane
