// The "Generate ID3 Tags" dialog through the window's command: the "Simple" page's help,
// preview and completion from its history, the "Regular Expressions" page's boxes, and
// what the confirmed page does to the tags and rows.
#include <QLabel>
#include <QLineEdit>
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
using ui::HistoryCombo;

class GenerateDialogTest : public DialogTest {
protected:
    void LoadNamed(const std::vector<std::string>& names) {
        std::vector<TestFile> files;
        for (const std::string& name : names) files.push_back({"d/" + name});
        MakeFiles(files);
        LoadTree(names.size(), "d");
    }
    bool Generate(const std::function<void(GenerateDialog&)>& answer) {
        return WithDialog<GenerateDialog>([&] { Trigger(ui::Command::Generate); }, answer);
    }
    std::u16string Frame(int row, FrameId frame) const {
        const RecordPtr record = window_->List().RecordAtViewRow(row);
        return record->Tag().GetText(frame);
    }
    std::vector<QString> Fields(const GenerateDialog& dialog) const {
        std::vector<QString> fields;
        for (size_t i = 0; i < kPreviewFieldCount; ++i) fields.push_back(dialog.PreviewText(static_cast<PreviewField>(i)));
        return fields;
    }
};

TEST_F(GenerateDialogTest, SimplePagePreviewsTheSixFieldsAndGenerateFillsTheTags) {
    LoadNamed({"05_Brennick_Quorvane.mp3", "06_Other_Song.mp3"});
    const int first = RowOfFile(QStringLiteral("05_Brennick_Quorvane.mp3"));
    const int second = RowOfFile(QStringLiteral("06_Other_Song.mp3"));
    std::vector<QString> fields;
    ASSERT_TRUE(Generate([&](GenerateDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Generate ID3 Tags"));
        EXPECT_EQ(dialog.CurrentPage(), GenerateDialog::Page::Simple);
        EXPECT_EQ(dialog.GenerateButton().text(), QStringLiteral("Generate"));
        auto* pages = dialog.findChild<QTabWidget*>();
        ASSERT_TRUE(pages);
        EXPECT_EQ(pages->tabText(0), QStringLiteral("Simple"));
        EXPECT_EQ(pages->tabText(1), QStringLiteral("Regular Expressions"));
        const QString help = QStringLiteral(
            "Enter the expected format of the file, including variables and separators.\n\nExample:\nTo extract ID3 "
            "from the filename \"05_Brennick_Quorvane.mp3\" the expression \"<track>_<artist>_<title>\" could be "
            "used.\nThis would put \"05\" into the ID3v2 track frame, \"Brennick\" into the artist field, and "
            "\"Quorvane\" into the title field.\n\nValid variables:\nartist, album, title, track, year, genre");
        bool helpShown = false;
        for (const QLabel* label : pages->widget(0)->findChildren<QLabel*>()) helpShown |= label->text() == help;
        EXPECT_TRUE(helpShown);
        EXPECT_EQ(dialog.PreviewName(), QStringLiteral("05_Brennick_Quorvane.mp3"));
        EXPECT_TRUE(dialog.PatternBox().History().empty());  // no default pattern

        QTest::keyClicks(&dialog.PatternBox().Edit(), QStringLiteral("<year>-<track>_<artist>_<title>"));
        fields = Fields(dialog);
        // Picking another text empties the fields first.
        dialog.PatternBox().setEditText(QStringLiteral("<track>_<artist>_<title>"));
        EXPECT_EQ(Fields(dialog), (std::vector<QString>{"Brennick", "", "Quorvane", "05", "", ""}));
        dialog.GenerateButton().click();
    }));
    // "<year>" finds no "-": the name does not fit, and nothing is taken from it.
    EXPECT_EQ(fields, (std::vector<QString>{"", "", "", "", "", ""}));
    EXPECT_EQ(Frame(first, kFrameTPE1), u"Brennick");
    EXPECT_EQ(Frame(first, kFrameTIT2), u"Quorvane");
    EXPECT_EQ(Frame(second, kFrameTPE1), u"Other");
    EXPECT_EQ(Cell(second, ui::kColumnTitle), QStringLiteral("Song"));
    EXPECT_EQ(Cell(first, ui::kColumnTrack), QStringLiteral("05"));  // no TRCK before: kept as captured
    EXPECT_EQ(window_->StatusText(2), QStringLiteral("Updated: 2"));
    EXPECT_EQ(StoredList(kGenNormalsHistory), std::vector<std::u16string>{std::u16string(u"<track>_<artist>_<title>")});
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST_F(GenerateDialogTest, TypingCompletesFromTheHistoryButNotAfterErasing) {
    LoadNamed({"05_Brennick_Quorvane.mp3"});
    SettingsStore::Instance().WriteStringList(kGenNormalsHistory, {u"<track>_<artist>_<title>", u"<album>"});
    ASSERT_TRUE(Generate([&](GenerateDialog& dialog) {
        HistoryCombo& box = dialog.PatternBox();
        EXPECT_EQ(box.History(), (std::vector<std::u16string>{u"<album>", u"<track>_<artist>_<title>"}));
        QTest::keyClicks(&box.Edit(), QStringLiteral("<T"));
        EXPECT_EQ(box.Edit().text(), QStringLiteral("<track>_<artist>_<title>"));
        EXPECT_EQ(box.Edit().selectedText(), QStringLiteral("rack>_<artist>_<title>"));
        // The preview follows the completed text.
        EXPECT_EQ(dialog.PreviewText(PreviewField::Title), QStringLiteral("Quorvane"));

        box.setEditText(QString());
        QTest::keyClicks(&box.Edit(), QStringLiteral("<x"));
        EXPECT_EQ(box.Edit().text(), QStringLiteral("<x"));

        // Typing on over the completed part completes again, letter by letter.
        box.setEditText(QString());
        QTest::keyClicks(&box.Edit(), QStringLiteral("<track>_<artist>"));
        EXPECT_EQ(box.Edit().selectedText(), QStringLiteral("_<title>"));
        QTest::keyClick(&box.Edit(), Qt::Key_Delete);
        EXPECT_EQ(box.Edit().text(), QStringLiteral("<track>_<artist>"));
        EXPECT_EQ(dialog.PreviewText(PreviewField::Artist), QStringLiteral("Brennick_Quorvane"));
        EXPECT_EQ(dialog.PreviewText(PreviewField::Title), QString());

        box.setEditText(QString());
        QTest::keyClicks(&box.Edit(), QStringLiteral("<albu"));
        EXPECT_EQ(box.Edit().text(), QStringLiteral("<album>"));
        QTest::keyClick(&box.Edit(), Qt::Key_Backspace);  // the completed ">" goes
        EXPECT_EQ(box.Edit().text(), QStringLiteral("<albu"));
        QTest::keyClick(&box.Edit(), Qt::Key_Backspace);
        EXPECT_EQ(box.Edit().text(), QStringLiteral("<alb"));
        QTest::keyClicks(&box.Edit(), QStringLiteral("u"));  // typing completes again
        EXPECT_EQ(box.Edit().text(), QStringLiteral("<album>"));

        box.setEditText(QStringLiteral("<track>_<artist>"));
        dialog.GenerateButton().click();
    }));
    EXPECT_EQ(Frame(0, kFrameTPE1), u"Brennick_Quorvane");
    EXPECT_EQ(Frame(0, kFrameTIT2), u"");
    EXPECT_EQ(StoredList(kGenNormalsHistory),
              (std::vector<std::u16string>{u"<track>_<artist>_<title>", u"<album>", u"<track>_<artist>"}));
}

TEST_F(GenerateDialogTest, AnUnknownPatternFieldIsToldOnceUnderTheProgramTitle) {
    LoadNamed({"05_Brennick_Quorvane.mp3"});
    std::vector<size_t> counts;
    ASSERT_TRUE(Generate([&](GenerateDialog& dialog) {
        for (const QString step : {QStringLiteral("<x"), QStringLiteral(">_"), QStringLiteral("<title>"),
                                   QStringLiteral("_<y>")}) {
            QTest::keyClicks(&dialog.PatternBox().Edit(), step);
            counts.push_back(prompts_.Count());
        }
        QTest::keyClick(&dialog.PatternBox().Edit(), Qt::Key_Escape);
    }));
    EXPECT_EQ(counts, (std::vector<size_t>{0, 1, 1, 2}));
    EXPECT_EQ(CountPrompts("error", u"Unrecognized field: x"), 1u);
    EXPECT_EQ(CountPrompts("error", u"Unrecognized field: y"), 1u);
    EXPECT_EQ(prompts_.Prompts().front().caption, u"Quorvane 1.7");
    EXPECT_EQ(Frame(0, kFrameTIT2), u"");  // cancelled
    EXPECT_TRUE(StoredList(kGenNormalsHistory).empty());
}

TEST_F(GenerateDialogTest, RegularExpressionThatDoesNotCompileKeepsTheDialogOpenOnItsPage) {
    LoadNamed({"A - B.mp3", "nomatch.mp3", "C - D.mp3"});
    const int a = RowOfFile(QStringLiteral("A - B.mp3"));
    const int n = RowOfFile(QStringLiteral("nomatch.mp3"));
    const int c = RowOfFile(QStringLiteral("C - D.mp3"));
    SelectRows({a, n, c});
    ASSERT_TRUE(Generate([&](GenerateDialog& dialog) {
        dialog.ShowPage(GenerateDialog::Page::RegularExpressions);
        HistoryCombo& box = dialog.RegExpBox();
        EXPECT_EQ(box.History(), std::vector<std::u16string>{std::u16string(kDefaultRegExp)});
        EXPECT_EQ(box.Text(), u"");
        QTest::keyClicks(&box.Edit(), QStringLiteral("(?P<artist>.+"));
        dialog.GenerateButton().click();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.CurrentPage(), GenerateDialog::Page::RegularExpressions);
        EXPECT_EQ(box.Text(), u"(?P<artist>.+");
        EXPECT_EQ(CountPrompts("error", kRegExpParseError), 1u);
        EXPECT_EQ(StoredList(kRegExpsHistory), std::vector<std::u16string>{std::u16string(kDefaultRegExp)});

        box.setEditText(QStringLiteral("(?P<artist>.+) - (?P<title>.+)"));
        QTest::keyClick(&box.Edit(), Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible());
    }));
    EXPECT_EQ(prompts_.Count(), 2u);
    EXPECT_EQ(CountPrompts("error",
                           u"The regular expression \"(?P<artist>.+) - (?P<title>.+)\" didn't match the filename "
                           u"\"nomatch.mp3\""),
              1u);
    EXPECT_EQ(prompts_.Prompts().back().caption, u"Quorvane 1.7");
    EXPECT_EQ(Frame(a, kFrameTPE1), u"A");
    EXPECT_EQ(Frame(a, kFrameTIT2), u"B");
    EXPECT_EQ(Frame(c, kFrameTPE1), u"C");
    EXPECT_EQ(Cell(n, ui::kColumnArtist), QString());
    EXPECT_EQ(window_->StatusText(2), QStringLiteral("Updated: 2"));
    EXPECT_EQ(StoredList(kRegExpsHistory),
              (std::vector<std::u16string>{std::u16string(kDefaultRegExp), u"(?P<artist>.+) - (?P<title>.+)"}));
}

TEST_F(GenerateDialogTest, ThePageShowingDecidesWhichGenerationRuns) {
    LoadNamed({"A - B.mp3"});
    ASSERT_TRUE(Generate([&](GenerateDialog& dialog) {
        dialog.PatternBox().setEditText(QStringLiteral("<title>"));
        dialog.ShowPage(GenerateDialog::Page::RegularExpressions);
        dialog.RegExpBox().setEditText(QStringLiteral("(?P<artist>.+) - "));
        dialog.GenerateButton().click();
    }));
    EXPECT_EQ(Frame(0, kFrameTPE1), u"A");
    EXPECT_EQ(Frame(0, kFrameTIT2), u"");
    EXPECT_TRUE(StoredList(kGenNormalsHistory).empty());
}

TEST_F(GenerateDialogTest, TooltipsFollowTheSettingInBothDialogs) {
    LoadNamed({"a.mp3"});
    const QString boxTip = QStringLiteral("Enter text/variables, or select a previously used expression");
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on);
        SettingsStore::Instance().WriteBool("Tooltips", on);
        const auto tip = [on](const QString& text) { return on ? text : QString(); };
        ASSERT_TRUE(Generate([&](GenerateDialog& dialog) {
            EXPECT_EQ(dialog.PatternBox().toolTip(), tip(boxTip));
            EXPECT_EQ(dialog.RegExpBox().toolTip(), tip(boxTip));
            EXPECT_EQ(dialog.GenerateButton().toolTip(), QString());
        }));
        ASSERT_TRUE(WithDialog<ui::RenameDialog>([&] { Trigger(ui::Command::Rename); }, [&](ui::RenameDialog& dialog) {
            EXPECT_EQ(dialog.ExpressionBox().toolTip(), tip(boxTip));
            EXPECT_EQ(dialog.RenameButton().toolTip(), tip(QStringLiteral("Rename the files")));
            EXPECT_EQ(dialog.CancelButton().toolTip(), QString());
        }));
    }
}

}  // namespace
}  // namespace quorvane::test
