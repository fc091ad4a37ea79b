// The file list: what each column shows, how each column sorts, the alternate row colour.
#include <QComboBox>
#include <QHeaderView>

#include "tags/frame_id.h"
#include "ui/list_appearance.h"
#include "window_fixture.h"

namespace quorvane::test {
namespace {

class ListTest : public WindowTest {};

// Each column in its place with its header; the track alone is right-aligned.
TEST_F(ListTest, ColumnsShowTheTagsTheStreamAndThePlace) {
    MakeFiles({{"a/one.mp3", {"-b", "128"}, 2.0, "Title One", "Artist", "Album", "7", "2001", "(17)"}});
    LoadTree(1);
    const QAbstractItemModel& model = *window_->List().model();
    QStringList headers, cells;
    for (int column = 0; column < ui::kColumnCount; ++column) {
        headers << model.headerData(column, Qt::Horizontal).toString();
        cells << Cell(0, column);
        const auto alignment = model.index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        EXPECT_EQ(alignment & Qt::AlignHorizontal_Mask, column == ui::kColumnTrack ? Qt::AlignRight : Qt::AlignLeft)
            << "column " << column;
    }
    EXPECT_EQ(headers, (QStringList{"Filename", "Track", "Artist", "Album", "Title", "Year", "Bitrate", "Directory",
                                    "Genre", "Duration"}));
    // "(17)" shown by name.
    EXPECT_EQ(cells, (QStringList{"one.mp3", "7", "Artist", "Album", "Title One", "2001", "128",
                                  ui::PathToQString(TreePath("a")), "Rock", "00:02"}));
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

    // Rows move up when a directory goes; an edit still reaches its own row.
    const RecordPtr d = window_->Rows().RecordAt(3);
    auto* directories = window_->findChild<QComboBox*>(QStringLiteral("directories"));
    directories->setCurrentIndex(directories->findText(ui::PathToQString(TreePath("s"))));
    window_->DeleteDirectory();
    ASSERT_EQ(Order(view), QStringList{"d.mp3"});
    d->Tag().SetText(kFrameTIT2, u"eta");
    window_->RecordsChanged(std::vector<RecordPtr>{d});
    EXPECT_EQ(view.model()->index(0, ui::kColumnTitle).data().toString(), QStringLiteral("eta"));
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

}  // namespace
}  // namespace quorvane::test
