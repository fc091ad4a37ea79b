// The "Rename" dialog through the window's command: its preview, its history in the
// settings file, its boxes, its keys and what it does to the rows.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>

#include "dialog_fixture.h"
#include "library/edit_gate.h"
#include "operations/history.h"
#include "ui/history_combo.h"
#include "ui/rename_dialog.h"

namespace quorvane::test {
namespace {

using ui::RenameDialog;

class RenameDialogTest : public DialogTest {
protected:
    void LoadTwo() {
        MakeFiles({
            {"d/a.mp3", {}, 1.0, "Intro", "AC/DC", "", "7"},
            {"d/b.mp3", {}, 1.0, "Two", "B", "", "12"},
        });
        LoadTree(2, "d");
        a_ = RowOfFile(QStringLiteral("a.mp3"));
        b_ = RowOfFile(QStringLiteral("b.mp3"));
    }
    // Opens the dialog and types `expression`; `finish` ends it.
    bool Rename(const QString& expression, const std::function<void(RenameDialog&)>& finish) {
        return WithDialog<RenameDialog>([&] { Trigger(ui::Command::Rename); },
                                        [&](RenameDialog& dialog) {
                                            QTest::keyClicks(&dialog.ExpressionBox().Edit(), expression);
                                            finish(dialog);
                                        });
    }
    int a_ = -1;
    int b_ = -1;
};

TEST_F(RenameDialogTest, PreviewShowsTheFirstTargetsNameAsExpandedAndEnterRenamesTheTargets) {
    LoadTwo();
    SettingsStore::Instance().WriteStringList(kRenamesHistory, {u"<title>", u"<artist> - <title>"});
    SelectRows({a_, b_});
    std::vector<QString> previews;
    ASSERT_TRUE(WithDialog<RenameDialog>([&] { Trigger(ui::Command::Rename); }, [&](RenameDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Rename"));
        EXPECT_EQ(dialog.ExpressionBox().History(), (std::vector<std::u16string>{u"<artist> - <title>", u"<title>"}));
        EXPECT_EQ(dialog.ExpressionBox().Text(), u"");  // the edit part starts empty
        for (const QString& step : {QStringLiteral("<artist"), QStringLiteral("> - <TRACK>")}) {
            QTest::keyClicks(&dialog.ExpressionBox().Edit(), step);
            previews.push_back(dialog.Preview());
        }
        // Enter in the box confirms the dialog.
        QTest::keyClick(&dialog.ExpressionBox().Edit(), Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible());
    }));
    // An unfinished variable is dropped; the preview keeps "/" and shows ".mp3".
    EXPECT_EQ(previews, (std::vector<QString>{QStringLiteral(".mp3"), QStringLiteral("AC/DC - 07.mp3")}));
    EXPECT_EQ(Cell(a_, ui::kColumnFilename), QStringLiteral("AC DC - 07.mp3"));
    EXPECT_EQ(Cell(b_, ui::kColumnFilename), QStringLiteral("B - 12.mp3"));
    EXPECT_EQ(window_->StatusText(2), QStringLiteral("Updated: 2"));
    EXPECT_EQ(prompts_.Count(), 0u);

    Trigger(ui::Command::Save);
    WaitForSaveEnd();
    EXPECT_TRUE(std::filesystem::exists(tree_ / "d/AC DC - 07.mp3"));
    EXPECT_TRUE(std::filesystem::exists(tree_ / "d/B - 12.mp3"));
    EXPECT_FALSE(std::filesystem::exists(tree_ / "d/a.mp3"));
}

TEST_F(RenameDialogTest, HistoryIsStoredNewestLastListedNewestFirstAndKeptOnce) {
    LoadTwo();
    SelectRows({a_});
    // Nothing stored: the default expression is stored and listed.
    ASSERT_TRUE(Rename(QStringLiteral("<title>"), [](RenameDialog& dialog) {
        EXPECT_EQ(dialog.ExpressionBox().History(), std::vector<std::u16string>{std::u16string(u"<artist> - <track> - <title>")});
        dialog.RenameButton().click();
    }));
    ASSERT_TRUE(Rename(QStringLiteral("<year>"), [](RenameDialog& dialog) {
        QTest::keyClick(&dialog.ExpressionBox().Edit(), Qt::Key_Escape);  // Escape cancels
    }));
    EXPECT_EQ(StoredList(kRenamesHistory), (std::vector<std::u16string>{u"<artist> - <track> - <title>", u"<title>"}));
    ASSERT_TRUE(Rename(QStringLiteral("<artist> - <track> - <title>"), [](RenameDialog& dialog) {
        EXPECT_EQ(dialog.ExpressionBox().History(),
                  (std::vector<std::u16string>{u"<title>", u"<artist> - <track> - <title>"}));
        dialog.RenameButton().click();
    }));
    EXPECT_EQ(StoredList(kRenamesHistory), (std::vector<std::u16string>{u"<title>", u"<artist> - <track> - <title>"}));
    EXPECT_EQ(Cell(a_, ui::kColumnFilename), QStringLiteral("AC DC - 07 - Intro.mp3"));

    // An entry in the older notation is listed and stored in the new one.
    SettingsStore::Instance().WriteStringList(kRenamesHistory, {u"%artist - %title", u"<title>"});
    ASSERT_TRUE(Rename(QString(), [](RenameDialog& dialog) {
        EXPECT_EQ(dialog.ExpressionBox().History(), (std::vector<std::u16string>{u"<artist> - <title>", u"<title>"}));
    }));
    EXPECT_EQ(StoredList(kRenamesHistory), (std::vector<std::u16string>{u"<title>", u"<artist> - <title>"}));
}

TEST_F(RenameDialogTest, AnUnknownFieldIsToldWhenItsBracketClosesNotOnEveryKeyAfter) {
    LoadTwo();
    SelectRows({a_});
    size_t afterOpen = 0, afterClose = 0, afterMore = 0, afterSecond = 0;
    QString preview;
    ASSERT_TRUE(Rename(QStringLiteral("<artist> <x"), [&](RenameDialog& dialog) {
        afterOpen = prompts_.Count();
        QTest::keyClicks(&dialog.ExpressionBox().Edit(), QStringLiteral(">"));
        afterClose = prompts_.Count();
        QTest::keyClicks(&dialog.ExpressionBox().Edit(), QStringLiteral(" - more"));
        afterMore = prompts_.Count();
        preview = dialog.Preview();
        // Mended, then mistaken anew: told again.
        dialog.ExpressionBox().setEditText(QStringLiteral("<artist>"));
        dialog.ExpressionBox().setEditText(QStringLiteral("<artist> <x>"));
        afterSecond = prompts_.Count();
        dialog.RenameButton().click();
    }));
    EXPECT_EQ(afterOpen, 0u);
    EXPECT_EQ(afterClose, 1u);
    EXPECT_EQ(afterMore, 1u);
    EXPECT_EQ(afterSecond, 2u);
    EXPECT_EQ(preview, QString());
    // The apply tells it once more and renames nothing; the expression is kept.
    EXPECT_EQ(CountPrompts("error", u"Unrecognized field: x"), 3u);
    EXPECT_EQ(prompts_.Prompts().back().caption, u"Error");
    EXPECT_EQ(Cell(a_, ui::kColumnFilename), QStringLiteral("a.mp3"));
    EXPECT_EQ(StoredList(kRenamesHistory).back(), u"<artist> <x>");
    EXPECT_EQ(window_->StatusText(2), QStringLiteral("Updated: 0"));
}

TEST_F(RenameDialogTest, WithNoSelectionEveryListedFileIsRenamed) {
    LoadTwo();
    ASSERT_TRUE(Rename(QStringLiteral("<title>"), [](RenameDialog& dialog) { dialog.RenameButton().click(); }));
    EXPECT_EQ(Cell(a_, ui::kColumnFilename), QStringLiteral("Intro.mp3"));
    EXPECT_EQ(Cell(b_, ui::kColumnFilename), QStringLiteral("Two.mp3"));
}

}  // namespace
}  // namespace quorvane::test
