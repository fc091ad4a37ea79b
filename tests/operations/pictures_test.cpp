// The picture operations: formats from file names, loading image files, the
// shared-pictures rule, the "Edit Picture Tag" OK, delete, the viewer's temporary file
// and "Save picture...".
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "operations/delete_pictures.h"
#include "operations/listed_picture.h"
#include "operations/operations_test_support.h"
#include "operations/picture_editor.h"
#include "operations/save_picture.h"
#include "operations/set_pictures.h"
#include "operations/shared_pictures.h"
#include "operations/temp_image.h"
#include "tags/id3v2_write_plan.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using test::RecordingPrompts;

Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }
std::u16string Path(const fs::path& path) { return PathFromNative(path.string()); }
void AddPicture(const RecordPtr& r, uint8_t type, const char* mime, std::u16string_view text, std::string_view data) {
    r->Tag().AddFrame(MakePictureFrame(type, mime, text, B(data)));
}
// "mime|description|data" of the file's picture of the type, "none" without one.
std::string PictureOf(const RecordPtr& r, uint8_t type) {
    const Id3Frame* f = r->Tag().FindPicture(type);
    if (!f) return "none";
    const Bytes& data = f->Data(FieldRole::PictureData)->Data();
    return f->Ascii(FieldRole::MimeType)->Value() + "|" + U8(f->Text(FieldRole::Description)->Text()) + "|" +
           std::string(data.begin(), data.end());
}

TEST(ImageFiles, FormatsFromNamesAndLoading) {
    for (const auto& [name, format] : std::initializer_list<std::pair<const char16_t*, PictureFormat>>{
             {u"cover.JPEG", PictureFormat::Jpeg}, {u"A.JpG", PictureFormat::Jpeg}, {u"x.PNG", PictureFormat::Png},
             {u"a.png", PictureFormat::Png}, {u".png", PictureFormat::None},  // five characters at least
             {u"a.jpeg", PictureFormat::Jpeg}, {u".jpeg", PictureFormat::None},  // six for ".jpeg"
             {u"a.gif", PictureFormat::None}, {u"x.jp", PictureFormat::None}, {u"a.png.txt", PictureFormat::None},
             {u"/dir.png/x", PictureFormat::None}, {u"/d/.png", PictureFormat::None}}) {
        EXPECT_EQ(PictureFormatFromFileName(name), format) << U8(name);
    }
    EXPECT_EQ(FirstImageFile(std::vector<std::u16string>{u"a.txt", u"b.gif", u"c.png", u"d.jpg"}), 2u);
    EXPECT_EQ(FirstImageFile(std::vector<std::u16string>{u"a.txt"}), std::nullopt);

    // Loading asks above 2 MB and refuses what cannot be loaded.
    test::TempDir dir;
    auto make = [&](const std::string& name, uint64_t size) {
        std::ofstream(dir / name).close();
        fs::resize_file(dir / name, size);
        return Path(dir / name);
    };
    RecordingPrompts prompts;
    EXPECT_EQ(LoadImageFile(make("limit.jpg", 2097152), prompts)->bytes.size(), 2097152u);
    EXPECT_EQ(prompts.Count(), 0u);
    const std::u16string over = make("over.PNG", 2097153);
    EXPECT_FALSE(LoadImageFile(over, prompts));  // answered No
    prompts.QueueAnswer(PromptAnswer::Yes);
    const auto yes = LoadImageFile(over, prompts);
    ASSERT_TRUE(yes && yes->bytes.size() == 2097153u && yes->format == PictureFormat::Png);
    ASSERT_EQ(prompts.Count(), 2u);
    EXPECT_EQ(prompts.Prompts()[1].kind + U8(prompts.Prompts()[1].text),
              "yesnoImage size is greater than 2 MB.\r\nContinue anyway?");

    // No answer could make a picture over the tag's 28-bit size fit: refused unasked.
    RecordingPrompts refused;
    refused.fallback = PromptAnswer::Yes;
    for (const std::u16string& path : {make("huge.png", kV2MaxTagSize + 1), make("empty.png", 0),
                                       Path(dir / "missing.png"), make("picture.gif", 10)}) {
        EXPECT_FALSE(LoadImageFile(path, refused));
    }
    std::string texts;
    for (const auto& p : refused.Prompts()) texts += p.kind + ": " + U8(p.text.substr(0, p.text.find(u" \""))) + "\n";
    EXPECT_EQ(texts, "error: Image is too large: an ID3v2 tag holds at most 256 MB.\nerror: File is empty!\n"
                     "error: Error when opening file\nerror: File must be a JPG or PNG image!\n");
}

TEST(SharedPictures, OnlyPicturesEveryFileHoldsAlikeInTheFirstFilesOrder) {
    const RecordPtr a = test::MemoryRecord(), b = test::MemoryRecord(), c = test::MemoryRecord();
    for (const RecordPtr& r : {a, b, c}) AddPicture(r, 4, "image/png", u"back", "BACK");
    AddPicture(a, 3, "image/jpeg", u"front", "FRONT");
    AddPicture(b, 3, "image/jpeg", u"Front", "FRONT");  // the description differs
    AddPicture(c, 3, "image/jpeg", u"front", "FRONT");
    for (const RecordPtr& r : {c, b, a}) AddPicture(r, 30, "image/gif", u"", "GIF");  // 30 counts as 0
    const auto shared = SharedPictures(std::vector<RecordPtr>{a, b, c});
    ASSERT_EQ(shared.size(), 2u);
    EXPECT_TRUE(shared[0].type == 4 && shared[0].format == PictureFormat::Png && shared[0].bytes == B("BACK"));
    EXPECT_TRUE(shared[1].type == 0 && shared[1].mimeType == "image/gif" && shared[1].format == PictureFormat::None);
    EXPECT_EQ(SharedPictures(std::vector<RecordPtr>{a, c}).size(), 3u);
    EXPECT_TRUE(SharedPictures(std::vector<RecordPtr>{test::MemoryRecord(), a}).empty());
    EXPECT_TRUE(AnyHasPicture(std::vector<RecordPtr>{test::MemoryRecord(), a}));
    EXPECT_FALSE(AnyHasPicture(std::vector<RecordPtr>{test::MemoryRecord()}));
}

class PictureEdits : public ::testing::Test {
protected:
    void SetUp() override {
        AddPicture(a_, 3, "image/jpeg", u"front of a", "JPEG-A");
        AddPicture(b_, 3, "image/png", u"front of b", "PNG-B");
        AddPicture(b_, 4, "image/gif", u"back of b", "GIF-B");
    }
    RecordPtr a_ = test::MemoryRecord(), b_ = test::MemoryRecord();
    std::vector<RecordPtr> both_ = {a_, b_};
    NoSaveRunning gate_;
    RecordingPrompts prompts_;
};

TEST_F(PictureEdits, ANewImageReplacesThePictureOfItsTypeInEveryFile) {
    const ImageFile png{B("NEW"), PictureFormat::Png}, jpeg{B("JPG"), PictureFormat::Jpeg};
    ASSERT_TRUE(SetPictures(both_, {3, u"new", &png}, gate_, prompts_));
    EXPECT_EQ(PictureOf(a_, 3) + " " + PictureOf(b_, 3), "image/png|new|NEW image/png|new|NEW");
    // Without a description each file keeps its own; a file without the type gets one.
    ASSERT_TRUE(SetPictures(both_, {4, std::nullopt, &jpeg}, gate_, prompts_));
    EXPECT_EQ(PictureOf(a_, 4) + " " + PictureOf(b_, 4), "image/jpg||JPG image/jpg|back of b|JPG");
    EXPECT_EQ(a_->Tag().Frames().size(), 2u);
}

TEST_F(PictureEdits, OkWithoutANewImageKeepsEveryFilesImage) {
    PictureEditor editor(both_, 3);  // shows a's JPEG, which is no new image
    EXPECT_TRUE(editor.HasImage() && !editor.HasNewImage());
    ASSERT_TRUE(editor.Apply(u"renamed", gate_, prompts_));
    EXPECT_EQ(PictureOf(a_, 3) + " " + PictureOf(b_, 3), "image/jpeg|renamed|JPEG-A image/png|renamed|PNG-B");
    // An empty description removes nothing, and a file without the type gets no empty picture.
    PictureEditor back(both_, 4);
    EXPECT_FALSE(back.HasImage() || back.FoundDescription());
    ASSERT_TRUE(back.Apply(u"", gate_, prompts_));
    EXPECT_EQ(PictureOf(a_, 4) + " " + PictureOf(b_, 4), "none image/gif||GIF-B");
}

TEST_F(PictureEdits, OnlyATypedDescriptionIsCutTo64Characters) {
    const std::u16string written(100, u'w');  // by another program
    a_->Tag().FindPicture(3)->Text(FieldRole::Description)->SetText(written);
    test::TempDir dir;
    test::WriteFileBytes(dir / "new.png", B("NEW"));
    PictureEditor editor(both_, 3);
    ASSERT_TRUE(editor.LoadImage(Path(dir / "new.png"), prompts_));
    EXPECT_FALSE(editor.LoadImage(Path(dir / "missing.png"), prompts_));  // keeps the previous
    ASSERT_TRUE(editor.Apply(*editor.FoundDescription(), gate_, prompts_));
    EXPECT_EQ(PictureOf(b_, 3), "image/png|" + U8(written) + "|NEW");
    ASSERT_TRUE(editor.Apply(std::u16string(65, u't'), gate_, prompts_));
    EXPECT_EQ(PictureOf(a_, 3), "image/png|" + std::string(64, 't') + "|NEW");
    const std::u16string pair = std::u16string(63, u'x') + u"\U0001F600";  // a pair across the limit goes whole
    EXPECT_EQ(CutPictureDescription(pair), std::u16string(63, u'x'));
    EXPECT_EQ(CutPictureDescription(u"x" + pair).size(), 64u);
    editor.SelectType(4);  // picking a type drops the loaded image
    EXPECT_FALSE(editor.HasNewImage() || editor.HasImage());
}

TEST_F(PictureEdits, RefusedWhileSavingAndWhenTheTagCouldNotHoldIt) {
    const test::BusyGate saving(b_);
    const ImageFile png{B("NEW"), PictureFormat::Png};
    EXPECT_FALSE(SetPictures(both_, {3, u"x", &png}, saving, prompts_));
    EXPECT_EQ(DeletePicture(both_, 3, saving, prompts_) + DeleteAllPictures(both_, saving, prompts_), 0u);
    ASSERT_EQ(prompts_.Count(), 3u);
    EXPECT_EQ(prompts_.Prompts()[2].text, kEditWhileSaving);
    EXPECT_EQ(PictureOf(a_, 3), "image/jpeg|front of a|JPEG-A");

    // The largest picture an empty tag takes: frame header (and 6 bytes kept for other
    // frames' formats), encoding, "image/png" and zero, type, a 3-character description
    // in UTF-16 or UTF-8 with its terminator; the padding takes at most 4096.
    Id3Tag tag;
    const uint64_t most = kV2MaxTagSize - 4096 - (16 + 1 + 10 + 1 + 10);
    EXPECT_TRUE(PictureFitsIntoTag(tag, 3, PictureFormat::Png, most, 3));
    EXPECT_FALSE(PictureFitsIntoTag(tag, 3, PictureFormat::Png, most + 1, 3));
    tag.SetText(kFrameTIT2, u"abc");  // 16 + 1 + 9 (UTF-8) more
    EXPECT_TRUE(PictureFitsIntoTag(tag, 3, PictureFormat::Png, most - 26, 3));
    EXPECT_FALSE(PictureFitsIntoTag(tag, 3, PictureFormat::Png, most - 25, 3));
    tag.AddFrame(MakePictureFrame(4, "image/png", u"", Bytes(1000)));  // replaced: does not count
    EXPECT_TRUE(PictureFitsIntoTag(tag, 4, PictureFormat::Png, most - 26, 3));
    EXPECT_FALSE(PictureFitsIntoTag(tag, 5, PictureFormat::Png, most - 26, 3));
}

TEST_F(PictureEdits, DeleteTakesTheFirstOfATypeAndDeleteAllEveryPicture) {
    AddPicture(a_, 3, "image/png", u"second", "2");
    AddPicture(a_, 25, "image/png", u"other", "25");
    EXPECT_EQ(DeletePicture(both_, 3, gate_, prompts_), 2u);
    EXPECT_EQ(PictureOf(a_, 3), "image/png|second|2");
    EXPECT_EQ(DeletePicture(both_, 21, gate_, prompts_), 1u);  // 21 counts as 0, like the stored 25
    EXPECT_EQ(DeleteAllPictures(both_, gate_, prompts_), 2u);
    EXPECT_TRUE(a_->Tag().Frames().empty() && b_->Tag().Frames().empty() && a_->Tag().IsChanged());
}

// Two pictures of one type in both files: the one picked is edited and deleted, in the
// first file by its position, in the others by its content.
TEST_F(PictureEdits, ThePickedPictureIsEditedAndDeletedNotTheFirstOfItsType) {
    a_ = test::MemoryRecord();  // without the fixture's pictures
    b_ = test::MemoryRecord();
    both_ = {a_, b_};
    AddPicture(a_, 3, "image/png", u"same", "X");
    AddPicture(a_, 3, "image/png", u"same", "X");  // a copy: the position tells which
    AddPicture(a_, 3, "image/png", u"second", "Y");
    AddPicture(b_, 3, "image/png", u"second", "Y");
    AddPicture(b_, 3, "image/png", u"same", "X");
    const auto shared = SharedPictures(both_);
    ASSERT_EQ(shared.size(), 3u);
    EXPECT_EQ(shared[1].position, 1u);
    EXPECT_EQ(FindListedPicture(a_->Tag(), shared[1], true), a_->Tag().Frames()[1].get());
    EXPECT_EQ(FindListedPicture(b_->Tag(), shared[1], false), b_->Tag().Frames()[1].get());
    EXPECT_EQ(FindListedPicture(b_->Tag(), shared[2], false), b_->Tag().Frames()[0].get());

    PictureEditor editor(both_, shared[2]);
    EXPECT_EQ(editor.Type(), 3);
    EXPECT_EQ(editor.FoundDescription(), u"second");
    EXPECT_TRUE(editor.HasImage() && !editor.HasNewImage());
    ASSERT_TRUE(editor.Apply(u"renamed", gate_, prompts_));
    EXPECT_EQ(PictureOf(a_, 3) + " " + PictureOf(b_, 3), "image/png|same|X image/png|renamed|Y");

    const ImageFile jpeg{B("JPG"), PictureFormat::Jpeg};
    ASSERT_TRUE(SetListedPicture(both_, SharedPictures(both_)[1], {3, std::nullopt, &jpeg}, gate_, prompts_));
    EXPECT_EQ(U8(a_->Tag().Frames()[0]->Text(FieldRole::Description)->Text()) + "," +
                  a_->Tag().Frames()[1]->Ascii(FieldRole::MimeType)->Value(),
              "same,image/jpg");  // the copy at position 1 took the image, the first kept its own
    EXPECT_EQ(PictureOf(b_, 3), "image/png|renamed|Y");
    EXPECT_EQ(b_->Tag().Frames()[1]->Ascii(FieldRole::MimeType)->Value(), "image/jpg");

    editor.SelectType(3);  // a type picked again: back to the first of the type
    EXPECT_EQ(editor.FoundDescription(), u"same");

    const auto listed = SharedPictures(both_);
    ASSERT_EQ(listed.size(), 2u);  // a's untouched copy is not in b
    EXPECT_EQ(DeleteListedPicture(both_, listed[1], gate_, prompts_), 2u);
    EXPECT_EQ(a_->Tag().Frames().size(), 2u);
    EXPECT_EQ(PictureOf(b_, 3), "image/jpg|same|JPG");
    EXPECT_EQ(DeleteListedPicture(both_, listed[1], test::BusyGate(a_), prompts_), 0u);
    EXPECT_EQ(prompts_.Prompts().back().text, kEditWhileSaving);
}

TEST(PictureFiles, TheViewersTempImageNeverGoesThroughALinkAndSavePictureWrites) {
    test::TempDir base;
    RecordingPrompts prompts;
    test::WriteFileBytes(base / "victim", B("precious"));
    fs::create_symlink(base / "victim", base / "tempimage.png");  // the old fixed name, planted
    std::string directory;
    {
        TempImageDirectory temp(base.Path().string());
        const auto png = temp.Write(B("PNG"), PictureFormat::Png, prompts);
        ASSERT_TRUE(png);
        directory = temp.Path();
        EXPECT_EQ(*png, PathFromNative(directory + "/tempimage.png"));
        EXPECT_EQ(fs::path(directory).parent_path(), base.Path());
        struct stat info {};
        EXPECT_TRUE(::lstat(directory.c_str(), &info) == 0 && (info.st_mode & 07777) == 0700);
        // Not even a link inside the private directory is followed; a second click replaces.
        fs::create_symlink(base / "victim", directory + "/tempimage.jpg");
        const auto jpeg = temp.Write(B("JPEG"), PictureFormat::Jpeg, prompts);
        ASSERT_TRUE(jpeg && temp.Write(B("PNG2"), PictureFormat::Png, prompts));
        EXPECT_FALSE(fs::is_symlink(PathToNative(*jpeg)));
        EXPECT_EQ(test::ReadFileBytes(PathToNative(*jpeg)), B("JPEG"));
        EXPECT_EQ(test::ReadFileBytes(PathToNative(*png)), B("PNG2"));
        EXPECT_FALSE(temp.Write({}, PictureFormat::Png, prompts));
    }
    EXPECT_FALSE(fs::exists(directory));
    EXPECT_EQ(test::ReadFileBytes(base / "victim"), B("precious"));
    TempImageDirectory nowhere((base / "missing").string());
    EXPECT_FALSE(nowhere.Write(B("x"), PictureFormat::Png, prompts));
    ASSERT_EQ(prompts.Count(), 2u);
    EXPECT_EQ(prompts.Prompts()[0].text, u"Image is empty!");
    EXPECT_EQ(prompts.Prompts()[1].text.rfind(u"Error when opening file \"", 0), 0u);

    // "Save picture...": the dialog's name and filter, and the file written.
    EXPECT_EQ(SavePictureName(7), u"Lead artist lead performer soloist");
    EXPECT_EQ(SavePictureName(6), u"Media (e.g. lable side of CD)");
    EXPECT_EQ(SavePictureFilter(PictureFormat::Jpeg) + SavePicturePattern(PictureFormat::Jpeg), u"JPG Images (*.jpg)*.jpg");
    EXPECT_EQ(SavePictureFilter(PictureFormat::Png), u"PNG Images (*.png)");
    test::WriteFileBytes(base / "out.jpg", Bytes(100, 'x'));
    ASSERT_TRUE(WritePictureFile(Path(base / "out.jpg"), B("JPEG"), prompts));
    EXPECT_EQ(test::ReadFileBytes(base / "out.jpg"), B("JPEG"));  // the longer old file is emptied first
}

}  // namespace
}  // namespace quorvane
