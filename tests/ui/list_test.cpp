// The file list: what each column shows, how each column sorts, how rows are drawn.
#include <QBrush>
#include <QColor>
#include <QHeaderView>

#include "ui/list_appearance.h"
#include "window_fixture.h"

namespace quorvane::test {
namespace {

using ui::ListColumn;

class ListTest : public WindowTest {};

TEST_F(ListTest, ColumnsShowTheTagsTheStreamAndThePlace) {
    MakeFiles({
        {"a/one.mp3", {"-b", "128"}, 2.0, "Title One", "Artist", "Album", "7", "2001", "(17)"},
        {"a/vbr.mp3", {"-V", "0"}, 2.0, "", "", "", "", "", "Jazz"},
    });
    LoadTree(2);
    const int one = RowOfFile(QStringLiteral("one.mp3"));
    ASSERT_GE(one, 0);
    EXPECT_EQ(Cell(one, ui::kColumnTrack), QStringLiteral("7"));
    EXPECT_EQ(Cell(one, ui::kColumnArtist), QStringLiteral("Artist"));
    EXPECT_EQ(Cell(one, ui::kColumnAlbum), QStringLiteral("Album"));
    EXPECT_EQ(Cell(one, ui::kColumnTitle), QStringLiteral("Title One"));
    EXPECT_EQ(Cell(one, ui::kColumnYear), QStringLiteral("2001"));
    EXPECT_EQ(Cell(one, ui::kColumnBitrate), QStringLiteral("128"));
    EXPECT_EQ(Cell(one, ui::kColumnDirectory), ui::PathToQString(TreePath("a")));
    EXPECT_EQ(Cell(one, ui::kColumnGenre), QStringLiteral("Rock"));  // "(17)" shown by name
    EXPECT_EQ(Cell(one, ui::kColumnDuration), QStringLiteral("00:02"));

    const int vbr = RowOfFile(QStringLiteral("vbr.mp3"));
    ASSERT_GE(vbr, 0);
    EXPECT_TRUE(Cell(vbr, ui::kColumnBitrate).endsWith(QStringLiteral(" (VBR)"))) << Cell(vbr, ui::kColumnBitrate).toStdString();
    EXPECT_EQ(Cell(vbr, ui::kColumnTitle), QString());  // a missing frame is an empty cell
    EXPECT_EQ(Cell(vbr, ui::kColumnGenre), QStringLiteral("Jazz"));

    const QAbstractItemModel& model = *window_->List().model();
    for (int column = 0; column < ui::kColumnCount; ++column) {
        const auto alignment = model.index(one, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        EXPECT_EQ(alignment & Qt::AlignHorizontal_Mask, column == ui::kColumnTrack ? Qt::AlignRight : Qt::AlignLeft)
            << "column " << column;
    }
    const QStringList headers = {"Filename", "Track",     "Artist", "Album", "Title",
                                 "Year",     "Bitrate",   "Directory", "Genre", "Duration"};
    for (int column = 0; column < ui::kColumnCount; ++column) {
        EXPECT_EQ(model.headerData(column, Qt::Horizontal).toString(), headers[column]);
    }
    EXPECT_EQ(window_->List().columnWidth(ui::kColumnFilename), 300);
    EXPECT_EQ(window_->List().columnWidth(ui::kColumnArtist), 150);
    EXPECT_EQ(window_->List().columnWidth(ui::kColumnGenre), 75);
}

// The file names of the view, top to bottom.
QStringList Order(const ui::FileListView& view) {
    QStringList names;
    for (int row = 0; row < view.model()->rowCount(); ++row) {
        names << view.model()->index(row, ui::kColumnFilename).data().toString();
    }
    return names;
}

// A header click sorts its column ascending, a second click reverses; rows that arrive
// after a sort go to the end.
TEST_F(ListTest, HeaderClicksSortNumbersAsNumbersAndTextsByTheLocaleWithCase) {
    MakeFiles({
        {"s/a.mp3", {"-b", "128"}, 1.0, "beta", "", "", "10"},
        {"s/b.mp3", {"-b", "96"}, 3.0, "Alpha", "", "", "9"},
        {"s/c.mp3", {"-b", "320"}, 2.0, "alpha", "", "", "1"},
        {"t/d.mp3", {}, 1.0, "zeta"},
    });
    LoadTree(3, "s");
    ui::FileListView& view = window_->List();
    QHeaderView& header = *view.horizontalHeader();
    EXPECT_EQ(Order(view), (QStringList{"a.mp3", "b.mp3", "c.mp3"}));  // as found, until a click
    EXPECT_FALSE(header.sortIndicatorSection() >= 0 && header.sortIndicatorSection() < ui::kColumnCount);
    const auto click = [&](int column) {
        QTest::mouseClick(header.viewport(), Qt::LeftButton, {},
                          QPoint(header.sectionViewportPosition(column) + 5, header.height() / 2));
    };

    struct Case {
        int column;
        QStringList ascending;
    };
    const Case cases[] = {
        // 96 < 128 < 320 as numbers ("128" < "320" < "96" as text).
        {ui::kColumnBitrate, {"b.mp3", "a.mp3", "c.mp3"}},
        {ui::kColumnDuration, {"a.mp3", "c.mp3", "b.mp3"}},
        // Track is text: "1" < "10" < "9".
        {ui::kColumnTrack, {"c.mp3", "a.mp3", "b.mp3"}},
        // Locale order, case-sensitive: lower case before upper case of the same word,
        // and both before "beta" (code units would put "Alpha" first and "beta" before "alpha").
        {ui::kColumnTitle, {"c.mp3", "b.mp3", "a.mp3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column);
        click(c.column);
        EXPECT_EQ(header.sortIndicatorSection(), c.column);
        EXPECT_EQ(header.sortIndicatorOrder(), Qt::AscendingOrder);
        EXPECT_EQ(Order(view), c.ascending);
        click(c.column);
        EXPECT_EQ(header.sortIndicatorOrder(), Qt::DescendingOrder);
        QStringList descending = c.ascending;
        std::reverse(descending.begin(), descending.end());
        EXPECT_EQ(Order(view), descending);
    }
    // By title, descending, "zeta" would come first.
    window_->AddDirectoryPath(ui::PathToQString(TreePath("t")));
    WaitForRows(4);
    EXPECT_EQ(Order(view), (QStringList{"a.mp3", "b.mp3", "c.mp3", "d.mp3"}));
}

TEST(AlternateRowColor, MovesEachChannelByEightWithinItsByte) {
    struct Case {
        QRgb window, expected;
    };
    const Case cases[] = {
        {0xF0FFFF, 0xE8F7F7},  // light: down, no borrow between channels
        {0xFFFFFF, 0xF7F7F7},
        {0xF7F7F7, 0xEFEFEF},  // 0xF7 counts as light
        {0xF6F6F6, 0xFEFEFE},  // just below: up
        {0x000000, 0x080808},
        {0x00FF00, 0x00F700},  // kept at 0, not wrapped
        {0x04F8FC, 0x00F0F4},
        {0x20FA10, 0x18F208},
        {0xF6F6F0, 0xFEFEF8},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ui::AlternateRowColor(c.window) & 0xFFFFFF, c.expected) << std::hex << c.window;
    }
}

TEST_F(ListTest, RowsAreDrawnAsTheListSettingsSay) {
    MakeFiles({{"d/a.mp3", {}, 1.0, "A"}, {"d/b.mp3", {}, 1.0, "B"}, {"d/c.mp3", {}, 1.0, "C"}});
    LoadTree(3);
    const QAbstractItemModel& model = *window_->List().model();
    const QColor base = window_->List().palette().color(QPalette::Base);
    // Even rows carry the alternate colour, odd rows none.
    EXPECT_EQ(model.index(0, 0).data(Qt::BackgroundRole).value<QColor>().rgb(), ui::AlternateRowColor(base.rgb()));
    EXPECT_FALSE(model.index(1, 0).data(Qt::BackgroundRole).isValid());
    EXPECT_TRUE(model.index(2, 3).data(Qt::BackgroundRole).isValid());

    // A changed file is red; with icons on it also shows the other icon.
    SelectRows({1});
    window_->CommandAction(ui::Command::RemoveV2)->trigger();  // answered "No" by default
    EXPECT_FALSE(model.index(1, 0).data(Qt::ForegroundRole).isValid());
    prompts_.QueueAnswer(PromptAnswer::Yes);
    window_->CommandAction(ui::Command::RemoveV2)->trigger();
    EXPECT_EQ(model.index(1, 4).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    EXPECT_FALSE(model.index(0, 4).data(Qt::ForegroundRole).isValid());
    const auto icon = [&](int row) { return model.index(row, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(); };
    EXPECT_EQ(icon(1), icon(0));  // "ShowIcons" is off by default

    SettingsStore::Instance().WriteBool("ShowIcons", true);
    SettingsStore::Instance().WriteBool("ShowRedText", false);
    SettingsStore::Instance().WriteBool("AlternateBg", false);
    SettingsStore::Instance().WriteBool("ShowGridlines", true);
    window_->ApplyListSettings();
    EXPECT_NE(icon(1), icon(0));
    EXPECT_FALSE(model.index(1, 4).data(Qt::ForegroundRole).isValid());
    EXPECT_FALSE(model.index(0, 0).data(Qt::BackgroundRole).isValid());
    EXPECT_TRUE(window_->List().showGrid());
}

}  // namespace
}  // namespace quorvane::test
