// The "Generate ID3 Tags" dialog through the window's command: the "Simple" page's help,
// preview and completion from its history, the "Regular Expressions" page's boxes, what
// the page showing does to the tags and rows, and the tool tips of both expression
// dialogs.
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include "dialog_fixture.h"
#include "operations/history.h"
#include "operations/regex_generation.h"
#include "tags/frame_id.h"
#include "ui/generate_dialog.h"
#include "ui/history_combo.h"
#include "ui/rename_dialog.h"

namespace quorvane::test {
namespace {

using ui::GenerateDialog;
using Strings = std::vector<std::u16string>;

class GenerateDialogTest : public DialogTest {
protected:
    void Load(std::initializer_list<const char*> names) {
        std::vector<TestFile> files;
        for (const char* name : names) files.push_back({std::string("d/") + name});
        MakeFiles(files);
        LoadTree(files.size(), "d");
    }
    bool Generate(const std::function<void(GenerateDialog&)>& answer) {
        return WithDialog<GenerateDialog>(ui::Command::Generate, answer);
    }
    std::u16string Frame(const char* file, FrameId frame) const {
        return window_->List().RecordAtViewRow(RowOfFile(QString::fromUtf8(file)))->Tag().GetText(frame);
    }
    static std::vector<QString> Fields(const GenerateDialog& dialog) {
        std::vector<QString> fields(kPreviewFieldCount);
        for (size_t i = 0; i < fields.size(); ++i) fields[i] = dialog.PreviewText(static_cast<PreviewField>(i));
        return fields;
    }
    static void Type(ui::HistoryCombo& box, const QString& text) { QTest::keyClicks(&box.Edit(), text); }
};

TEST_F(GenerateDialogTest, SimplePagePreviewsTheSixFieldsAndGenerateFillsTheTags) {
    Load({"05_Brennick_Quorvane.mp3", "06_Other_Song.mp3"});
    SelectRows({RowOfFile(QStringLiteral("05_Brennick_Quorvane.mp3")), RowOfFile(QStringLiteral("06_Other_Song.mp3"))});
    std::vector<std::vector<QString>> previews;
    std::vector<size_t> counts;
    ASSERT_TRUE(Generate([&](GenerateDialog& dialog) {
        auto* pages = dialog.findChild<QTabWidget*>();
        EXPECT_EQ(pages->tabText(0) + "|" + pages->tabText(1), QStringLiteral("Simple|Regular Expressions"));
        EXPECT_EQ(dialog.GenerateButton().text(), QStringLiteral("Generate"));
        const QString help = QStringLiteral(
            "Enter the expected format of the file, including variables and separators.\n\nExample:\nTo extract ID3 "
            "from the filename \"05_Brennick_Quorvane.mp3\" the expression \"<track>_<artist>_<title>\" could be "
            "used.\nThis would put \"05\" into the ID3v2 track frame, \"Brennick\" into the artist field, and "
            "\"Quorvane\" into the title field.\n\nValid variables:\nartist, album, title, track, year, genre");
        EXPECT_EQ(pages->widget(0)->findChild<QLabel*>(QStringLiteral("help"))->text(), help);
        EXPECT_EQ(dialog.PreviewName(), QStringLiteral("05_Brennick_Quorvane.mp3"));
        EXPECT_TRUE(dialog.PatternBox().History().empty());  // no default pattern
        // An unknown name is told once, when its ">" is typed, and skipped.
        for (const char* step : {"<x", ">", "<year>-<track>_<artist>_<title>"}) {
            Type(dialog.PatternBox(), QString::fromUtf8(step));
            counts.push_back(prompts_.Count());
        }
        previews.push_back(Fields(dialog));  // no "-": nothing fits
        dialog.PatternBox().setEditText(QStringLiteral("<track>_<artist>_<title>"));  // as picked from the list
        previews.push_back(Fields(dialog));
        dialog.GenerateButton().click();
    }));
    EXPECT_EQ(previews, (std::vector<std::vector<QString>>{{"", "", "", "", "", ""},
                                                          {"Brennick", "", "Quorvane", "05", "", ""}}));
    EXPECT_EQ(Frame("05_Brennick_Quorvane.mp3", kFrameTPE1), u"Brennick");
    EXPECT_EQ(Frame("05_Brennick_Quorvane.mp3", kFrameTRCK), u"05");
    EXPECT_EQ(Cell(RowOfFile(QStringLiteral("06_Other_Song.mp3")), ui::kColumnTitle), QStringLiteral("Song"));
    EXPECT_EQ(window_->StatusText(2), QStringLiteral("Updated: 2"));
    EXPECT_EQ(Stored(kGenNormalsHistory), Strings{u"<track>_<artist>_<title>"});
    EXPECT_EQ(counts, (std::vector<size_t>{0, 1, 1}));
    ASSERT_EQ(prompts_.Count(), 1u);
    EXPECT_EQ(prompts_.Prompts()[0].caption + u"|" + prompts_.Prompts()[0].text, u"Quorvane 1.7|Unrecognized field: x");
}

TEST_F(GenerateDialogTest, TypingCompletesFromTheHistoryButNotAfterErasing) {
    Load({"05_Brennick_Quorvane.mp3"});
    SettingsStore::Instance().WriteStringList(kGenNormalsHistory, {u"<track>_<artist>_<title>", u"<album>"});
    ASSERT_TRUE(Generate([&](GenerateDialog& dialog) {
        ui::HistoryCombo& box = dialog.PatternBox();
        QLineEdit& edit = box.Edit();
        EXPECT_EQ(box.History(), (Strings{u"<album>", u"<track>_<artist>_<title>"}));
        Type(box, QStringLiteral("<T"));
        EXPECT_EQ(edit.text() + "|" + edit.selectedText(), QStringLiteral("<track>_<artist>_<title>|rack>_<artist>_<title>"));
        EXPECT_EQ(dialog.PreviewText(PreviewField::Title), QStringLiteral("Quorvane"));  // of the completed text
        box.setEditText(QString());
        Type(box, QStringLiteral("<x"));
        EXPECT_EQ(edit.text(), QStringLiteral("<x"));
        // A pattern that is the start of an entry: typed on over the completion, then Delete.
        box.setEditText(QString());
        Type(box, QStringLiteral("<track>_<artist>"));
        EXPECT_EQ(edit.selectedText(), QStringLiteral("_<title>"));
        QTest::keyClick(&edit, Qt::Key_Delete);
        EXPECT_EQ(edit.text(), QStringLiteral("<track>_<artist>"));
        EXPECT_EQ(Fields(dialog), (std::vector<QString>{"Brennick_Quorvane", "", "", "05", "", ""}));
        // Backspace likewise; the next letter completes again.
        box.setEditText(QString());
        QStringList texts;
        Type(box, QStringLiteral("<al"));
        texts << edit.text();
        for (int i = 0; i < 2; ++i) {
            QTest::keyClick(&edit, Qt::Key_Backspace);
            texts << edit.text();
        }
        Type(box, QStringLiteral("l"));
        texts << edit.text();
        EXPECT_EQ(texts, (QStringList{"<album>", "<al", "<a", "<album>"}));
        box.setEditText(QStringLiteral("<track>_<artist>"));
        dialog.GenerateButton().click();
    }));
    EXPECT_EQ(Frame("05_Brennick_Quorvane.mp3", kFrameTPE1), u"Brennick_Quorvane");
    EXPECT_EQ(Stored(kGenNormalsHistory), (Strings{u"<track>_<artist>_<title>", u"<album>", u"<track>_<artist>"}));
}

TEST_F(GenerateDialogTest, RegularExpressionPageRunsWhenShowingAndStaysOpenOnAParseError) {
    Load({"A - B.mp3", "nomatch.mp3", "C - D.mp3"});
    SelectRows({RowOfFile(QStringLiteral("A - B.mp3")), RowOfFile(QStringLiteral("nomatch.mp3")),
                RowOfFile(QStringLiteral("C - D.mp3"))});
    ASSERT_TRUE(Generate([&](GenerateDialog& dialog) {
        dialog.PatternBox().setEditText(QStringLiteral("<title>"));  // not the page showing: ignored
        dialog.ShowPage(GenerateDialog::Page::RegularExpressions);
        ui::HistoryCombo& box = dialog.RegExpBox();
        EXPECT_EQ(box.History(), Strings{std::u16string(kDefaultRegExp)});
        Type(box, QStringLiteral("(?P<artist>.+"));
        dialog.GenerateButton().click();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.CurrentPage(), GenerateDialog::Page::RegularExpressions);
        EXPECT_EQ(box.Text(), u"(?P<artist>.+");
        EXPECT_EQ(Stored(kRegExpsHistory), Strings{std::u16string(kDefaultRegExp)});
        box.setEditText(QStringLiteral("(?P<artist>.+) - (?P<title>.+)"));
        QTest::keyClick(&box.Edit(), Qt::Key_Return);
    }));
    ASSERT_EQ(prompts_.Count(), 2u);
    EXPECT_EQ(prompts_.Prompts()[0].text, kRegExpParseError);
    EXPECT_EQ(prompts_.Prompts()[1].text,
              u"The regular expression \"(?P<artist>.+) - (?P<title>.+)\" didn't match the filename \"nomatch.mp3\"");
    EXPECT_EQ(prompts_.Prompts()[1].caption, u"Quorvane 1.7");
    EXPECT_EQ(Frame("A - B.mp3", kFrameTPE1) + u"|" + Frame("A - B.mp3", kFrameTIT2), u"A|B");
    EXPECT_EQ(Frame("C - D.mp3", kFrameTIT2), u"D");
    EXPECT_EQ(window_->StatusText(2), QStringLiteral("Updated: 2"));
    EXPECT_EQ(Stored(kRegExpsHistory), (Strings{std::u16string(kDefaultRegExp), u"(?P<artist>.+) - (?P<title>.+)"}));
    EXPECT_TRUE(Stored(kGenNormalsHistory).empty());
}

TEST_F(GenerateDialogTest, TooltipsFollowTheSettingInBothExpressionDialogs) {
    Load({"a.mp3"});
    const QString boxTip = QStringLiteral("Enter text/variables, or select a previously used expression");
    for (const bool on : {true, false}) {
        SettingsStore::Instance().WriteBool("Tooltips", on);
        const auto tip = [on](const QString& text) { return on ? text : QString(); };
        ASSERT_TRUE(Generate([&](GenerateDialog& dialog) {
            EXPECT_EQ(dialog.PatternBox().toolTip() + dialog.RegExpBox().toolTip(), tip(boxTip + boxTip));
            EXPECT_EQ(dialog.GenerateButton().toolTip(), QString());
        }));
        ASSERT_TRUE(WithDialog<ui::RenameDialog>(ui::Command::Rename, [&](ui::RenameDialog& dialog) {
            EXPECT_EQ(dialog.ExpressionBox().toolTip(), tip(boxTip));
            EXPECT_EQ(dialog.RenameButton().toolTip(), tip(QStringLiteral("Rename the files")));
            EXPECT_EQ(dialog.CancelButton().toolTip(), QString());
        }));
    }
}

}  // namespace
}  // namespace quorvane::test
