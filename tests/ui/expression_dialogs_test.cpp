// The "Rename" and "Generate ID3 Tags" dialogs through the window's commands: previews,
// inline completion from the history in the settings file, the unknown-field box, their
// keys, the "Regular Expressions" page, and what they do to the tags and rows.
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include "operations/history.h"
#include "operations/regex_generation.h"
#include "tags/frame_id.h"
#include "ui/generate_dialog.h"
#include "ui/history_combo.h"
#include "ui/rename_dialog.h"
#include "window_fixture.h"

namespace quorvane::test {
namespace {

using ui::GenerateDialog;
using ui::RenameDialog;
using Strings = std::vector<std::u16string>;

class ExpressionDialogTest : public WindowTest {
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
    // Types `expression` into a new "Rename" dialog; `finish` ends it.
    bool Rename(const QString& expression, const std::function<void(RenameDialog&)>& finish) {
        return WithDialog<RenameDialog>(ui::Command::Rename, [&](RenameDialog& dialog) {
            Type(dialog.ExpressionBox(), expression);
            finish(dialog);
        });
    }
    std::u16string Frame(const char* file, FrameId frame) const {
        return RecordAt(RowOfFile(QString::fromUtf8(file)))->Tag().GetText(frame);
    }
    static std::vector<QString> Fields(const GenerateDialog& dialog) {
        std::vector<QString> fields(kPreviewFieldCount);
        for (size_t i = 0; i < fields.size(); ++i) fields[i] = dialog.PreviewText(static_cast<PreviewField>(i));
        return fields;
    }
    static void Type(ui::HistoryCombo& box, const QString& text) { QTest::keyClicks(&box.Edit(), text); }
};

class RenameDialogTest : public ExpressionDialogTest {
protected:
    void SetUp() override {
        ExpressionDialogTest::SetUp();
        MakeFiles({{"d/a.mp3", {}, 1.0, "Intro", "AC/DC", "", "7"}, {"d/b.mp3", {}, 1.0, "Two", "B", "", "12"}});
        LoadTree(2, "d");
        a_ = RowOfFile(QStringLiteral("a.mp3"));
        b_ = RowOfFile(QStringLiteral("b.mp3"));
    }
    int a_ = -1, b_ = -1;
};

TEST_F(RenameDialogTest, PreviewsTheFirstTargetAndEnterRenamesEveryTarget) {
    SettingsStore::Instance().WriteStringList(kRenamesHistory, {u"<title>", u"<artist> - <title>"});
    SelectRows({a_, b_});
    std::vector<QString> previews;
    ASSERT_TRUE(Rename(QStringLiteral("<artist"), [&](RenameDialog& dialog) {
        EXPECT_EQ(dialog.ExpressionBox().History(), (Strings{u"<artist> - <title>", u"<title>"}));
        previews.push_back(dialog.Preview());  // an unfinished variable is dropped
        Type(dialog.ExpressionBox(), QStringLiteral("> - <TRACK>"));
        previews.push_back(dialog.Preview());
        QTest::keyClick(&dialog.ExpressionBox().Edit(), Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible());
    }));
    EXPECT_EQ(previews, (std::vector<QString>{".mp3", "AC/DC - 07.mp3"}));  // before "/" becomes a blank
    EXPECT_EQ(Cell(a_, ui::kColumnFilename), QStringLiteral("AC DC - 07.mp3"));
    EXPECT_EQ(Cell(b_, ui::kColumnFilename), QStringLiteral("B - 12.mp3"));
    EXPECT_EQ(window_->StatusText(2), QStringLiteral("Updated: 2"));
    EXPECT_EQ(Stored(kRenamesHistory), (Strings{u"<title>", u"<artist> - <title>", u"<artist> - <TRACK>"}));

    // Escape cancels; with nothing selected every listed file is renamed.
    ASSERT_TRUE(Rename(QStringLiteral("<year>"), [](RenameDialog& dialog) {
        EXPECT_EQ(dialog.ExpressionBox().Text(), u"<year>");
        QTest::keyClick(&dialog.ExpressionBox().Edit(), Qt::Key_Escape);
    }));
    window_->List().clearSelection();
    ASSERT_TRUE(Rename(QStringLiteral("<title>"), [](RenameDialog& dialog) { dialog.RenameButton().click(); }));
    ASSERT_TRUE(Rename(QString(), [](RenameDialog& dialog) {
        EXPECT_EQ(dialog.ExpressionBox().Text(), u"");  // the edit part starts empty
    }));
    SaveAll();
    EXPECT_TRUE(std::filesystem::exists(tree_ / "d/Intro.mp3") && std::filesystem::exists(tree_ / "d/Two.mp3"));
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST_F(RenameDialogTest, AnUnknownFieldIsToldWhenItsBracketClosesNotOnEveryKeyAfter) {
    SelectRows({a_});
    std::vector<size_t> counts;
    QString preview;
    ASSERT_TRUE(Rename(QStringLiteral("<artist> <x"), [&](RenameDialog& dialog) {
        for (const char* more : {"", ">", " - more"}) {
            Type(dialog.ExpressionBox(), QString::fromUtf8(more));
            counts.push_back(prompts_.Count());
        }
        preview = dialog.Preview();
        dialog.ExpressionBox().setEditText(QStringLiteral("<artist>"));  // mended, then mistaken anew
        dialog.ExpressionBox().setEditText(QStringLiteral("<artist> <x>"));
        counts.push_back(prompts_.Count());
        dialog.RenameButton().click();
    }));
    EXPECT_EQ(counts, (std::vector<size_t>{0, 1, 1, 2}));
    EXPECT_EQ(preview, QString());
    // The apply tells it once more under "Error", renames nothing and keeps the expression.
    EXPECT_EQ(CountPrompts("error", u"Unrecognized field: x"), 3u);
    EXPECT_EQ(prompts_.Prompts().back().caption, u"Error");
    EXPECT_EQ(Cell(a_, ui::kColumnFilename), QStringLiteral("a.mp3"));
    EXPECT_EQ(Stored(kRenamesHistory).back(), u"<artist> <x>");
}

TEST_F(ExpressionDialogTest, SimplePagePreviewsTheSixFieldsAndGenerateFillsTheTags) {
    Load({"05_Brennick_Quorvane.mp3", "06_Other_Song.mp3"});
    SelectRows({RowOfFile(QStringLiteral("05_Brennick_Quorvane.mp3")), RowOfFile(QStringLiteral("06_Other_Song.mp3"))});
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
        dialog.PatternBox().setEditText(QStringLiteral("<track>_<artist>_<title>"));  // as picked from the list
        EXPECT_EQ(Fields(dialog), (std::vector<QString>{"Brennick", "", "Quorvane", "05", "", ""}));
        dialog.GenerateButton().click();
    }));
    EXPECT_EQ(Frame("05_Brennick_Quorvane.mp3", kFrameTPE1), u"Brennick");
    EXPECT_EQ(Frame("05_Brennick_Quorvane.mp3", kFrameTRCK), u"05");
    EXPECT_EQ(Cell(RowOfFile(QStringLiteral("06_Other_Song.mp3")), ui::kColumnTitle), QStringLiteral("Song"));
    EXPECT_EQ(window_->StatusText(2), QStringLiteral("Updated: 2"));
    EXPECT_EQ(Stored(kGenNormalsHistory), Strings{u"<track>_<artist>_<title>"});
    EXPECT_EQ(counts, (std::vector<size_t>{0, 1, 1}));
    ASSERT_EQ(prompts_.Count(), 1u);
    EXPECT_EQ(prompts_.Prompts()[0].caption + u"|" + prompts_.Prompts()[0].text, u"Quorvane 1.7|Unrecognized field: x");
}

// Which entry completes is the core's; the box shows it with the rest selected, and an
// erasing key takes the completion away.
TEST_F(ExpressionDialogTest, TypingCompletesFromTheHistoryButNotAfterErasing) {
    Load({"05_Brennick_Quorvane.mp3"});
    SettingsStore::Instance().WriteStringList(kGenNormalsHistory, {u"<track>_<artist>_<title>", u"<album>"});
    ASSERT_TRUE(Generate([&](GenerateDialog& dialog) {
        ui::HistoryCombo& box = dialog.PatternBox();
        QLineEdit& edit = box.Edit();
        EXPECT_EQ(box.History(), (Strings{u"<album>", u"<track>_<artist>_<title>"}));
        Type(box, QStringLiteral("<T"));
        EXPECT_EQ(edit.text() + "|" + edit.selectedText(), QStringLiteral("<track>_<artist>_<title>|rack>_<artist>_<title>"));
        EXPECT_EQ(dialog.PreviewText(PreviewField::Title), QStringLiteral("Quorvane"));  // of the completed text
        // A pattern that is the start of an entry: typed on over the completion, then Delete.
        box.setEditText(QString());
        Type(box, QStringLiteral("<track>_<artist>"));
        EXPECT_EQ(edit.selectedText(), QStringLiteral("_<title>"));
        QTest::keyClick(&edit, Qt::Key_Delete);
        EXPECT_EQ(edit.text(), QStringLiteral("<track>_<artist>"));
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

TEST_F(ExpressionDialogTest, RegularExpressionPageRunsWhenShowingAndStaysOpenOnAParseError) {
    Load({"A - B.mp3", "nomatch.mp3", "C - D.mp3"});
    window_->SelectAll();
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

}  // namespace
}  // namespace quorvane::test
