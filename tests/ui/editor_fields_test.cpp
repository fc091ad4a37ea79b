// The tag editor's field pages and its container: placeholders and modified flags,
// inline completion, the genre boxes, saving many files, the keyboard, "Next File", and
// the pages letting go of records and waiting for the saver.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include "library/edit_gate.h"
#include "tags/frame_id.h"
#include "tags/id3v1.h"
#include "ui/comments_pane.h"
#include "ui/general_pane.h"
#include "ui/id3v1_pane.h"
#include "ui/multi_value_edit.h"
#include "ui/pictures_pane.h"
#include "window_fixture.h"

namespace quorvane::test {
namespace {

using ui::MultiValueEdit;
using Page = ui::TagEditor::Page;

class FieldPages : public WindowTest {
protected:
    // Replaces the field's text as a user would: all selected, then typed over.
    static void TypeOver(QLineEdit& edit, const char* text) {
        QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(&edit, text);
    }
    // a: artist A, album X, title "One", ID3v1; b: artist B, album X, title "Two".
    void LoadTwo() {
        MakeFiles({{"d/a.mp3", {}, 1.0, "One", "A", "X", "", "", "", true},
                   {"d/b.mp3", {}, 1.0, "Two", "B", "X", "", "", "", true}});
        LoadTree(2, "d");
        a_ = RowOfFile(QStringLiteral("a.mp3"));
        b_ = RowOfFile(QStringLiteral("b.mp3"));
    }
    void LoadTen() {
        std::vector<TestFile> files;
        for (int i = 0; i < 10; ++i) {
            files.push_back({"d/f" + std::to_string(i) + ".mp3", {}, 1.0, "T" + std::to_string(i)});
        }
        MakeFiles(files);
        LoadTree(10, "d");
    }
    void NextFile() { QTest::mouseClick(&Editor().NextFileButton(), Qt::LeftButton); }
    ui::GeneralPane& General() const { return Editor().General(); }
    MultiValueEdit& Field(V2Field field) const { return General().Field(field); }
    MultiValueEdit& V1Field(ui::Id3v1Pane::FieldIndex field) const { return Editor().Id3v1().Field(field); }
    int a_ = -1, b_ = -1;
};

// A page refreshes only while it shows; placeholders show until the user types; a save
// writes only the fields typed into.
TEST_F(FieldPages, PlaceholdersAndSavingManyFilesLeaveUntouchedFieldsAlone) {
    LoadTwo();
    Editor().ShowPage(Page::Pictures);
    Select({a_, b_});
    EXPECT_TRUE(General().Shown().empty());  // not shown since the list was empty
    EXPECT_EQ(Editor().Pictures().Shown().size(), 2u);
    Editor().ShowPage(Page::General);
    const struct {
        V2Field field;
        const char* text;
        DisplayState state;
        const char* placeholder;
    } shown[] = {
        {V2Field::LeadArtist, "", DisplayState::Multiple, "(multiple)"},
        {V2Field::Album, "X", DisplayState::Value, ""},
        {V2Field::Year, "", DisplayState::Empty, "(empty)"},
    };
    for (const auto& row : shown) {
        EXPECT_EQ(Field(row.field).text(), QString::fromUtf8(row.text));
        EXPECT_EQ(Field(row.field).State(), row.state);
        EXPECT_EQ(Field(row.field).Placeholder(), QString::fromUtf8(row.placeholder));
        EXPECT_FALSE(Field(row.field).isModified());
    }
    // Typing and erasing it again leaves an empty, modified field without placeholder.
    QTest::keyClicks(&Field(V2Field::Year), "19");
    QTest::keyClick(&Field(V2Field::Year), Qt::Key_Backspace);
    QTest::keyClick(&Field(V2Field::Year), Qt::Key_Backspace);
    EXPECT_TRUE(Field(V2Field::Year).text().isEmpty() && Field(V2Field::Year).isModified());
    EXPECT_EQ(Field(V2Field::Year).Placeholder(), QString());
    // Escape cancels: the records are shown again and the flags are cleared.
    QTest::keyClick(&Field(V2Field::Year), Qt::Key_Escape);
    EXPECT_FALSE(Field(V2Field::Year).isModified());
    EXPECT_EQ(Field(V2Field::Year).Placeholder(), QStringLiteral("(empty)"));

    QTest::keyClicks(&Field(V2Field::Title), "Same");
    QTest::keyClick(&Field(V2Field::Title), Qt::Key_Return);  // Enter saves the page
    EXPECT_EQ(Field(V2Field::Title).text(), QStringLiteral("Same"));
    EXPECT_FALSE(Field(V2Field::Title).isModified());  // reloaded from the records
    EXPECT_EQ(Cell(a_, ui::kColumnTitle), QStringLiteral("Same"));
    EXPECT_EQ(window_->StatusText(2), QStringLiteral("Updated: 2"));

    // The same selection in the ID3v1 page; a track of 0 is "(empty)".
    Editor().ShowPage(Page::Id3v1);
    EXPECT_EQ(V1Field(ui::Id3v1Pane::kArtist).Placeholder(), QStringLiteral("(multiple)"));
    EXPECT_EQ(V1Field(ui::Id3v1Pane::kAlbum).text(), QStringLiteral("X"));
    EXPECT_EQ(V1Field(ui::Id3v1Pane::kTrack).Placeholder(), QStringLiteral("(empty)"));
    QTest::keyClicks(&V1Field(ui::Id3v1Pane::kComment), "note");
    QTest::mouseClick(&Editor().Id3v1().SaveButton(), Qt::LeftButton);
    SaveAll();
    const RecordPtr a = FromDisk("d/a.mp3"), b = FromDisk("d/b.mp3");
    EXPECT_EQ(a->Tag().GetText(kFrameTIT2) + u"," + b->Tag().GetText(kFrameTIT2), u"Same,Same");
    EXPECT_EQ(a->Tag().GetText(kFrameTPE1) + u"," + b->Tag().GetText(kFrameTPE1), u"A,B");
    EXPECT_EQ(a->Tag().V1().GetString(Id3v1Record::kComment), u"note");
    EXPECT_EQ(a->Tag().V1().GetString(Id3v1Record::kArtist) + u"," + b->Tag().V1().GetString(Id3v1Record::kArtist),
              u"A,B");

    // A track above 255 is refused with its box; 255 is taken.
    Select({a_});
    MultiValueEdit& track = V1Field(ui::Id3v1Pane::kTrack);
    QTest::keyClicks(&track, "2a56");
    EXPECT_EQ(track.text(), QStringLiteral("256"));
    QTest::keyClick(&track, Qt::Key_Return);
    EXPECT_EQ(CountPrompts("error", kV1TrackRange), 1u);
    EXPECT_FALSE(RecordAt(a_)->NeedsSaving());
    QTest::keyClick(&track, Qt::Key_Backspace);
    QTest::keyClicks(&track, "5");
    QTest::keyClick(&track, Qt::Key_Return);
    EXPECT_EQ(RecordAt(a_)->Tag().V1().Track(), 255);
    // Remove ID3v1 while the ID3v1 page is hidden: it shows the emptied tag when shown.
    EXPECT_EQ(V1Field(ui::Id3v1Pane::kTitle).text(), QStringLiteral("One"));
    Editor().ShowPage(Page::General);
    QTest::mouseClick(&Editor().RemoveV1Button(), Qt::LeftButton);
    Editor().ShowPage(Page::Id3v1);
    EXPECT_EQ(V1Field(ui::Id3v1Pane::kTitle).Placeholder(), QStringLiteral("(empty)"));
}

TEST_F(FieldPages, InlineCompletionFromTheSelectionAndBackspaceSuppressesIt) {
    MakeFiles({{"d/a.mp3", {}, 1.0, "", "Metallica"}, {"d/b.mp3", {}, 1.0, "", "ABBA"}});
    LoadTree(2, "d");
    Select({0, 1});
    MultiValueEdit& artist = Field(V2Field::LeadArtist);
    QTest::keyClicks(&artist, "Ab");
    EXPECT_EQ(artist.text(), QStringLiteral("AbBA"));
    EXPECT_EQ(artist.selectedText(), QStringLiteral("BA"));
    QTest::keyClick(&artist, Qt::Key_Backspace);  // takes the suggestion away, offers none
    EXPECT_EQ(artist.text(), QStringLiteral("Ab"));
    QTest::keyClick(&artist, Qt::Key_Backspace);
    EXPECT_EQ(artist.text(), QStringLiteral("A"));
    QTest::keyClicks(&artist, "bb");  // another key: completion again
    EXPECT_EQ(artist.text(), QStringLiteral("AbbA"));
    EXPECT_EQ(artist.selectedText(), QStringLiteral("A"));
    // Year takes digits only.
    QTest::keyClicks(&Field(V2Field::Year), "2x0-1");
    EXPECT_EQ(Field(V2Field::Year).text(), QStringLiteral("201"));
}

// Which genre is shown is the core's; the box must select only an exact name and must
// not write what it merely shows.
TEST_F(FieldPages, GenreBoxesShowTheGenreAndTouchingThemWritesNothing) {
    MakeFiles({{"d/none.mp3"}, {"d/classic.mp3", {}, 1.0, "", "", "", "", "", "Classic"},
               {"d/ref.mp3", {}, 1.0, "", "", "", "", "", "(17)"}});
    LoadTree(3, "d");
    QComboBox& genre = General().Genre();
    const struct {
        const char* file;
        const char* text;
        int item;
    } cases[] = {{"none.mp3", "", -1}, {"classic.mp3", "Classic", -1}, {"ref.mp3", "Rock", 17}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const int row = RowOfFile(QString::fromUtf8(c.file));
        Select({row});
        EXPECT_EQ(genre.currentText(), QString::fromUtf8(c.text));
        EXPECT_EQ(genre.currentIndex(), c.item);
        // Picking the genre shown, and saving, changes nothing: "(17)" stays as stored.
        emit genre.activated(genre.currentIndex());
        QTest::mouseClick(&General().SaveButton(), Qt::LeftButton);
        EXPECT_FALSE(RecordAt(row)->NeedsSaving());
    }
    EXPECT_EQ(RecordAt(RowOfFile(QStringLiteral("ref.mp3")))->Tag().GetText(kFrameTCON), u"(17)");
    // A genre picked from the list is written.
    const int none = RowOfFile(QStringLiteral("none.mp3"));
    Select({none});
    genre.setCurrentIndex(2);
    emit genre.activated(2);
    QTest::keyClick(&Field(V2Field::Title), Qt::Key_Enter);
    EXPECT_EQ(RecordAt(none)->Tag().GetGenre(), u"Country");

    // The ID3v1 list: "(unchanged)" first, then the names in index order; picking the
    // shown item saves nothing.
    Editor().ShowPage(Page::Id3v1);
    QComboBox& v1Genre = Editor().Id3v1().Genre();
    ASSERT_EQ(v1Genre.count(), static_cast<int>(kGenreCount) + 1);
    EXPECT_EQ(v1Genre.itemText(0) + v1Genre.itemText(1), QStringLiteral("(unchanged)Blues"));
    EXPECT_EQ(v1Genre.currentIndex(), 0);  // no ID3v1 tag: genre 255
    emit v1Genre.activated(0);
    EXPECT_FALSE(Editor().Id3v1().HasEdits());
}

TEST_F(FieldPages, TabWalksTheFieldsInTheirOrder) {
    const QWidget* order[] = {&Field(V2Field::LeadArtist), &Field(V2Field::Album), &Field(V2Field::Title),
                              &Field(V2Field::Year), &Field(V2Field::Track), &General().Genre(),
                              &General().SaveButton(), &General().CancelButton()};
    // What Tab does: the next widget of the focus chain that takes focus by Tab (the
    // editable genre box hands its focus on to its line edit).
    auto tabStop = [&](const QWidget* w) {
        return (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->parentWidget() != &General().Genre();
    };
    QWidget* widget = &Field(V2Field::LeadArtist);
    for (size_t i = 1; i < std::size(order); ++i) {
        do {
            widget = widget->nextInFocusChain();
        } while (!tabStop(widget));
        EXPECT_EQ(widget, order[i]) << i << " " << widget->metaObject()->className() << " "
                                    << widget->objectName().toStdString();
    }
}

// "Next File" selects the row after the highest selected; with "Save automatically" on
// it saves both field pages first, the hidden one too.
TEST_F(FieldPages, NextFileMovesOnAndSavesTheFieldPagesOnlyWhenSaveAutomaticallyIsOn) {
    LoadTen();
    const struct {
        std::initializer_list<int> selected;
        std::vector<int> after;
    } cases[] = {{{3, 7}, {8}}, {{0}, {1}}, {{9}, {}}, {{}, {}}, {{8, 2}, {9}}};
    for (const auto& c : cases) {
        Select(c.selected);
        NextFile();
        EXPECT_EQ(SelectedViewRows(), c.after);
        // The pages show the new selection at once.
        EXPECT_EQ(General().Shown().size(), c.after.size());
    }
    // "Track #" numbers rows the user selects (the page shows the number), not the one
    // Next File moves to.
    window_->TrackButton()->click();
    Select({4});
    EXPECT_EQ(Field(V2Field::Track).text(), QStringLiteral("1"));
    NextFile();
    EXPECT_EQ(RecordAt(5)->Tag().GetText(kFrameTRCK), u"");
    EXPECT_EQ(Field(V2Field::Track).Placeholder(), QStringLiteral("(empty)"));
    window_->TrackButton()->click();

    QCheckBox& autoSave = Editor().AutoSaveBox();
    EXPECT_TRUE(autoSave.isChecked());  // "NextAutoSave" defaults to on
    Select({0});
    TypeOver(Field(V2Field::Title), "Typed");
    Editor().ShowPage(Page::Id3v1);
    QTest::keyClicks(&V1Field(ui::Id3v1Pane::kYear), "1999");
    Editor().ShowPage(Page::General);
    NextFile();
    EXPECT_EQ(RecordAt(0)->Tag().GetText(kFrameTIT2), u"Typed");
    EXPECT_EQ(RecordAt(0)->Tag().V1().GetString(Id3v1Record::kYear), u"1999");
    EXPECT_EQ(Field(V2Field::Title).text(), QStringLiteral("T1"));

    autoSave.click();  // off, and stored
    EXPECT_FALSE(SettingsStore::Instance().ReadBool("NextAutoSave", true));
    TypeOver(Field(V2Field::Title), "Lost");
    NextFile();
    EXPECT_EQ(RecordAt(1)->Tag().GetText(kFrameTIT2), u"T1");
    EXPECT_EQ(Field(V2Field::Title).text(), QStringLiteral("T2"));  // the typed text is gone
    EXPECT_FALSE(Field(V2Field::Title).isModified());
}

// Clear, Refresh List and removing a directory destroy records: a page that kept them,
// shown or not, must not write into them later ("Next File" saves hidden pages too).
TEST_F(FieldPages, PagesLetGoOfRecordsTheListDrops) {
    LoadTen();
    for (const std::string how : {"clear", "remove", "refresh"}) {
        SCOPED_TRACE(how);
        Select({0});
        const RecordPtr first = RecordAt(0);
        TypeOver(Field(V2Field::Title), "Orphan");
        Editor().ShowPage(Page::Comments);
        if (how == "clear") {
            window_->ClearList();
        } else if (how == "remove") {
            auto* directories = window_->findChild<QComboBox*>(QStringLiteral("directories"));
            ASSERT_EQ(directories->count(), 2);
            directories->setCurrentIndex(1);
            window_->DeleteDirectory();
        } else {
            window_->RefreshList();
        }
        EXPECT_TRUE(General().Shown().empty() && Editor().Comments().Shown().empty());
        NextFile();
        EXPECT_EQ(first->Tag().GetText(kFrameTIT2), u"T0");
        EXPECT_FALSE(first->NeedsSaving());
        Editor().ShowPage(Page::General);
        EXPECT_FALSE(Field(V2Field::Title).isModified());
        if (how != "refresh") LoadTree(10, "d");
        WaitForRows(10);
    }
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST_F(FieldPages, NextFileWaitsWhileTheSaverWritesTheRecords) {
    LoadTen();
    HeldSave held(window_->Saver());
    Select({0});
    TypeOver(Field(V2Field::Title), "Changed");
    QTest::keyClick(&Field(V2Field::Title), Qt::Key_Return);
    window_->Save();
    ASSERT_TRUE(held.WaitEntered());
    // The saver holds row 0: its pages may not change it, nor may Next File move on.
    QTest::keyClicks(&Field(V2Field::Title), "Again");
    QTest::mouseClick(&General().SaveButton(), Qt::LeftButton);
    NextFile();
    EXPECT_EQ(CountPrompts("error", kEditWhileSaving), 2u);
    EXPECT_EQ(SelectedViewRows(), std::vector<int>{0});
    EXPECT_EQ(Field(V2Field::Title).text(), QStringLiteral("ChangedAgain"));  // kept for later
    held.Release();
    WaitForSaveEnd();
    EXPECT_EQ(RecordAt(0)->Tag().GetText(kFrameTIT2), u"Changed");
    NextFile();
    EXPECT_EQ(RecordAt(0)->Tag().GetText(kFrameTIT2), u"ChangedAgain");
    EXPECT_EQ(SelectedViewRows(), std::vector<int>{1});
}

}  // namespace
}  // namespace quorvane::test
