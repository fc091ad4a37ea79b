// Tags filled from file names by pattern and by regular expression, and names made from
// tags: the captures and expansions of every edge case, the stored names, the plans and
// applying them, the messages, the histories in a real settings file, completion.
#include <gtest/gtest.h>

#include "operations/history.h"
#include "operations/operations_test_support.h"
#include "operations/pattern_generation.h"
#include "operations/regex_generation.h"
#include "operations/rename_from_tags.h"
#include "operations/target_files.h"
#include "regex/regexp.h"

namespace quorvane {
namespace {

using test::MemoryRecord;

struct CaptureCase {
    const char* expression;
    const char* name;
    const char* captures;  // "TRCK=05 TPE1=x"; "TIT2!" for a variable that got nothing
};

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
        for (const auto& capture : GenerationPattern::Compile(U16(c.expression), prompts).Match(U16(c.name))) {
            described += (described.empty() ? "" : " ") + std::string(kFrameIdNames[capture.frame]) +
                         (capture.text ? "=" + U8(*capture.text) : "!");
        }
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
            described += (described.empty() ? "" : " ") + std::string(kFrameIdNames[change.frame]) + "=" + U8(change.newText);
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

    const size_t shown = prompts.Count();
    EXPECT_FALSE(PreparePatternGeneration(u"<title>", targets, test::BusyGate(unfit), prompts, nullptr));
    EXPECT_FALSE(PrepareRegexGeneration(u"(?P<title>.+)", targets, test::BusyGate(unfit), prompts, nullptr));
    EXPECT_EQ(prompts.Count(), shown + 2);
    EXPECT_EQ(prompts.Prompts().back().text, kEditWhileSaving);
}

TEST(GenerationHistory, PatternsHaveNoDefaultAndExpressionsAreStoredWhenTheyCompile) {
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

TEST(RenameHistory, DefaultNewestFirstAndTheOlderNotation) {
    test::HistoryStore history;
    EXPECT_EQ(LoadRenameHistory(history.store), std::vector<std::u16string>{u"<artist> - <track> - <title>"});
    EXPECT_EQ(history.Stored(kRenamesHistory), std::vector<std::u16string>{u"<artist> - <track> - <title>"});
    test::RecordingPrompts prompts;
    const std::vector<RecordPtr> targets = {MemoryRecord({}, u"a.mp3")};
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
}  // namespace quorvane
