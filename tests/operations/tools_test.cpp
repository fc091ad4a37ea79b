// The tools on the selected files: clean-up, the refusal while a save covers a file,
// tags from file names, names from tags, and their histories in a real settings file.
#include <functional>

#include "operations/comment_edit.h"
#include "operations/copy_from_v1.h"
#include "operations/history.h"
#include "operations/operations_test_support.h"
#include "operations/pattern_generation.h"
#include "operations/regex_generation.h"
#include "operations/rename_from_tags.h"
#include "operations/target_files.h"
#include "operations/text_cleanup.h"
#include "operations/text_fields.h"
#include "operations/track_numbering.h"
#include "operations/v1_pane.h"
#include "operations/v2_pane.h"
#include "regex/regexp.h"

namespace quorvane::test {
namespace {

struct Case {
    const char* in;  // UTF-8
    const char* out;
};

TEST(TextRules, CapitalizeRaisesTheFirstLetterOfEachWordOnlyUnderscoresBecomeBlanks) {
    const Case cases[] = {
        {"the rolling stones", "The Rolling Stones"}, {"hip-hop_mix", "Hip-Hop_Mix"},
        {"mcDONALD", "McDONALD"},                    // nothing is lowered
        {"(live) version", "(live) Version"},        // a bracket neither starts a word nor is raised
        {"rock'n'roll o'neil", "Rock'n'roll O'neil"},  // apostrophes do not start words
        {"2pac the 4th", "2pac The 4th"},             // nor do digits
        {"a  b__c--d", "A  B__C--D"}, {" leading blank", " Leading Blank"}, {"_x", "_X"}, {"", ""},
        {"tab\tnew\nline", "Tab\tNew\nLine"},
        {"x\xc2\xa0y", "X\xc2\xa0Y"},                 // no-break space
        {"x\xe2\x80\x90y", "X\xe2\x80\x90Y"},         // U+2010 hyphen
        {"x\xe2\x80\x93y", "X\xe2\x80\x93y"},         // an en dash is not a hyphen
        // Letters beyond ASCII.
        {"\xc3\xa9lan vital", "\xc3\x89lan Vital"},   // élan vital
        {"\xc3\xbf \xc3\xa0", "\xc5\xb8 \xc3\x80"},   // ÿ à: U+00FF raises to U+0178
        {"\xce\xb1\xce\xbb\xcf\x86\xce\xb1 \xce\xb2\xce\xae\xcf\x84\xce\xb1", "\xce\x91\xce\xbb\xcf\x86\xce\xb1 \xce\x92\xce\xae\xcf\x84\xce\xb1"},  // άλφα βήτα
        {"\xd0\xbf\xd0\xb5\xd1\x81\xd0\xbd\xd1\x8f \xd1\x8e\xd0\xb3\xd0\xb0", "\xd0\x9f\xd0\xb5\xd1\x81\xd0\xbd\xd1\x8f \xd0\xae\xd0\xb3\xd0\xb0"},  // песня юга
        {"\xc3\x9f \xc3\x9f" "e", "\xc3\x9f \xc3\x9f" "e"},  // ß has no single upper-case letter
        {"\xc7\x86ungla", "\xc7\x85ungla"},           // ǆ takes the title-case ǅ, not Ǆ
        {"\xc7\x84UNGLA \xc7\x85ungla", "\xc7\x84UNGLA \xc7\x85ungla"},
        {"\xe1\x83\xa1\xe1\x83\x98\xe1\x83\x9b\xe1\x83\xa6\xe1\x83\x94\xe1\x83\xa0\xe1\x83\x90",
         "\xe1\x83\xa1\xe1\x83\x98\xe1\x83\x9b\xe1\x83\xa6\xe1\x83\x94\xe1\x83\xa0\xe1\x83\x90"},  // Georgian stays
        {"\xef\xbd\x81 \xef\xbd\x82", "\xef\xbc\xa1 \xef\xbc\xa2"},  // fullwidth a b
    };
    for (const Case& c : cases) EXPECT_EQ(U8(Capitalize(U16(c.in))), c.out) << c.in;

    // U+1D4B6 and U+1D4B7 (mathematical script a and b, letters without case) and an emoji
    // after word starts, then lone surrogates: every code unit comes back unchanged.
    const std::u16string pairs = u"\U0001D4B6bc \U0001D4B7x_\U0001F600y";
    EXPECT_EQ(Capitalize(pairs), u"\U0001D4B6bc \U0001D4B7x_\U0001F600y");
    const std::u16string lone = {u'a', 0xD835, u' ', u'b', 0xDC00, u'-', u'c'};
    EXPECT_EQ(Capitalize(lone), (std::u16string{u'A', 0xD835, u' ', u'B', 0xDC00, u'-', u'C'}));

    // Convert _ to Space: each underscore becomes one blank.
    const Case underscores[] = {
        {"Some_Title__X", "Some Title  X"}, {"_", " "}, {"no change", "no change"}, {"", ""},
        {"\xef\xbc\xbf", "\xef\xbc\xbf"},  // a fullwidth low line is not an underscore
    };
    for (const Case& c : underscores) EXPECT_EQ(U8(ConvertUnderscores(U16(c.in))), c.out) << c.in;
}

class Cleanup : public EditTest {};

TEST_F(Cleanup, TextToolsRewriteArtistAlbumAndTitleWhenTheyChange) {
    const RecordPtr done = MemoryRecord({{kFrameTIT2, u"Already Done"}}, u"done");
    const RecordPtr bare = MemoryRecord({}, u"bare");
    const RecordPtr some = MemoryRecord({{kFrameTALB, u"the rolling stones"}, {kFrameTIT2, u"(live) version"},
                                         {kFrameTCON, u"rock_x"}, {kFrameTDRC, u"a_b"}}, u"some");
    some->Tag().AddFrame(MakeTextFrame(kFrameTPE1, u""));
    TextField* artists = some->Tag().FindFrame(kFrameTPE1)->Text();
    artists->Assign(u"hip-hop_mix", {u"guest_star"});  // two values: both are converted
    some->Tag().ClearChanged();
    const std::vector<RecordPtr> records = {done, bare, some};

    ASSERT_TRUE(CapitalizeFields(Context(), records));
    EXPECT_EQ(some->Tag().GetText(kFrameTALB) + u"|" + some->Tag().GetText(kFrameTIT2), u"The Rolling Stones|(live) Version");
    EXPECT_EQ(artists->Text() + u"|" + artists->MoreValues().at(0), u"Hip-Hop_Mix|Guest_Star");
    EXPECT_FALSE(done->Tag().IsChanged());
    EXPECT_TRUE(bare->Tag().Frames().empty());  // absent frames stay absent
    EXPECT_EQ(listener_.events, (std::vector<std::string>{"file:done", "file:bare", "file:some"}));

    ASSERT_TRUE(ConvertUnderscoreFields(Context(), records));
    EXPECT_EQ(artists->Text() + u"|" + artists->MoreValues().at(0), u"Hip-Hop Mix|Guest Star");
    EXPECT_EQ(some->Tag().GetText(kFrameTCON) + some->Tag().GetText(kFrameTDRC), u"rock_xa_b");  // other frames stay
    EXPECT_FALSE(done->Tag().IsChanged());
}

// Which files take part; what is copied (genres and tracks at their limits) is the tag's.
TEST_F(Cleanup, CopyFromV1SkipsFilesWithoutAnId3v1Tag) {
    Id3v1Record v1;
    v1.SetString(Id3v1Record::kTitle, u"  Title\t");
    v1.SetGenre(17);
    const RecordPtr withV1 = RecordWithV1(dir_ / "v1", v1, prompts_);
    withV1->Tag().SetText(kFrameTRCK, u"3");  // no ID3v1 track (0): kept
    const RecordPtr without = MemoryRecord({{kFrameTIT2, u"Keep"}}, u"without");
    const RecordPtr removed = RecordWithV1(dir_ / "removed", v1, prompts_);
    removed->RequestRemoveV1();  // its tag goes with the next save
    const RecordPtr typed = MemoryRecord({}, u"typed");
    typed->Tag().V1().SetString(Id3v1Record::kTitle, u"Typed");  // the ID3v1 pane saved into it

    const auto result = CopyFieldsFromV1(Context(), std::vector{without, withV1, removed, typed});
    EXPECT_EQ(result.withoutV1, (std::vector{without, removed}));
    EXPECT_TRUE(!without->Tag().IsChanged() && removed->Tag().Frames().empty());
    EXPECT_EQ(typed->Tag().GetText(kFrameTIT2), u"Typed");
    const Id3Tag& tag = withV1->Tag();
    EXPECT_EQ(tag.GetText(kFrameTIT2) + u"|" + tag.GetText(kFrameTCON) + u"|" + tag.GetText(kFrameTRCK), u"Title|(17)|3");
    EXPECT_EQ(listener_.events, (std::vector<std::string>{"file:v1", "file:typed"}));
}

TEST_F(Cleanup, TrackNumbersFollowTheClicksWhileTheToggleIsDown) {
    const std::vector<RecordPtr> records = {MemoryRecord({{kFrameTRCK, u"05"}}, u"x"), MemoryRecord({}, u"y")};
    TrackCounter counter;
    EXPECT_EQ(counter.Caption(), u"Track #");
    EXPECT_FALSE(NumberTrack(Context(), records[0], counter));  // toggle up: no number
    counter.Press();
    EXPECT_EQ(counter.Caption(), u"Track 1");
    for (const RecordPtr& record : records) EXPECT_TRUE(NumberTrack(Context(), record, counter));
    EXPECT_EQ(records[0]->Tag().GetText(kFrameTRCK) + records[1]->Tag().GetText(kFrameTRCK), u"12");
    EXPECT_EQ(listener_.events, (std::vector<std::string>{"file:x", "file:y"}));
    EXPECT_FALSE(NumberTrack({BusyGate(records[1]), prompts_, listener_}, records[1], counter));
    EXPECT_EQ(counter.Caption(), u"Track 3");  // a refused click takes no number
    counter.Release();
    EXPECT_EQ(counter.Caption(), u"Track #");
    EXPECT_FALSE(counter.TakeNumber());
    counter.Press();  // each press starts again at 1
    EXPECT_EQ(counter.TakeNumber(), u"1");
}

TEST(EditGate, EveryOperationIsRefusedWhileASaveCoversAFile) {
    using Operation = std::function<bool(const EditContext&, std::span<const RecordPtr>)>;
    const ListedComment comment{0, "eng", u"English", u"", u"c"};
    const std::pair<const char*, Operation> operations[] = {
        {"v2", [](auto& c, auto r) { V2Edits e; e.title = u"x"; return SaveV2Pane(c, r, e); }},
        {"v1", [](auto& c, auto r) { V1Edits e; e.title = u"x"; return SaveV1Pane(c, r, e) != V1SaveResult::Refused; }},
        {"capitalize", CapitalizeFields},
        {"underscores", ConvertUnderscoreFields},
        {"copy", [](auto& c, auto r) { return !CopyFieldsFromV1(c, r).refused; }},
        {"comment", [](auto& c, auto r) { return SaveComment(c, r, {u"", "eng", u"x"}); }},
        {"edit", [&](auto& c, auto r) { return SaveComment(c, r, {u"", "eng", u"x"}, &comment); }},
        {"delete", [&](auto& c, auto r) { return DeleteComment(c, r, comment); }},
        {"delete all", DeleteAllComments},
        {"delete by description", [](auto& c, auto r) { return DeleteCommentByDescription(c, r, u""); }},
        {"generate", [](auto& c, auto r) { return !!PreparePatternGeneration(u"<title>", r, c.gate, c.prompts, nullptr); }},
        {"regex", [](auto& c, auto r) { return !!PrepareRegexGeneration(u"(?P<title>.+)", r, c.gate, c.prompts, nullptr); }},
    };
    for (const auto& [name, operation] : operations) {
        RecordingPrompts prompts;
        RecordingListener listener;
        const std::vector<RecordPtr> records = {MemoryRecord({{kFrameTIT2, u"a_b"}}), MemoryRecord()};
        for (const RecordPtr& record : records) {
            record->Tag().AddComment("eng", u"", u"c");
            record->Tag().V1().SetString(Id3v1Record::kTitle, u"v1");
            record->Tag().ClearChanged();
            record->Tag().V1().SetChanged(false);
        }
        EXPECT_FALSE(operation(EditContext{BusyGate(records[1]), prompts, listener}, records)) << name;
        ASSERT_EQ(prompts.Count(), 1u) << name;
        EXPECT_EQ(prompts.Prompts()[0].text, kEditWhileSaving);
        EXPECT_TRUE(listener.events.empty()) << name;
        EXPECT_FALSE(records[0]->Tag().IsChanged()) << name;
    }
}

struct CaptureCase {
    const char* expression;
    const char* name;
    const char* captures;  // "TRCK=05 TPE1=x"; "TIT2!" for a variable that got nothing
};

// Appends "TRCK=05", or "TRCK!" when the variable got nothing, to the captures so far.
void Describe(std::string& captures, FrameId frame, const std::u16string* text) {
    captures += (captures.empty() ? "" : " ") + std::string(kFrameIdNames[frame]) + (text ? "=" + U8(*text) : "!");
}

TEST(Generation, PatternsCaptureTheShortestTextAndExpressionsTheGroupsThatTookPart) {
    const CaptureCase cases[] = {
        {"<track>_<artist>_<title>", "05_Brennick_Quorvane.mp3", "TRCK=05 TPE1=Brennick TIT2=Quorvane"},
        {"<artist> - <title>", "X - Y - Z.mp3", "TPE1=X TIT2=Y - Z"},
        {"<artist> - <title>", " - B.mp3", "TPE1= TIT2=B"},
        {"<artist><title>", "Song.mp3", "TPE1= TIT2=Song"},
        {"<title>", "x.MP3", "TIT2=x"},
        {"<title>", ".mp3", "TIT2=.mp3"},
        {"<Title>.mp3", "a.mp3.mp3", "TIT2=a"},
        {"<title>.MP3", "Song.mp3", "TIT2!"},
        {"<year> (<album>)_", "1999 (A)_B.mp3", "TDRC=1999 TALB=A"},
        {"<track>-<artist>", "Song.mp3", "TRCK! TPE1!"},
        {"x<genre>", "Song.mp3", "TCON!"},
        {"<track>_<artist>_<title>", "05_Brennick.mp3", "TRCK=05 TPE1! TIT2!"},
        {"<artist>_<title><album>", "x_", "TPE1=x TIT2! TALB!"},  // no look at the very end
        {"<track><x>_<title><x>", "1_T.mp3", "TRCK=1 TIT2=T"},    // skipped names join the literals
        {"<artist>_<title", "A_B.mp3", "TPE1=A"},
        {"", "a.mp3", ""},
    };
    for (const CaptureCase& c : cases) {
        test::RecordingPrompts prompts;
        std::string described;
        for (const auto& capture : GenerationPattern::Compile(U16(c.expression), prompts).Match(U16(c.name)))
            Describe(described, capture.frame, capture.text ? &*capture.text : nullptr);
        EXPECT_EQ(described, c.captures) << c.expression << " on " << c.name;
    }

    // The preview, and a name that is no variable.
    test::RecordingPrompts prompts;
    EXPECT_EQ(PatternPreview(u"<genre> <year>_<track>_<artist>_<title>", u"(17) 1999_05_B_Q.mp3", prompts),
              (PatternPreviewFields{u"B", u"", u"Q", u"05", u"1999", u"(17)"}));
    EXPECT_EQ(PatternPreview(u"<x>_<album>_< title>", u"_A_B.mp3", prompts), (PatternPreviewFields{u"", u"A"}));
    ASSERT_EQ(prompts.Count(), 2u);
    EXPECT_EQ(prompts.Prompts()[1].caption + prompts.Prompts()[1].text, ProgramTitle() + u"Unrecognized field:  title");

    // Regular expressions fill only the groups that took part and drop the extension at the end.
    const CaptureCase expressions[] = {
        {"(?P<artist>.+) - (?P<title>.+)\\.mp3", "A - B.mp3", "TPE1=A TIT2=B"},
        {"(?P<track>.+)_(?P<artist>.+)_(?P<title>.+)", "05_Brennick_Quorvane.mp3", "TPE1=Brennick TIT2=Quorvane TRCK=05"},
        {"(?P<year>[0-9]+) (?P<title>.+)\\.mp3", "1999 Song.mp3", "TIT2=Song TDRC=1999"},
        {"(?P<title>.+)", "Song.MP3", "TIT2=Song"},
        {"(?P<title>.*)", ".mp3", "TIT2=.mp3"},
        {"(?P<title>.+)\\.mp3", "a.mp3.mp3", "TIT2=a.mp3"},
        {"(?P<artist>x*)(?P<title>.+)", "S.mp3", "TPE1= TIT2=S"},
        {"(?P<title>[^(]+?)( \\((?P<year>\\d+)\\))?\\.mp3", "Song.mp3", "TIT2=Song"},
        {"(?P<title>[^(]+?)( \\((?P<year>\\d+)\\))?\\.mp3", "Song (1999).mp3", "TIT2=Song TDRC=1999"},
        {"(?P<title>a)\\.mp3|(?P<title>b)\\.mp3", "b.mp3", "TIT2=b"},
        {"(.+)(?P<Artist>.)", "a.mp3", ""},
        {"(?P<title>.*)x", "Song.mp3", "no match"},
    };
    for (const CaptureCase& c : expressions) {
        RegExp expression;
        expression.Compile(U16(c.expression));
        const auto changes = MatchRegExpGroups(expression, U16(c.name));
        std::string described = changes ? "" : "no match";
        for (const FieldChange& change : changes.value_or(std::vector<FieldChange>{}))
            Describe(described, change.frame, &change.newText);
        EXPECT_EQ(described, c.captures) << c.expression << " on " << c.name;
    }
}

TEST(Generation, PlansAppliesThroughSetTextAndReports) {
    const RecordPtr tracked = MemoryRecord({{kFrameTRCK, u"3"}}, u"05_B_Q.mp3");
    const RecordPtr unfit = MemoryRecord({{kFrameTPE1, u"Kept"}}, u"Unfit.mp3");
    const RecordPtr fresh = MemoryRecord({}, u"old.mp3");
    fresh->SetFileName(u"07_C_R.mp3");  // the pending new name is the subject
    const std::vector<RecordPtr> targets = {tracked, unfit, fresh};
    test::RecordingPrompts prompts;
    const auto plan = PreparePatternGeneration(u"<track>_<artist>_<title>", targets, NoSaveRunning(), prompts, nullptr);
    ASSERT_EQ(plan->size(), 2u);
    EXPECT_EQ((*plan)[0].changes[0].oldText, u"3");
    EXPECT_EQ((*plan)[0].changes[1].oldText, std::nullopt);
    EXPECT_FALSE(tracked->Tag().IsChanged());
    ApplyGeneration(*plan);
    EXPECT_EQ(tracked->Tag().GetText(kFrameTRCK), u"5");  // an existing frame drops the zero
    EXPECT_EQ(fresh->Tag().GetText(kFrameTRCK), u"07");
    EXPECT_EQ(fresh->Tag().GetText(kFrameTIT2), u"R");
    EXPECT_FALSE(unfit->NeedsSaving());

    const auto byRegex = PrepareRegexGeneration(u"(?P<artist>[^_]+)_(?P<title>.+)", targets, NoSaveRunning(), prompts, nullptr);
    ASSERT_EQ(byRegex->size(), 2u);
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Prompts()[0].caption, ProgramTitle());
    EXPECT_EQ(prompts.Prompts()[0].text,
              u"The regular expression \"(?P<artist>[^_]+)_(?P<title>.+)\" didn't match the filename \"Unfit.mp3\"");
    EXPECT_FALSE(PrepareRegexGeneration(u"(?P<artist>.+", targets, NoSaveRunning(), prompts, nullptr));
    EXPECT_EQ(prompts.Prompts().back().text, u"The regular expression you entered could not be parsed.");
}

TEST(Rename, ExpressionsExpandAndThePlanHoldsTheChangedNamesInOrder) {
    const struct {
        const char* expression;
        std::map<FrameId, std::u16string> frames;
        const char* preview;  // the expansion, before the characters are replaced
        const char* stored;   // the record's FileName() afterwards
    } cases[] = {
        {"<track>. <title>", {{kFrameTRCK, u"7"}, {kFrameTIT2, u"Intro"}}, "07. Intro.mp3", "07. Intro.mp3"},
        {"<track>. <title>", {{kFrameTRCK, u"07/12"}, {kFrameTIT2, u"Intro"}}, "07/12. Intro.mp3", "07 12. Intro.mp3"},
        {"<track>", {{kFrameTRCK, u"12"}}, "12.mp3", "12.mp3"},
        {"<track>", {{kFrameTRCK, u"0"}}, "00.mp3", "00.mp3"},
        {"<track>|", {}, "|.mp3", " .mp3"},
        {"<artist> - <title>", {{kFrameTIT2, u"Title"}}, " - Title.mp3", " - Title.mp3"},
        {"<title>", {{kFrameTIT2, u"AC\\/:?\"<>|*"}}, "AC\\/:?\"<>|*.mp3", "AC        *.mp3"},
        {"<Artist> - <TRACK>", {{kFrameTPE1, u"X"}, {kFrameTRCK, u"3"}}, "X - 03.mp3", "X - 03.mp3"},
        {"<genre>/<GENRE>", {{kFrameTCON, u"(17)"}}, "Rock/Rock.mp3", "Rock Rock.mp3"},
        {"<year> <album> <artist", {{kFrameTDRC, u"1999"}, {kFrameTALB, u" A "}}, "1999  A  .mp3", "1999  A  .mp3"},
        {"", {{kFrameTIT2, u"T"}}, ".mp3", ".mp3"},
        {"<title>.mp3", {{kFrameTIT2, u"\u20ac"}}, "\xe2\x82\xac.mp3.mp3", "\xe2\x82\xac.mp3.mp3"},
    };
    for (const auto& c : cases) {
        test::RecordingPrompts prompts;
        const std::vector<RecordPtr> targets = {MemoryRecord(c.frames, u"old.mp3")};
        EXPECT_EQ(U8(RenamePreview(U16(c.expression), targets, prompts)), c.preview);
        ApplyRenames(*PrepareRename(U16(c.expression), targets, NoSaveRunning(), prompts, nullptr));
        EXPECT_EQ(U8(targets[0]->FileName()), c.stored) << c.expression;
        EXPECT_EQ(targets[0]->DiskName(), u"old.mp3");
        EXPECT_EQ(prompts.Count(), 0u);
    }

    // An unknown variable stops with its name as typed.
    for (const char* name : {"x", "", " artist ", "<title", "tracks", "t\xc4\xb0tle"}) {
        test::RecordingPrompts prompts;
        const std::vector<RecordPtr> targets = {MemoryRecord({}, u"old.mp3")};
        const std::u16string expression = u"<artist> <" + U16(name) + u"> <x>";
        EXPECT_EQ(RenamePreview(expression, targets, prompts), u"");
        EXPECT_FALSE(PrepareRename(expression, targets, NoSaveRunning(), prompts, nullptr));
        ASSERT_EQ(prompts.Count(), 2u);
        EXPECT_EQ(prompts.Prompts()[1].caption, u"Error");
        EXPECT_EQ(prompts.Prompts()[1].text, u"Unrecognized field: " + U16(name));
    }

    // The plan holds the changed names of the targets in order.
    const RecordPtr a = MemoryRecord({{kFrameTIT2, u"One"}}, u"a.mp3");
    const RecordPtr b = MemoryRecord({{kFrameTIT2, u"Two"}}, u"Two.mp3");
    const RecordPtr c = MemoryRecord({{kFrameTIT2, u"Th/ree"}}, u"c.mp3");
    const std::vector<RecordPtr> listed = {a, b, c}, selected = {c, a};
    EXPECT_EQ(TargetFiles({}, listed), listed);
    test::RecordingPrompts prompts;
    const auto plan = PrepareRename(u"<title>", TargetFiles(selected, listed), NoSaveRunning(), prompts, nullptr);
    ASSERT_EQ(plan->size(), 2u);
    EXPECT_EQ((*plan)[0].record, c);
    EXPECT_EQ((*plan)[0].oldName + u">" + (*plan)[0].newName, u"c.mp3>Th ree.mp3");
    EXPECT_EQ((*plan)[1].record, a);
    EXPECT_FALSE(a->NeedsSaving());
    ApplyRenames(*plan);
    EXPECT_EQ(a->FileName(), u"One.mp3");
    EXPECT_TRUE(a->NeedsSaving());

    // A save covering any target refuses the whole command, before the history.
    test::HistoryStore history;
    EXPECT_FALSE(PrepareRename(u"<title>", listed, test::BusyGate(b), prompts, &history.store));
    EXPECT_EQ(prompts.Prompts().back().text, kEditWhileSaving);
    EXPECT_TRUE(history.Stored(kRenamesHistory).empty());
}

TEST(Histories, GenerationAndRenameHistoriesTheirDefaultsOrderAndOlderNotation) {
    test::HistoryStore history;
    EXPECT_TRUE(LoadHistory(history.store, kGenNormalsHistory).empty());
    EXPECT_FALSE(history.store.ReadRaw(kGenNormalsHistory));
    const std::u16string kDefault = u"(?P<artist>[A-Za-z]+) - (?P<track>[0-9]+) - (?P<title>[A-Za-z]+)";
    EXPECT_EQ(LoadRegExpHistory(history.store), std::vector<std::u16string>{kDefault});
    EXPECT_EQ(history.Stored(kRegExpsHistory), std::vector<std::u16string>{kDefault});

    const std::vector<RecordPtr> targets = {MemoryRecord({}, u"x.mp3")};
    test::RecordingPrompts prompts;
    for (const char16_t* text : {u"<title>", u"(", u"<x>", u"<title>"}) {
        PreparePatternGeneration(text, targets, NoSaveRunning(), prompts, &history.store);
        PrepareRegexGeneration(text, targets, NoSaveRunning(), prompts, &history.store);
    }
    EXPECT_EQ(history.Stored(kGenNormalsHistory), (std::vector<std::u16string>{u"(", u"<x>", u"<title>"}));
    EXPECT_EQ(LoadRegExpHistory(history.store), (std::vector<std::u16string>{u"<title>", u"<x>", kDefault}));

    // Typed text completes from the first fitting entry.
    const std::vector<std::u16string> entries = {u"<track>_<artist>_<title>", u"<title>", u"\u00c4rger"};
    const struct {
        std::u16string typed;
        size_t start, end;
        Completion expected;
    } cases[] = {
        {u"<T", 2, 2, {u"<track>_<artist>_<title>", 2, 24}}, {u"<ti", 3, 3, {u"<title>", 3, 7}},
        {u"<x", 2, 2, {u"<x", 2, 2}},  {u"<t", 0, 1, {u"<track>_<artist>_<title>", 0, 1}},
        {u"\u00e4r", 2, 2, {u"\u00c4rger", 2, 5}}, {u"<title>!", 8, 8, {u"<title>!", 8, 8}}, {u"", 0, 0, {u"", 0, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(CompleteFromHistory(c.typed, c.start, c.end, entries), c.expected) << U8(c.typed);

    // The rename history: a default, newest first, and the older notation.
    EXPECT_EQ(LoadRenameHistory(history.store), std::vector<std::u16string>{u"<artist> - <track> - <title>"});
    EXPECT_EQ(history.Stored(kRenamesHistory), std::vector<std::u16string>{u"<artist> - <track> - <title>"});
    // Stored before compiling, so a failed one is kept; used twice, listed once, on top.
    for (const char16_t* expression : {u"<title>", u"<x>", u"<title>", u"<Title>"})
        PrepareRename(expression, targets, NoSaveRunning(), prompts, &history.store);
    EXPECT_EQ(LoadRenameHistory(history.store),
              (std::vector<std::u16string>{u"<Title>", u"<title>", u"<x>", u"<artist> - <track> - <title>"}));

    EXPECT_EQ(ConvertOlderNotation(u"%track%album%genre%year%artists 100% %Title"),
              u"<track><album><genre><year><artist>s 100% %Title");
    history.store.WriteStringList(kRenamesHistory, {u"%artist - %title", u"<title>", u"", u"<artist> - <title>", u"%title"});
    EXPECT_EQ(LoadRenameHistory(history.store), (std::vector<std::u16string>{u"<title>", u"<artist> - <title>"}));
    EXPECT_EQ(history.Stored(kRenamesHistory), (std::vector<std::u16string>{u"<artist> - <title>", u"<title>"}));
    history.store.WriteStringValue(kRenamesHistory, u"<title>");  // another kind counts as absent
    EXPECT_EQ(LoadRenameHistory(history.store), std::vector<std::u16string>{u"<artist> - <track> - <title>"});
}

}  // namespace
}  // namespace quorvane::test
