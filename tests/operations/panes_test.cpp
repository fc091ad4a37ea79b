// The tag editor's panes over many files, the comments of a selection, and the
// comment-language table against what its generator makes from the installed data.
#include "operations/comment_edit.h"
#include "operations/completion.h"
#include "operations/languages.h"
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

// "language|description|text" per comment.
using Comments = std::vector<std::string>;

RecordPtr WithComments(const Comments& comments) {
    RecordPtr record = MemoryRecord({{kFrameTIT2, u"t"}});
    for (const std::string& c : comments) {
        const size_t bar = c.find('|', 4);
        record->Tag().AddComment(c.substr(0, 3), U16(c.substr(4, bar - 4)), U16(c.substr(bar + 1)));
    }
    record->Tag().ClearChanged();
    return record;
}

Comments CommentsOf(const RecordPtr& record) {
    Comments comments;
    for (const Id3Frame* f = record->Tag().FindFrame(kFrameCOMM); f; f = record->Tag().FindFrame(kFrameCOMM, f)) {
        comments.push_back(f->Ascii(FieldRole::Language)->Value() + "|" + U8(f->Text(FieldRole::Description)->Text()) +
                           "|" + U8(f->Text(FieldRole::Text)->Text()));
    }
    return comments;
}

class CommentsTab : public EditTest {};

TEST_F(CommentsTab, ListAddAsTheDialogOpensAndTheLanguageStored) {
    const std::vector<RecordPtr> records = {WithComments({"eng|note|hi", "eng||a", "XXX|x|odd", "eng|note|other"}),
                                            WithComments({"XXX|x|odd", "eng||b", "deu|note|hi", "eng|note|hi"})};
    const std::vector<ListedComment> list = SharedComments(records);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], (ListedComment{0, "eng", u"English", u"note", u"hi"}));
    EXPECT_EQ(list[1], (ListedComment{2, "XXX", u"", u"x", u"odd"}));  // a code not in the table has no name
    EXPECT_EQ(InitialCommentValues(records, &list[1]), (CommentDialogValues{u"x", u"English", u"odd"}));

    // "Add" opens with the first file's comment of empty description; OK sets it everywhere.
    EXPECT_EQ(InitialCommentValues(records, nullptr), (CommentDialogValues{u"", u"English", u"a"}));
    ASSERT_TRUE(SaveComment(Context(), records, {u"", "eng", u"c"}));
    EXPECT_EQ(CommentsOf(records[1]), (Comments{"XXX|x|odd", "eng||c", "deu|note|hi", "eng|note|hi"}));
    EXPECT_EQ(listener_.events, std::vector<std::string>{"selection"});
    EXPECT_EQ(InitialCommentValues({}, nullptr), (CommentDialogValues{u"", u"English", u""}));

    // A language that is no code keeps the comment's own.
    const struct {
        std::string chosen, existing, stored;  // chosen "": the empty first item; existing "": no comment
    } cases[] = {{"", "deu", "deu"}, {"", "XXX", "XXX"}, {"de", "deu", "deu"}, {"", "", "eng"},
                 {"de", "", "eng"},  {"fre", "deu", "fre"}, {"alb", "", "alb"}};
    for (const auto& c : cases) {
        const RecordPtr record = c.existing.empty() ? WithComments({}) : WithComments({c.existing + "|d|old"});
        ASSERT_TRUE(SaveComment(Context(), std::vector{record}, {u"d", c.chosen, u"new"}));
        EXPECT_EQ(CommentsOf(record), Comments{c.stored + "|d|new"}) << c.chosen << "/" << c.existing;
    }
}

TEST_F(CommentsTab, EditAndDeleteActOnThePickedCommentFoundByItsWholeDescription) {
    const std::string longText(300, 'd'), prefix(255, 'd');
    const std::vector<RecordPtr> longOnes = {WithComments({"eng|" + prefix + "|short", "eng|" + longText + "|a"}),
                                             WithComments({"eng|" + longText + "|a"})};
    ASSERT_EQ(SharedComments(longOnes).size(), 1u);
    ASSERT_TRUE(SaveComment(Context(), longOnes, {U16(longText), "eng", u"b"}, &SharedComments(longOnes)[0]));
    EXPECT_EQ(CommentsOf(longOnes[0]), (Comments{"eng|" + prefix + "|short", "eng|" + longText + "|b"}));
    ASSERT_TRUE(DeleteComment(Context(), longOnes, SharedComments(longOnes).at(0)));
    EXPECT_EQ(CommentsOf(longOnes[0]), Comments{"eng|" + prefix + "|short"});
    EXPECT_TRUE(CommentsOf(longOnes[1]).empty());

    // Two comments of one description: the picked one is edited and deleted.
    const std::vector<RecordPtr> records = {WithComments({"eng||a", "deu||b"}), WithComments({"deu||b", "eng||a"})};
    const std::vector<ListedComment> list = SharedComments(records);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(InitialCommentValues(records, &list[1]), (CommentDialogValues{u"", u"German", u"b"}));
    // The user picks the German row and makes it French.
    ASSERT_TRUE(SaveComment(Context(), records, {u"", "fre", u"z"}, &list[1]));
    EXPECT_EQ(CommentsOf(records[0]), (Comments{"eng||a", "fre||z"}));
    EXPECT_EQ(CommentsOf(records[1]), (Comments{"fre||z", "eng||a"}));
    ASSERT_TRUE(DeleteComment(Context(), records, SharedComments(records).at(1)));
    for (const RecordPtr& record : records) EXPECT_EQ(CommentsOf(record), Comments{"eng||a"});

    // A changed description adds a comment; without a pick the chosen language goes first.
    ASSERT_TRUE(SaveComment(Context(), records, {u"n", "eng", u"new"}, &SharedComments(records)[0]));
    records[1]->Tag().AddComment("deu", u"n", u"alt");
    ASSERT_TRUE(SaveComment(Context(), records, {u"n", "ger", u"neu"}));  // ger and deu: German
    EXPECT_EQ(CommentsOf(records[0]), (Comments{"eng||a", "ger|n|neu"}));
    EXPECT_EQ(CommentsOf(records[1]), (Comments{"eng||a", "eng|n|new", "ger|n|neu"}));

    // Two equal comments in the first file: the picked position tells them apart.
    const RecordPtr twice = WithComments({"eng|x|dup", "eng|y|between", "eng|x|dup"});
    ASSERT_TRUE(SaveComment(Context(), std::vector{twice}, {u"x", "eng", u"2nd"}, &SharedComments(std::vector{twice})[2]));
    EXPECT_EQ(CommentsOf(twice), (Comments{"eng|x|dup", "eng|y|between", "eng|x|2nd"}));
}

TEST_F(CommentsTab, DeleteAllAndDeleteByDescription) {
    const std::vector<RecordPtr> records = {WithComments({"eng||a", "deu||b"}), WithComments({"eng||c", "eng|x|d"}),
                                            WithComments({"eng|x|e"})};
    ASSERT_TRUE(DeleteCommentByDescription(Context(), records, u""));
    EXPECT_EQ(CommentsOf(records[0]).size(), 2u);  // which of the two was meant is unknown
    EXPECT_EQ(CommentsOf(records[1]), Comments{"eng|x|d"});
    EXPECT_EQ(prompts_.Count(), 1u);
    ASSERT_TRUE(DeleteCommentByDescription(Context(), records, u"", FindLanguageCodes("German")));
    EXPECT_EQ(CommentsOf(records[0]), Comments{"eng||a"});

    records[2]->Tag().AddFrame(Id3Frame::Make(kFrameCOMM, 0, FrameFamily::Raw));  // kept as read
    EXPECT_TRUE(SharedComments(records).empty());
    ASSERT_TRUE(DeleteAllComments(Context(), records));
    for (const RecordPtr& record : records) EXPECT_FALSE(record->Tag().FindFrame(kFrameCOMM));

    // Codes and names as users type them.
    using Codes = std::vector<std::string>;
    EXPECT_EQ(FindLanguageCodes("German"), (Codes{"ger", "deu"}));
    EXPECT_EQ(FindLanguageCode("German"), "ger");
    for (const char* word : {"ENG", "english", "eng"}) EXPECT_EQ(FindLanguageCodes(word), Codes{"eng"}) << word;
    EXPECT_EQ(FindLanguageCodes("Ido"), Codes{"ido"});  // a name that looks like a code
    for (const char* word : {"xx", "XXX", "", "Englis"}) EXPECT_EQ(FindLanguageCode(word), std::nullopt) << word;
}

using Names = std::vector<std::u16string_view>;

TEST(LanguageTable, ShapeLookupsAndTheSortedList) {
    const auto table = LanguageTable();
    // The empty entry, 486 codes, 77 alternative names, and 23 entries for the
    // bibliographic codes of 20 languages (Dutch and Romanian have several names).
    ASSERT_EQ(table.size(), 587u);
    EXPECT_TRUE(table[0].code.empty() && table[0].name.empty());
    EXPECT_EQ(table[1].name, u"Abkhazian");
    EXPECT_EQ(table.back().name, u"Zuni");
    for (size_t i = 1; i < table.size(); ++i) EXPECT_TRUE(IsLanguageCode(table[i].code)) << table[i].code;

    // Name to code: the first entry, so the bibliographic code, even where the
    // terminology code sorts first (cze before ces); names match exactly.
    const std::pair<std::u16string_view, std::string_view> byName[] = {
        {u"English", "eng"}, {u"Albanian", "alb"}, {u"Czech", "cze"}, {u"Adygei", "ady"}, {u"Adyghe", "ady"},
        {u"Flemish", "dut"}, {u"Bokm\u00e5l, Norwegian", "nob"}, {u"", ""}, {u"english", ""}, {u"Albanian ", ""},
    };
    for (const auto& [name, code] : byName) EXPECT_EQ(LanguageCodeForName(name), code) << U8(name);

    const std::pair<std::string_view, std::u16string_view> byCode[] = {
        {"alb", u"Albanian"}, {"sqi", u"Albanian"}, {"ces", u"Czech"}, {"ady", u"Adygei"},
        {"", u""}, {"ENG", u""}, {"XXX", u""},
    };
    for (const auto& [code, name] : byCode) EXPECT_EQ(LanguageNameForCode(code), name) << code;
    EXPECT_EQ(LanguageNamesForCode("nld"), (Names{u"Dutch", u"Flemish"}));
    EXPECT_EQ(LanguageNamesForCode("ron"), (Names{u"Moldavian", u"Moldovan", u"Romanian"}));
    EXPECT_TRUE(LanguageNamesForCode("qaa-qtz").empty());

    // The dialog's name for a comment's code; the form of a code.
    for (std::string_view code : {"", "XXX", "de", "germ", "GER"}) EXPECT_EQ(InitialLanguageName(code), u"English") << code;
    EXPECT_EQ(InitialLanguageName("deu"), u"German");
    for (std::string_view code : {"eng", "ENG", "Xyz"}) EXPECT_TRUE(IsLanguageCode(code)) << code;
    for (std::string_view code : {"", "en", "engl", "en ", "e1g", "\xc3\xa9n", "@ng", "[ng", "`ng", "{ng"})
        EXPECT_FALSE(IsLanguageCode(code)) << code;

    // The list is sorted ignoring case and accents.
    const Names names = LanguageListNames();
    ASSERT_EQ(names.size(), table.size());
    const auto key = [](std::u16string_view name) {
        std::u16string k;
        for (char16_t c : name) k.push_back(c == 0xE5 ? u'a' : c == 0xE7 ? u'c' : c == 0xFC ? u'u' : ToLowerChar(c));
        return k;
    };
    for (size_t i = 1; i < names.size(); ++i) {
        EXPECT_LE(key(names[i - 1]), key(names[i])) << U8(names[i - 1]) << " / " << U8(names[i]);
        for (char16_t c : names[i]) EXPECT_TRUE(c < 0x80 || c == 0xE5 || c == 0xE7 || c == 0xFC) << U8(names[i]);
    }
    const auto at = [&](std::u16string_view n) { return std::find(names.begin(), names.end(), n) - names.begin(); };
    EXPECT_EQ(names[at(u"Albanian") + 1], u"Albanian");  // one item per code
    EXPECT_EQ(at(u"Bokm\u00e5l, Norwegian") + 1, at(u"Bosnian"));
    EXPECT_EQ(at(u"tlhIngan-Hol") + 1, at(u"Tlingit"));
}

TEST(LanguageTable, CommittedTableIsTheGeneratorsOutput) {
    const TempDir dir;
    const std::filesystem::path source = std::filesystem::path(QUORVANE_SOURCE_DIR) / "src/operations";
    const auto result =
        RunCommand({PythonPath(), (source / "make_languages.py").string(), "--output", (dir / "table.inc").string()});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<uint8_t> committed = ReadFileBytes(source / "language_table.inc");
    ASSERT_FALSE(committed.empty());
    EXPECT_TRUE(ReadFileBytes(dir / "table.inc") == committed) << "language_table.inc is out of date: run make_languages.py";
}

}  // namespace
}  // namespace quorvane::test
