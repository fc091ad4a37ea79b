// The "Rename" dialog through the window's command: preview, history in the settings
// file, the unknown-field box, its keys and what it does to the rows and files.
#include <QPushButton>

#include <filesystem>

#include "dialog_fixture.h"
#include "operations/history.h"
#include "ui/history_combo.h"
#include "ui/rename_dialog.h"

namespace quorvane::test {
namespace {

using ui::RenameDialog;
using Strings = std::vector<std::u16string>;

class RenameDialogTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        MakeFiles({{"d/a.mp3", {}, 1.0, "Intro", "AC/DC", "", "7"}, {"d/b.mp3", {}, 1.0, "Two", "B", "", "12"}});
        LoadTree(2, "d");
        a_ = RowOfFile(QStringLiteral("a.mp3"));
        b_ = RowOfFile(QStringLiteral("b.mp3"));
    }
    // Types `expression` into a new dialog; `finish` ends it.
    bool Rename(const QString& expression, const std::function<void(RenameDialog&)>& finish) {
        return WithDialog<RenameDialog>(ui::Command::Rename, [&](RenameDialog& dialog) {
            QTest::keyClicks(&dialog.ExpressionBox().Edit(), expression);
            finish(dialog);
        });
    }
    static void Confirm(RenameDialog& dialog) { dialog.RenameButton().click(); }
    int a_ = -1, b_ = -1;
};

TEST_F(RenameDialogTest, PreviewsTheFirstTargetAndEnterRenamesEveryTarget) {
    SettingsStore::Instance().WriteStringList(kRenamesHistory, {u"<title>", u"<artist> - <title>"});
    SelectRows({a_, b_});
    std::vector<QString> previews;
    ASSERT_TRUE(Rename(QStringLiteral("<artist"), [&](RenameDialog& dialog) {
        EXPECT_EQ(dialog.ExpressionBox().History(), (Strings{u"<artist> - <title>", u"<title>"}));
        previews.push_back(dialog.Preview());  // an unfinished variable is dropped
        QTest::keyClicks(&dialog.ExpressionBox().Edit(), QStringLiteral("> - <TRACK>"));
        previews.push_back(dialog.Preview());
        QTest::keyClick(&dialog.ExpressionBox().Edit(), Qt::Key_Return);
        EXPECT_FALSE(dialog.isVisible());
    }));
    EXPECT_EQ(previews, (std::vector<QString>{".mp3", "AC/DC - 07.mp3"}));  // before "/" becomes a blank
    EXPECT_EQ(Cell(a_, ui::kColumnFilename), QStringLiteral("AC DC - 07.mp3"));
    EXPECT_EQ(Cell(b_, ui::kColumnFilename), QStringLiteral("B - 12.mp3"));
    EXPECT_EQ(window_->StatusText(2), QStringLiteral("Updated: 2"));
    EXPECT_EQ(Stored(kRenamesHistory), (Strings{u"<title>", u"<artist> - <title>", u"<artist> - <TRACK>"}));

    // Escape cancels; used again, an expression is listed once, first.
    ASSERT_TRUE(Rename(QStringLiteral("<year>"), [](RenameDialog& dialog) {
        EXPECT_EQ(dialog.ExpressionBox().Text(), u"<year>");
        QTest::keyClick(&dialog.ExpressionBox().Edit(), Qt::Key_Escape);
    }));
    window_->List().clearSelection();  // every listed file
    ASSERT_TRUE(Rename(QStringLiteral("<title>"), Confirm));
    ASSERT_TRUE(Rename(QString(), [](RenameDialog& dialog) {
        EXPECT_EQ(dialog.ExpressionBox().History(), (Strings{u"<title>", u"<artist> - <TRACK>", u"<artist> - <title>"}));
        EXPECT_EQ(dialog.ExpressionBox().Text(), u"");  // the edit part starts empty
    }));
    Trigger(ui::Command::Save);
    WaitForSaveEnd();
    EXPECT_TRUE(std::filesystem::exists(tree_ / "d/Intro.mp3") && std::filesystem::exists(tree_ / "d/Two.mp3"));
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST_F(RenameDialogTest, AnUnknownFieldIsToldWhenItsBracketClosesNotOnEveryKeyAfter) {
    SelectRows({a_});
    std::vector<size_t> counts;
    QString preview;
    ASSERT_TRUE(Rename(QStringLiteral("<artist> <x"), [&](RenameDialog& dialog) {
        for (const char* more : {"", ">", " - more"}) {
            QTest::keyClicks(&dialog.ExpressionBox().Edit(), QString::fromUtf8(more));
            counts.push_back(prompts_.Count());
        }
        preview = dialog.Preview();
        dialog.ExpressionBox().setEditText(QStringLiteral("<artist>"));  // mended, then mistaken anew
        dialog.ExpressionBox().setEditText(QStringLiteral("<artist> <x>"));
        counts.push_back(prompts_.Count());
        Confirm(dialog);
    }));
    EXPECT_EQ(counts, (std::vector<size_t>{0, 1, 1, 2}));
    EXPECT_EQ(preview, QString());
    // The apply tells it once more under "Error", renames nothing and keeps the expression.
    EXPECT_EQ(CountPrompts("error", u"Unrecognized field: x"), 3u);
    EXPECT_EQ(prompts_.Prompts().back().caption, u"Error");
    EXPECT_EQ(Cell(a_, ui::kColumnFilename), QStringLiteral("a.mp3"));
    EXPECT_EQ(Stored(kRenamesHistory).back(), u"<artist> <x>");
}

}  // namespace
}  // namespace quorvane::test
