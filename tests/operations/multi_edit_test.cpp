// The field panes over many files: the common value of a field, the genre display,
// Save of the "General ID3v2" and "ID3v1" panes, inline completion.
#include <optional>

#include "operations/completion.h"
#include "operations/v1_pane.h"
#include "operations/v2_pane.h"
#include "operations/edit_test_support.h"

namespace quorvane::test {
namespace {

using Texts = std::vector<std::optional<std::u16string>>;  // one per file; none: the frame is absent

std::vector<RecordPtr> RecordsWith(FrameId id, const Texts& texts) {
    std::vector<RecordPtr> records;
    for (const auto& text : texts) {
        records.push_back(text ? MemoryRecord({{id, *text}}, u"f" + U16(std::to_string(records.size()))) : MemoryRecord());
    }
    return records;
}

TEST(CommonField, EmptyMultipleAndValue) {
    const struct {
        Texts albums;
        FieldDisplay shown;
    } cases[] = {
        {{}, {u"", DisplayState::Empty}},  // no selection
        {{u"Abba Gold"}, {u"Abba Gold", DisplayState::Value}},
        {{u"x", u"x", u"x"}, {u"x", DisplayState::Value}},
        {{std::nullopt, u""}, {u"", DisplayState::Empty}},  // lacking TALB and empty TALB agree
        {{u"", std::nullopt}, {u"", DisplayState::Empty}},
        {{std::nullopt, std::nullopt}, {u"", DisplayState::Empty}},
        {{u"A", u"B"}, {u"", DisplayState::Multiple}},
        {{u"abba", u"ABBA"}, {u"", DisplayState::Multiple}},  // case counts
        {{u"x", std::nullopt}, {u"", DisplayState::Multiple}},
        {{std::nullopt, u"x"}, {u"", DisplayState::Multiple}},
        {{u"x", u"x", u"y"}, {u"", DisplayState::Multiple}},  // the last file decides too
        {{u"x ", u"x"}, {u"", DisplayState::Multiple}},
    };
    for (const auto& c : cases) {
        const auto records = RecordsWith(kFrameTALB, c.albums);
        EXPECT_EQ(RefreshV2Pane(records).album, c.shown) << records.size();
    }
    EXPECT_EQ(PlaceholderText(DisplayState::Empty), u"(empty)");
    EXPECT_EQ(PlaceholderText(DisplayState::Multiple), u"(multiple)");
    EXPECT_EQ(PlaceholderText(DisplayState::Value), u"");
    EXPECT_EQ(PlaceholderText(DisplayState::Multiple, true), u"");  // typing hides it
}

TEST(V2Pane, EachEditShowsItsOwnFrame) {
    const std::vector<RecordPtr> records = {MemoryRecord({{kFrameTPE1, u"Artist"}, {kFrameTALB, u"Album"},
                                                          {kFrameTIT2, u"Title"}, {kFrameTDRC, u"1999"},
                                                          {kFrameTRCK, u"5/12"}, {kFrameTCON, u"(8)"}})};
    const V2PaneFields shown = RefreshV2Pane(records);
    EXPECT_EQ(shown.leadArtist.text, u"Artist");
    EXPECT_EQ(shown.album.text, u"Album");
    EXPECT_EQ(shown.title.text, u"Title");
    EXPECT_EQ(shown.year.text, u"1999");
    EXPECT_EQ(shown.track.text, u"5/12");
    EXPECT_EQ(shown.genre, (GenreDisplay{u"Jazz", 8u, false}));
}

TEST(V2Pane, GenreSelectsOnlyAnExactName) {
    const struct {
        Texts genres;  // TCON texts
        GenreDisplay shown;
    } cases[] = {
        {{}, {u"", std::nullopt, false}},
        {{u"(17)"}, {u"Rock", 17u, false}},
        {{u"rock"}, {u"rock", 17u, false}},  // names match ignoring case
        {{u""}, {u"", std::nullopt, false}},  // not "Blues", the first name
        {{std::nullopt}, {u"", std::nullopt, false}},
        {{u"Classic"}, {u"Classic", std::nullopt, false}},  // not "Classic Rock"
        {{u"Rock & Roll"}, {u"Rock & Roll", 78u, false}},
        {{u"Heavy"}, {u"Heavy", std::nullopt, false}},  // free text for the edit part
        {{u"(125)"}, {u"Dance Hall", 125u, false}},
        {{u"(126)"}, {u"", std::nullopt, false}},
        {{u"(17)", u"Rock"}, {u"Rock", 17u, false}},  // the resolved texts agree
        {{u"(17)", u"rock"}, {u"", std::nullopt, true}},
        {{u"Rock", std::nullopt}, {u"", std::nullopt, true}},
    };
    for (const auto& c : cases) {
        const auto records = RecordsWith(kFrameTCON, c.genres);
        EXPECT_EQ(RefreshV2Pane(records).genre, c.shown) << U8(c.shown.text);
    }
    EXPECT_EQ(GenreListIndex(u"BLUES"), 0u);
    EXPECT_EQ(GenreListIndex(u"Blue"), std::nullopt);
}

class V2PaneSave : public EditTest {};

TEST_F(V2PaneSave, WritesOnlyTheModifiedFields) {
    const std::vector<RecordPtr> records = {
        MemoryRecord({{kFrameTPE1, u"A"}, {kFrameTIT2, u"t1"}, {kFrameTRCK, u"3"}, {kFrameTCON, u"(17)"}}, u"one"),
        MemoryRecord({{kFrameTPE1, u"B"}, {kFrameTALB, u"Old"}}, u"two")};
    ASSERT_EQ(RefreshV2Pane(records).leadArtist.state, DisplayState::Multiple);
    V2Edits edits;
    edits.title = u"New";
    edits.album = u"";      // cleared by the user: written empty
    edits.track = u"007";   // leading zeros go where TRCK exists
    edits.genre = u"rock";  // "(17)" already names it
    ASSERT_TRUE(SaveV2Pane(Context(), records, edits));
    const struct {
        size_t file;
        FrameId id;
        const char16_t* text;
    } expected[] = {
        {0, kFrameTPE1, u"A"},   {1, kFrameTPE1, u"B"},   {0, kFrameTIT2, u"New"}, {1, kFrameTIT2, u"New"},
        {0, kFrameTALB, u""},    {1, kFrameTALB, u""},    {0, kFrameTRCK, u"7"},   {1, kFrameTRCK, u"007"},
        {0, kFrameTCON, u"(17)"}, {1, kFrameTCON, u"rock"},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(records[e.file]->Tag().GetText(e.id), e.text) << e.file << " " << FrameIdName(e.id);
    }
    EXPECT_FALSE(records[1]->Tag().FindFrame(kFrameTDRC));  // untouched year not created
    EXPECT_EQ(listener_.events, (std::vector<std::string>{"file:one", "file:two"}));
}

TEST_F(V2PaneSave, GenreOnlyWhenChangedAndRefusedWhileSaving) {
    const std::vector<RecordPtr> records = {MemoryRecord({{kFrameTCON, u"Pop"}}), MemoryRecord()};
    V2Edits edits;
    edits.year = u"2001";
    ASSERT_TRUE(SaveV2Pane(Context(), records, edits));
    EXPECT_EQ(records[0]->Tag().GetText(kFrameTCON), u"Pop");
    EXPECT_FALSE(records[1]->Tag().FindFrame(kFrameTCON));

    listener_.events.clear();
    records[1]->Tag().ClearChanged();
    records[0]->Tag().ClearChanged();
    edits.title = u"X";
    EXPECT_FALSE(SaveV2Pane(BusyContext(records[1]), records, edits));
    ExpectRefused();
    EXPECT_FALSE(records[0]->Tag().IsChanged());  // the file before the busy one too
}

TEST(Completion, TypedCaseKeptRestFromTheStoredValue) {
    const std::vector<RecordPtr> records = {MemoryRecord(), MemoryRecord({{kFrameTPE1, u"Metallica"}}),
                                            MemoryRecord({{kFrameTPE1, u"ABBA"}, {kFrameTALB, u"Arrival"}}),
                                            MemoryRecord({{kFrameTPE1, u"Abba Gold"}})};
    const struct {
        const char16_t* typed;
        std::optional<Completion> shown;
    } cases[] = {
        {u"Ab", Completion{u"AbBA", 2, 4}},
        {u"ab", Completion{u"abBA", 2, 4}},
        {u"A", Completion{u"ABBA", 1, 4}},
        {u"m", Completion{u"metallica", 1, 9}},
        {u"ABBA G", Completion{u"ABBA Gold", 6, 9}},
        {u"abba", std::nullopt},  // the first value that fits adds nothing
        {u"Abc", std::nullopt},
        {u"", std::nullopt},
        {u"Metallica!", std::nullopt},  // longer than every value
    };
    InlineCompleter completer;
    for (const auto& c : cases) {
        const std::u16string typed = c.typed;
        EXPECT_EQ(completer.Complete(records, kFrameTPE1, typed, typed.size()), c.shown) << U8(typed);
    }
    EXPECT_EQ(CompletionSource(records, kFrameTALB, u"ar"), u"Arrival");  // the field's own frame
    EXPECT_EQ(CompletionSource(records, kFrameTIT2, u"ar"), std::nullopt);

    completer.KeyPressed(true);  // Backspace: nothing until another key
    EXPECT_EQ(completer.Complete(records, kFrameTPE1, u"Ab", 2), std::nullopt);
    completer.KeyPressed(false);
    EXPECT_EQ(completer.Complete(records, kFrameTPE1, u"Ab", 2), (Completion{u"AbBA", 2, 4}));
    EXPECT_EQ(completer.Complete(records, kFrameTPE1, u"Ab", 1), std::nullopt);  // caret inside
}

class V1Pane : public EditTest {
protected:
    RecordPtr WithV1(const char* name, const char16_t* artist, uint8_t track, uint8_t genre) {
        Id3v1Record v1;
        v1.SetString(Id3v1Record::kTitle, u"Same");
        v1.SetString(Id3v1Record::kArtist, artist);
        v1.SetTrack(track);
        v1.SetGenre(genre);
        return RecordWithV1(dir_ / name, v1, prompts_);
    }
};

TEST_F(V1Pane, RefreshShowsCommonValuesTrackAndGenre) {
    const V1PaneFields none = RefreshV1Pane({});
    EXPECT_EQ(none.title.state, DisplayState::Empty);
    EXPECT_EQ(none.genre, std::nullopt);

    const struct {
        uint8_t tracks[2];
        uint8_t genres[2];
        FieldDisplay track;
        std::optional<uint8_t> genre;
    } cases[] = {
        {{0, 0}, {17, 17}, {u"", DisplayState::Empty}, 17},  // track 0 shows "(empty)"
        {{7, 7}, {0, 0}, {u"7", DisplayState::Value}, 0},
        {{255, 255}, {125, 125}, {u"255", DisplayState::Value}, 125},
        {{7, 8}, {17, 18}, {u"", DisplayState::Multiple}, std::nullopt},
        {{0, 1}, {255, 255}, {u"", DisplayState::Multiple}, std::nullopt},  // no genre: "(unchanged)"
        {{1, 1}, {126, 126}, {u"1", DisplayState::Value}, std::nullopt},    // beyond the list
    };
    for (const auto& c : cases) {
        const std::vector<RecordPtr> records = {WithV1("a.mp3", u"A", c.tracks[0], c.genres[0]),
                                                WithV1("b.mp3", u"B", c.tracks[1], c.genres[1])};
        const V1PaneFields shown = RefreshV1Pane(records);
        EXPECT_EQ(shown.track, c.track) << int(c.tracks[0]) << "/" << int(c.tracks[1]);
        EXPECT_EQ(shown.genre, c.genre) << int(c.genres[0]) << "/" << int(c.genres[1]);
        EXPECT_EQ(shown.title, (FieldDisplay{u"Same", DisplayState::Value}));
        EXPECT_EQ(shown.artist.state, DisplayState::Multiple);
        EXPECT_EQ(shown.comment.state, DisplayState::Empty);
    }
}

TEST_F(V1Pane, SaveWritesTheModifiedFieldsAndKeepsTheTag) {
    const std::vector<RecordPtr> records = {WithV1("a.mp3", u"A", 1, 17), WithV1("b.mp3", u"B", 2, 18)};
    records[1]->RequestRemoveV1();
    ASSERT_TRUE(records[1]->RemoveV1Requested());

    EXPECT_EQ(SaveV1Pane(Context(), records, {}), V1SaveResult::NothingChanged);
    EXPECT_TRUE(records[1]->RemoveV1Requested());
    EXPECT_TRUE(listener_.events.empty());

    V1Edits edits;
    edits.comment = u"a comment of thirty characters";  // one too many for the field
    edits.genre = std::u16string(kUnchangedGenre);
    EXPECT_EQ(SaveV1Pane(Context(), records, edits), V1SaveResult::Saved);
    EXPECT_EQ(listener_.events, std::vector<std::string>{"selection"});
    EXPECT_FALSE(records[1]->RemoveV1Requested());
    const Id3v1Record& a = records[0]->Tag().V1();
    EXPECT_EQ(a.GetString(Id3v1Record::kComment), u"a comment of thirty character");
    EXPECT_EQ(a.GetString(Id3v1Record::kArtist), u"A");
    EXPECT_EQ(a.Track(), 1);
    EXPECT_EQ(a.Genre(), 17);  // "(unchanged)" writes no genre
    EXPECT_EQ(records[1]->Tag().V1().GetString(Id3v1Record::kArtist), u"");  // cleared by the removal request
    EXPECT_EQ(records[1]->Tag().V1().Genre(), Id3v1Record::kNoGenre);

    edits = {};
    edits.genre = u"jazz";
    edits.title = std::u16string(29, u'x') + u"\U0001F600";  // a pair across the 30th character
    EXPECT_EQ(SaveV1Pane(Context(), records, edits), V1SaveResult::Saved);
    for (const RecordPtr& record : records) {
        EXPECT_EQ(record->Tag().V1().Genre(), 8);
        EXPECT_EQ(record->Tag().V1().GetString(Id3v1Record::kTitle), std::u16string(29, u'x'));
    }
}

TEST_F(V1Pane, TrackFrom0To255AndNothingAbove) {
    const struct {
        const char16_t* text;
        std::optional<uint8_t> track;
    } cases[] = {
        {u"", 0}, {u"0", 0}, {u"7", 7}, {u"007", 7}, {u"254", 254}, {u"255", 255},
        {u"256", std::nullopt}, {u"300", std::nullopt}, {u"999", std::nullopt}, {u"1000", std::nullopt},
        {u"0256", std::nullopt}, {u"25a", std::nullopt}, {u"-1", std::nullopt}, {u" 5", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseV1Track(c.text), c.track) << U8(c.text);

    const std::vector<RecordPtr> records = {WithV1("a.mp3", u"A", 9, 17)};
    for (const char16_t* text : {u"256", u"999"}) {
        V1Edits edits;
        edits.title = u"Changed";
        edits.track = text;
        EXPECT_EQ(SaveV1Pane(Context(), records, edits), V1SaveResult::BadTrack) << U8(text);
        EXPECT_EQ(records[0]->Tag().V1().Track(), 9);
        EXPECT_EQ(records[0]->Tag().V1().GetString(Id3v1Record::kTitle), u"Same");  // nothing written
        EXPECT_FALSE(records[0]->Tag().V1().IsChanged());
    }
    ASSERT_EQ(prompts_.Count(), 2u);
    EXPECT_EQ(prompts_.Prompts()[1].text, kV1TrackRange);
    EXPECT_TRUE(listener_.events.empty());

    V1Edits edits;
    edits.track = u"255";
    EXPECT_EQ(SaveV1Pane(Context(), records, edits), V1SaveResult::Saved);
    EXPECT_EQ(records[0]->Tag().V1().Track(), 255);
    edits.track = u"";
    EXPECT_EQ(SaveV1Pane(Context(), records, edits), V1SaveResult::Saved);
    EXPECT_EQ(records[0]->Tag().V1().Track(), 0);
}

TEST_F(V1Pane, RefusedWhileSaving) {
    const std::vector<RecordPtr> records = {WithV1("a.mp3", u"A", 1, 17)};
    V1Edits edits;
    edits.artist = u"Z";
    EXPECT_EQ(SaveV1Pane(BusyContext(records[0]), records, edits), V1SaveResult::Refused);
    ExpectRefused();
    EXPECT_EQ(records[0]->Tag().V1().GetString(Id3v1Record::kArtist), u"A");
}

}  // namespace
}  // namespace quorvane::test
