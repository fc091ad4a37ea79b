// The "Comments" and "Pictures" pages and their dialogs on real files (lame, mutagen,
// ImageMagick), checked afterwards through the core; thumbnails from the preview
// service; the tool tips of the editor and the dialogs.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "operations/image_file.h"
#include "operations/picture_editor.h"
#include "tags/id3_tag.h"
#include "ui/comment_dialog.h"
#include "ui/comments_pane.h"
#include "ui/general_pane.h"
#include "ui/generate_dialog.h"
#include "ui/history_combo.h"
#include "ui/id3v1_pane.h"
#include "ui/picture_dialog.h"
#include "ui/pictures_pane.h"
#include "ui/rename_dialog.h"
#include "window_fixture.h"

namespace quorvane::test {
namespace {

using Page = ui::TagEditor::Page;

void Click(QAbstractButton& button) { QTest::mouseClick(&button, Qt::LeftButton); }

// "language|description|text" of each COMM frame, in tag order.
std::vector<std::string> CommentsOf(const RecordPtr& record) {
    std::vector<std::string> comments;
    const Id3Tag& tag = record->Tag();
    for (const Id3Frame* f = tag.FindFrame(kFrameCOMM); f; f = tag.FindFrame(kFrameCOMM, f)) {
        comments.push_back(f->Ascii(FieldRole::Language)->Value() + "|" + U8(f->Text(FieldRole::Description)->Text()) +
                           "|" + U8(f->Text(FieldRole::Text)->Text()));
    }
    return comments;
}

// "type|mime|description|bytes" of each APIC frame, in tag order.
std::vector<std::string> PicturesOf(const RecordPtr& record) {
    std::vector<std::string> pictures;
    const Id3Tag& tag = record->Tag();
    for (const Id3Frame* f = tag.FindFrame(kFrameAPIC); f; f = tag.FindFrame(kFrameAPIC, f)) {
        pictures.push_back(std::to_string(PictureTypeOf(*f)) + "|" + f->Ascii(FieldRole::MimeType)->Value() + "|" +
                           U8(f->Text(FieldRole::Description)->Text()) + "|" +
                           std::to_string(f->Data(FieldRole::PictureData)->Data().size()));
    }
    return pictures;
}

// Each file has a comment of its own with the description '', and two alike that share "d".
class CommentsPage : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        MakeFiles({{"d/a.mp3"}, {"d/b.mp3"}});
        for (const char* file : {"d/a.mp3", "d/b.mp3"}) {
            TagWith(file, std::string("tag.add(COMM(encoding=3, lang='eng', desc='', text=['") +
                              (file[2] == 'a' ? "a" : "b") +
                              "']))\n"
                              "tag.add(COMM(encoding=3, lang='eng', desc='d', text=['first']))\n"
                              "tag.add(COMM(encoding=3, lang='deu', desc='d', text=['zweite']))");
        }
        LoadTree(2, "d");
        Editor().ShowPage(Page::Comments);
    }
    ui::CommentsPane& Pane() const { return Editor().Comments(); }
    QTreeWidget& List() const { return Pane().List(); }
    QString Row(int row) const {
        const QTreeWidgetItem& item = *List().topLevelItem(row);
        return item.text(0) + "|" + item.text(1) + "|" + item.text(2);
    }
    void Pick(int row) { List().setCurrentItem(List().topLevelItem(row)); }
};

// Delete and Edit act on the row picked, not on the first with its description.
TEST_F(CommentsPage, ListsSharedCommentsAndItsButtonsActOnThePickedRow) {
    EXPECT_FALSE(Pane().AddButton().isEnabled() || Pane().DeleteAllButton().isEnabled());
    Select({0, 1});
    ASSERT_EQ(List().topLevelItemCount(), 2);  // the comments with '' differ: not listed
    const QTreeWidgetItem& header = *List().headerItem();
    EXPECT_EQ(header.text(0) + "," + header.text(1) + "," + header.text(2),
              QStringLiteral("Short Description,Language,Description"));
    EXPECT_EQ(Row(1), QStringLiteral("d|German|zweite"));
    EXPECT_TRUE(Pane().AddButton().isEnabled() && Pane().DeleteAllButton().isEnabled());
    EXPECT_FALSE(Pane().EditButton().isEnabled() || Pane().DeleteButton().isEnabled());
    Pick(1);
    EXPECT_TRUE(Pane().EditButton().isEnabled() && Pane().DeleteButton().isEnabled());
    Click(Pane().DeleteButton());
    ASSERT_EQ(List().topLevelItemCount(), 1);
    EXPECT_EQ(Row(0), QStringLiteral("d|English|first"));

    Pick(0);
    EXPECT_TRUE(WithDialog<ui::CommentDialog>([&] { Click(Pane().EditButton()); }, [](ui::CommentDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Edit Comment"));
        EXPECT_EQ(dialog.DescriptionEdit().text(), QStringLiteral("d"));
        EXPECT_EQ(dialog.LanguageBox().currentText(), QStringLiteral("English"));
        EXPECT_EQ(dialog.TextEdit().toPlainText(), QStringLiteral("first"));
        dialog.LanguageBox().setCurrentIndex(dialog.LanguageBox().findText(QStringLiteral("German")));
        dialog.TextEdit().setFocus();
        QTest::keyClick(&dialog.TextEdit(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(&dialog.TextEdit(), Qt::Key_Return);  // a new line, not OK
        QTest::keyClicks(&dialog.TextEdit(), "line");
        EXPECT_TRUE(dialog.isVisible());
        dialog.accept();
    }));
    // Add opens with the first file's comment without description; Cancel changes nothing.
    EXPECT_TRUE(WithDialog<ui::CommentDialog>([&] { Click(Pane().AddButton()); }, [](ui::CommentDialog& dialog) {
        EXPECT_EQ(dialog.DescriptionEdit().text(), QString());
        EXPECT_EQ(dialog.TextEdit().toPlainText(), QStringLiteral("a"));
        EXPECT_EQ(dialog.LanguageBox().itemText(0), QString());  // the sorted names after an empty item
        dialog.TextEdit().setPlainText(QStringLiteral("c"));
        dialog.accept();
    }));
    EXPECT_EQ(List().topLevelItemCount(), 2);  // the comment with '' is shared now
    EXPECT_TRUE(WithDialog<ui::CommentDialog>([&] { Click(Pane().AddButton()); }, [](ui::CommentDialog& dialog) {
        dialog.TextEdit().setPlainText(QStringLiteral("x"));
    }));
    SaveAll();
    for (const char* file : {"d/a.mp3", "d/b.mp3"}) {
        EXPECT_EQ(CommentsOf(FromDisk(file)), (std::vector<std::string>{"eng||c", "ger|d|first\nline"})) << file;
    }
    Click(Pane().DeleteAllButton());
    EXPECT_EQ(List().topLevelItemCount(), 0);
    EXPECT_TRUE(CommentsOf(RecordAt(0)).empty() && CommentsOf(RecordAt(1)).empty());
}

// Both files hold a 300 x 200 JPEG and a 50 x 40 PNG, both "Cover (front)".
class PicturesPage : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        jpeg_ = MakeImage("img/wide.jpg", "300x200", "gradient:red-blue");
        png_ = MakeImage("img/small.png", "50x40", "xc:lime");
        MakeFiles({{"d/a.mp3"}, {"d/b.mp3"}});
        for (const char* file : {"d/a.mp3", "d/b.mp3"}) {
            TagWith(file, "tag.add(APIC(encoding=3, mime='image/jpeg', type=3, desc='one', data=open('" + jpeg_ +
                              "','rb').read()))\n"
                              "tag.add(APIC(encoding=3, mime='image/png', type=3, desc='two', data=open('" + png_ +
                              "','rb').read()))");
        }
        LoadTree(2, "d");
        Editor().ShowPage(Page::Pictures);
        Select({0, 1});
        // The list follows the first file's frames, in the order mutagen wrote them.
        const std::vector<std::string> frames = PicturesOf(RecordAt(0));
        ASSERT_EQ(frames.size(), 2u);
        pngRow_ = frames[0].find("|two|") != std::string::npos ? 0 : 1;
        jpegRow_ = 1 - pngRow_;
        jpegSize_ = std::to_string(ReadFileBytes(jpeg_).size());
    }
    ui::PicturesPane& Pane() const { return Editor().Pictures(); }
    QListWidget& List() const { return Pane().List(); }
    void Pick(int row) { List().setCurrentRow(row); }
    QImage Icon(int row) const {
        const int side = ui::PicturesPane::kThumbnailSide;
        return List().item(row)->icon().pixmap(QSize(side, side)).toImage();
    }
    std::string jpeg_, png_, jpegSize_;
    int pngRow_ = 0, jpegRow_ = 1;
};

// Edit and Delete act on the picture picked, not on the first of its type.
TEST_F(PicturesPage, ThumbnailsNeverEnlargedAndCentredAndThePickedPictureIsEdited) {
    ASSERT_EQ(List().count(), 2);
    EXPECT_EQ(List().item(0)->text() + "," + List().item(1)->text(), QStringLiteral("Cover (front),Cover (front)"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Pane().PendingThumbnails() == 0; }, 10000));
    QTest::qWait(30);
    const QImage wide = Icon(jpegRow_), small = Icon(pngRow_);
    ASSERT_EQ(wide.size(), QSize(115, 115));
    // 300 x 200 fits as 115 x 76, 19 rows free above; 50 x 40 stays 50 x 40, centred.
    EXPECT_GT(qAlpha(wide.pixel(57, 57)), 0);
    EXPECT_EQ(qAlpha(wide.pixel(57, 17)), 0);
    EXPECT_GT(qAlpha(wide.pixel(57, 20)), 0);
    EXPECT_EQ(qAlpha(small.pixel(31, 57)), 0);
    EXPECT_EQ(small.pixel(33, 57), qRgb(0, 255, 0));
    EXPECT_EQ(small.pixel(81, 76), qRgb(0, 255, 0));
    EXPECT_EQ(qAlpha(small.pixel(82, 57)), 0);
    EXPECT_EQ(qAlpha(small.pixel(57, 77)), 0);
    EXPECT_TRUE(Pane().AddButton().isEnabled() && Pane().DeleteAllButton().isEnabled());
    EXPECT_FALSE(Pane().EditButton().isEnabled());

    Pick(pngRow_);
    EXPECT_TRUE(Pane().EditButton().isEnabled() && Pane().DeleteButton().isEnabled());
    EXPECT_TRUE(WithDialog<ui::PictureDialog>([&] { Click(Pane().EditButton()); }, [](ui::PictureDialog& dialog) {
        EXPECT_EQ(dialog.DescriptionEdit().text(), QStringLiteral("two"));
        EXPECT_EQ(dialog.TypeBox().currentText(), QStringLiteral("Cover (front)"));
        EXPECT_EQ(dialog.TypeBox().count(), 21);
        EXPECT_TRUE(dialog.SavePictureButton().isEnabled());
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Preview().HasImage(); }, 10000));
        EXPECT_EQ(dialog.Preview().ImageRect(), QRect(95, 100, 50, 40));  // never enlarged, centred
        dialog.DescriptionEdit().setText(QStringLiteral("zwei"));
        dialog.accept();
    }));
    std::vector<std::string> expected(2);
    expected[static_cast<size_t>(jpegRow_)] = "3|image/jpeg|one|" + jpegSize_;
    expected[static_cast<size_t>(pngRow_)] = "3|image/png|zwei|" + std::to_string(ReadFileBytes(png_).size());
    EXPECT_EQ(PicturesOf(RecordAt(0)), expected);
    Pick(pngRow_);
    Click(Pane().DeleteButton());
    ASSERT_EQ(List().count(), 1);
    SaveAll();
    for (const char* file : {"d/a.mp3", "d/b.mp3"}) {
        EXPECT_EQ(PicturesOf(FromDisk(file)), std::vector<std::string>{"3|image/jpeg|one|" + jpegSize_}) << file;
    }
}

TEST_F(PicturesPage, AddBrowsesDropsSavesAndOpensThePicture) {
    chooser_.answers = {QString::fromStdString(png_), QString::fromStdString((tree_ / "out.png").string())};
    const std::string big = (tree_ / "img/big.jpg").string();
    WriteFileBytes(big, std::vector<uint8_t>(kImageConfirmSize + 1, 0xFF));
    EXPECT_TRUE(WithDialog<ui::PictureDialog>([&] { Click(Pane().AddButton()); }, [&](ui::PictureDialog& dialog) {
        EXPECT_EQ(dialog.TypeBox().currentIndex(), 0);  // "Other"
        EXPECT_FALSE(dialog.SavePictureButton().isEnabled());
        Click(dialog.BrowseButton());
        EXPECT_EQ(chooser_.openFilters, (QStringList{"JPG Files (*.jpg *.jpeg)", "PNG Files (*.png)",
                                                     "All Supported Files (*.jpg *.jpeg *.png)"}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Preview().HasImage(); }, 10000));
        Click(dialog.SavePictureButton());
        EXPECT_EQ(chooser_.proposed, QStringLiteral("Other|PNG Images (*.png)|png"));
        EXPECT_EQ(ReadFileBytes(tree_ / "out.png"), ReadFileBytes(png_));
        QTest::mouseClick(&dialog.Preview(), Qt::LeftButton);
        ASSERT_EQ(launcher_.opened.size(), 1u);
        EXPECT_EQ(QFileInfo(launcher_.opened[0].toLocalFile()).fileName(), QStringLiteral("tempimage.png"));
        // A drop loads its first JPEG or PNG file; a file over 2 MB asks first.
        dialog.LoadDropped({QString::fromStdString((tree_ / "notes.txt").string()), QString::fromStdString(jpeg_)});
        dialog.LoadDropped({QString::fromStdString(big)});  // answered No: the JPEG stays
        dialog.DescriptionEdit().setText(QStringLiteral("added"));
        dialog.accept();
    }));
    EXPECT_EQ(CountPrompts("yesno", ImageSizeQuestion()), 1u);
    EXPECT_EQ(List().count(), 3);
    for (int row : {0, 1}) EXPECT_EQ(PicturesOf(RecordAt(row)).back(), "0|image/jpg|added|" + jpegSize_);
    Click(Pane().DeleteAllButton());
    EXPECT_EQ(List().count(), 0);
    EXPECT_FALSE(Pane().DeleteAllButton().isEnabled());
}

// A control gets its tip while "Tooltips" is on, none when off; the dialogs read the
// setting each time they are made.
TEST_F(WindowTest, TooltipsFollowTheSettingWhenTheEditorIsMade) {
    const std::pair<QWidget*, const char*> tips[] = {
        {&Editor().AutoSaveBox(), "Automatically save changes when clicking the \"Next File\" button"},
        {&Editor().NextFileButton(), "Select the next file in the list"},
        {Editor().General().findChild<QPushButton*>("CopyFromV1"), "Fill in ID3v2 information from ID3v1 tags"},
        {&Editor().Comments().DeleteAllButton(),
         "Remove all comments\n(including those the selected files don't have in common)"},
        {&Editor().Pictures().EditButton(), "Edit the selected picture"},
        {&Editor().Id3v1().CancelButton(), "Cancel ID3v1 changes"},
    };
    for (const auto& [widget, tip] : tips) {
        ASSERT_TRUE(widget);
        EXPECT_EQ(widget->toolTip(), QString::fromUtf8(tip)) << widget->objectName().toStdString();
    }
    MakeFiles({{"d/a.mp3"}});
    LoadTree(1, "d");
    Editor().ShowPage(Page::Pictures);
    Select({0});
    const char* boxTip = "Enter text/variables, or select a previously used expression";
    for (const bool on : {true, false}) {
        SettingsStore::Instance().WriteBool("Tooltips", on);
        const auto tip = [on](const char* text) { return on ? QString::fromUtf8(text) : QString(); };
        EXPECT_TRUE(WithDialog<ui::PictureDialog>([&] { Click(Editor().Pictures().AddButton()); },
                                                  [&](ui::PictureDialog& dialog) {
            EXPECT_EQ(dialog.SavePictureButton().toolTip(), tip("Export this picture"));
            EXPECT_EQ(dialog.BrowseButton().toolTip(), tip("Browse for a new picture to add"));
        }));
        EXPECT_TRUE(WithDialog<ui::GenerateDialog>(ui::Command::Generate, [&](ui::GenerateDialog& dialog) {
            EXPECT_EQ(dialog.PatternBox().toolTip(), tip(boxTip));
            EXPECT_EQ(dialog.RegExpBox().toolTip(), tip(boxTip));
            EXPECT_EQ(dialog.GenerateButton().toolTip(), QString());
        }));
        EXPECT_TRUE(WithDialog<ui::RenameDialog>(ui::Command::Rename, [&](ui::RenameDialog& dialog) {
            EXPECT_EQ(dialog.ExpressionBox().toolTip(), tip(boxTip));
            EXPECT_EQ(dialog.RenameButton().toolTip(), tip("Rename the files"));
            EXPECT_EQ(dialog.CancelButton().toolTip(), QString());
        }));
    }
    // An editor made now has none either; Edit and Delete of the comments still start disabled.
    ui::MainWindow quiet(prompts_, launcher_);
    for (const QAbstractButton* button : quiet.Editor().findChildren<QAbstractButton*>()) {
        EXPECT_TRUE(button->toolTip().isEmpty()) << button->objectName().toStdString();
    }
    EXPECT_FALSE(quiet.Editor().Comments().EditButton().isEnabled() ||
                 quiet.Editor().Comments().DeleteButton().isEnabled());
}

}  // namespace
}  // namespace quorvane::test
