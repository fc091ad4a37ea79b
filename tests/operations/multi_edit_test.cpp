// The field panes over many files: the common value of a field, the genre display,
// Save of the "General ID3v2" and "ID3v1" panes, inline completion.
#include "operations/completion.h"
#include "operations/operations_test_support.h"
#include "operations/v1_pane.h"
#include "operations/v2_pane.h"

namespace quorvane::test {
namespace {

using Texts = std::vector<std::optional<std::u16string>>;  // one per file; none: the frame is absent
constexpr auto kEmpty = DisplayState::Empty, kMultiple = DisplayState::Multiple, kValue = DisplayState::Value;

std::vector<RecordPtr> RecordsWith(FrameId id, const Texts& texts) {
    std::vector<RecordPtr> records;
    for (const auto& text : texts) records.push_back(text ? MemoryRecord({{id, *text}}) : MemoryRecord());
    return records;
}

class Panes : public EditTest {};

TEST_F(Panes, V2CommonValueOfAFieldTheGenreAndSave) {
    const std::pair<Texts, FieldDisplay> cases[] = {
        {{}, {u"", kEmpty}},  // no selection
        {{u"x", u"x", u"x"}, {u"x", kValue}},
        {{std::nullopt, u""}, {u"", kEmpty}},  // lacking TALB and empty TALB agree
        {{u"", std::nullopt}, {u"", kEmpty}},
        {{u"A", u"B"}, {u"", kMultiple}},
        {{u"abba", u"ABBA"}, {u"", kMultiple}},  // case counts
        {{u"x", std::nullopt}, {u"", kMultiple}},
        {{std::nullopt, u"x"}, {u"", kMultiple}},
        {{u"x", u"x", u"y"}, {u"", kMultiple}},  // the last file counts too
    };
    for (const auto& [albums, shown] : cases) EXPECT_EQ(RefreshV2Pane(RecordsWith(kFrameTALB, albums)).album, shown);
    EXPECT_EQ(std::u16string(PlaceholderText(kMultiple)) + std::u16string(PlaceholderText(kEmpty, true)), u"(multiple)");

    const V2PaneFields one = RefreshV2Pane(std::vector{MemoryRecord(
        {{kFrameTPE1, u"P"}, {kFrameTALB, u"A"}, {kFrameTIT2, u"T"}, {kFrameTDRC, u"1999"}, {kFrameTRCK, u"5/12"}})});
    EXPECT_EQ(one.leadArtist.text + one.album.text + one.title.text + one.year.text + one.track.text, u"PAT19995/12");

    // The genre list selects only an exact name.
    const std::pair<Texts, GenreDisplay> genreCases[] = {
        {{u"(17)"}, {u"Rock", 17u, false}},
        {{u"rock"}, {u"rock", 17u, false}},  // names match ignoring case
        {{u""}, {u"", std::nullopt, false}},  // not "Blues", the first name
        {{u"Classic"}, {u"Classic", std::nullopt, false}},  // not "Classic Rock"
        {{u"(125)"}, {u"Dance Hall", 125u, false}},
        {{u"(126)"}, {u"", std::nullopt, false}},
        {{u"(17)", u"Rock"}, {u"Rock", 17u, false}},  // the resolved texts agree
        {{u"(17)", u"rock"}, {u"", std::nullopt, true}},
    };
    for (const auto& [genres, shown] : genreCases) EXPECT_EQ(RefreshV2Pane(RecordsWith(kFrameTCON, genres)).genre, shown);

    // Save writes only the modified fields.
    const std::vector<RecordPtr> records = {
        MemoryRecord({{kFrameTPE1, u"A"}, {kFrameTRCK, u"3"}, {kFrameTCON, u"(17)"}}, u"one"),
        MemoryRecord({{kFrameTPE1, u"B"}, {kFrameTALB, u"Old"}}, u"two")};
    V2Edits edits;
    edits.title = u"New";
    edits.album = u"";      // cleared by the user: written empty
    edits.track = u"007";   // leading zeros go where TRCK exists
    edits.genre = u"rock";  // "(17)" already names it
    ASSERT_TRUE(SaveV2Pane(Context(), records, edits));
    const std::u16string expected[2][5] = {{u"A", u"New", u"", u"7", u"(17)"}, {u"B", u"New", u"", u"007", u"rock"}};
    for (size_t i = 0; i < 2; ++i) {
        const FrameId ids[] = {kFrameTPE1, kFrameTIT2, kFrameTALB, kFrameTRCK, kFrameTCON};
        for (size_t f = 0; f < 5; ++f) EXPECT_EQ(records[i]->Tag().GetText(ids[f]), expected[i][f]) << i << f;
        EXPECT_FALSE(records[i]->Tag().FindFrame(kFrameTDRC));
    }
    EXPECT_EQ(listener_.events, (std::vector<std::string>{"file:one", "file:two"}));
}

// The values of a field taken once per selection, each distinct one once in selection
// order; the typed case kept, the rest from the first value that fits.
TEST(Completion, TypedCaseKeptRestFromTheFirstFittingValue) {
    const std::vector<RecordPtr> records = {
        MemoryRecord(), MemoryRecord({{kFrameTPE1, u"Metallica"}}),
        MemoryRecord({{kFrameTPE1, u"ABBA"}, {kFrameTALB, u"Arrival"}}), MemoryRecord({{kFrameTPE1, u"Metallica"}}),
        MemoryRecord({{kFrameTPE1, u"Abba Gold"}}), MemoryRecord({{kFrameTPE1, u""}})};
    const std::vector<std::u16string> values = CompletionValues(records, kFrameTPE1);
    EXPECT_EQ(values, (std::vector<std::u16string>{u"Metallica", u"ABBA", u"Abba Gold"}));
    EXPECT_EQ(CompletionValues(records, kFrameTALB), std::vector<std::u16string>{u"Arrival"});  // the field's own frame
    EXPECT_TRUE(CompletionValues({}, kFrameTPE1).empty());
    const std::pair<const char16_t*, std::optional<Completion>> cases[] = {
        {u"Ab", Completion{u"AbBA", 2, 4}}, {u"ab", Completion{u"abBA", 2, 4}},
        {u"m", Completion{u"metallica", 1, 9}}, {u"ABBA G", Completion{u"ABBA Gold", 6, 9}},
        {u"abba", std::nullopt},  // the first value that fits adds nothing
        {u"", std::nullopt}, {u"Metallica!", std::nullopt}, {u"x", std::nullopt},
    };
    InlineCompleter completer;
    for (const auto& [typed, shown] : cases) {
        EXPECT_EQ(completer.Complete(values, typed, std::u16string_view(typed).size()), shown) << U8(typed);
    }
    completer.KeyPressed(true);  // Backspace: nothing until another key
    EXPECT_EQ(completer.Complete(values, u"Ab", 2), std::nullopt);
    completer.KeyPressed(false);
    EXPECT_EQ(completer.Complete(values, u"Ab", 2), (Completion{u"AbBA", 2, 4}));
    EXPECT_EQ(completer.Complete(values, u"Ab", 1), std::nullopt);  // caret inside
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

TEST_F(V1Pane, SaveWritesTheModifiedFieldsAndKeepsTheTagTrackUpTo255) {
    const std::vector<RecordPtr> records = {WithV1("a", u"A", 1, 17), WithV1("b", u"B", 2, 18)};
    const V1PaneFields shown = RefreshV1Pane(records);
    EXPECT_EQ(shown.title.text + shown.artist.text + shown.track.text, u"Same");  // the others "(multiple)"
    EXPECT_EQ(shown.track.state, kMultiple);
    EXPECT_EQ(shown.genre, std::nullopt);  // "(unchanged)"
    records[1]->RequestRemoveV1();
    EXPECT_EQ(SaveV1Pane(Context(), records, {}), V1SaveResult::NothingChanged);
    EXPECT_TRUE(records[1]->RemoveV1Requested());

    V1Edits edits;
    edits.comment = u"a comment of thirty characters";  // one too many for the field
    edits.genre = std::u16string(kUnchangedGenre);
    EXPECT_EQ(SaveV1Pane(Context(), records, edits), V1SaveResult::Saved);
    EXPECT_EQ(listener_.events, std::vector<std::string>{"selection"});
    EXPECT_FALSE(records[1]->RemoveV1Requested());
    const Id3v1Record& a = records[0]->Tag().V1();
    EXPECT_EQ(a.GetString(Id3v1Record::kComment), u"a comment of thirty character");
    EXPECT_EQ(a.GetString(Id3v1Record::kArtist) + U16(std::to_string(a.Track())), u"A1");
    EXPECT_EQ(a.Genre(), 17);  // "(unchanged)" writes no genre

    edits = {};
    edits.genre = u"jazz";
    edits.title = std::u16string(29, u'x') + u"\U0001F600";  // a pair across the 30th character
    EXPECT_EQ(SaveV1Pane(Context(), records, edits), V1SaveResult::Saved);
    EXPECT_EQ(records[1]->Tag().V1().Genre(), 8);
    EXPECT_EQ(records[1]->Tag().V1().GetString(Id3v1Record::kTitle), std::u16string(29, u'x'));

    // The track: 0 to 255 and nothing above; a bad one saves nothing.
    const std::pair<const char16_t*, std::optional<uint8_t>> cases[] = {
        {u"", 0}, {u"0", 0}, {u"007", 7}, {u"255", 255}, {u"256", std::nullopt}, {u"999", std::nullopt},
        {u"0256", std::nullopt}, {u"25a", std::nullopt}, {u" 5", std::nullopt},
    };
    for (const auto& [text, track] : cases) EXPECT_EQ(ParseV1Track(text), track) << U8(text);

    EXPECT_EQ(RefreshV1Pane(std::vector{WithV1("c", u"", 0, 126)}).track, (FieldDisplay{u"", kEmpty}));
    EXPECT_EQ(RefreshV1Pane(std::vector{WithV1("d", u"", 0, 126)}).genre, std::nullopt);  // beyond the list
    EXPECT_EQ(RefreshV1Pane(std::vector{records[0]}).genre, 8);  // Jazz, saved above
    edits = {};
    edits.title = u"Changed";
    for (const char16_t* text : {u"256", u"999", u"255"}) {
        edits.track = text;
        const bool fits = std::u16string_view(text) == u"255";
        EXPECT_EQ(SaveV1Pane(Context(), records, edits), fits ? V1SaveResult::Saved : V1SaveResult::BadTrack);
        EXPECT_EQ(records[0]->Tag().V1().Track(), fits ? 255 : 1);
        EXPECT_EQ(records[0]->Tag().V1().GetString(Id3v1Record::kTitle), fits ? u"Changed" : std::u16string(29, u'x'));
    }
    ASSERT_EQ(prompts_.Count(), 2u);
    EXPECT_EQ(prompts_.Prompts()[1].text, kV1TrackRange);
}

}  // namespace
}  // namespace quorvane::test
