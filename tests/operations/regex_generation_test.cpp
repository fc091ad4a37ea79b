// Tag generation by regular expression: which groups fill which frames, the ".mp3" of
// the name, the messages, the "RegExps" history.
#include <gtest/gtest.h>

#include "library/edit_gate.h"
#include "operations/history.h"
#include "operations/operations_test_support.h"
#include "operations/regex_generation.h"
#include "regex/regexp.h"

namespace quorvane {
namespace {

using test::RecordWith;

struct GroupCase {
    const char* expression;
    const char* subject;
    const char* changes;  // "TPE1=A TIT2=B" in table order, or "no match"
};

TEST(RegexGeneration, FillsTheFramesOfTheGroupsThatTookPart) {
    const GroupCase cases[] = {
        {"(?P<artist>.+) - (?P<title>.+)\\.mp3", "A - B.mp3", "TPE1=A TIT2=B"},
        // The help text's example: a capture that runs to the end of the name leaves
        // the extension behind.
        {"(?P<track>.+)_(?P<artist>.+)_(?P<title>.+)", "05_Brennick_Quorvane.mp3", "TPE1=Brennick TIT2=Quorvane TRCK=05"},
        {"(?P<title>.+)", "Song.MP3", "TIT2=Song"},
        {"(?P<title>.*)", ".mp3", "TIT2=.mp3"},  // nothing would be left
        {"(?P<title>.+)\\.mp3", "a.mp3.mp3", "TIT2=a.mp3"},  // not at the end: kept as matched
        {"(?P<title>.+)", "Song.ogg", "TIT2=Song.ogg"},
        {"(?P<year>[0-9]+) (?P<title>.+)\\.mp3", "1999 Song.mp3", "TIT2=Song TDRC=1999"},
        {"(?P<album>[^_]+)_(?P<track>\\d+)", "Alb_07.mp3", "TALB=Alb TRCK=07"},
        {"(?P<track>\\d+)", "Song 12.mp3", "TRCK=12"},  // searched, not anchored
        {"(?P<genre>.+)\\.", "Jazz.mp3", "TCON=Jazz"},
        {"(?P<artist>x*)(?P<title>.+)", "Song.mp3", "TPE1= TIT2=Song"},  // an empty capture counts
        // Groups that took no part leave their frames alone.
        {"(?P<title>[^(]+?)( \\((?P<year>\\d+)\\))?\\.mp3", "Song.mp3", "TIT2=Song"},
        {"(?P<title>[^(]+?)( \\((?P<year>\\d+)\\))?\\.mp3", "Song (1999).mp3", "TIT2=Song TDRC=1999"},
        {"(?P<title>a)\\.mp3|(?P<title>b)\\.mp3", "b.mp3", "TIT2=b"},
        {"(?P<artist>a)|(?P<title>b)", "b.mp3", "TIT2=b"},
        // Only the six names, spelled exactly, fill anything.
        {"(.+)\\.mp3", "a.mp3", ""},
        {"(?P<Artist>.+)(?P<comment>x)?", "a.mp3", ""},
        {"(?P<title>.*)x", "Song.mp3", "no match"},
    };
    for (const GroupCase& c : cases) {
        RegExp expression;
        expression.Compile(U16(c.expression));
        const auto changes = MatchRegExpGroups(expression, U16(c.subject));
        std::string described = changes ? "" : "no match";
        for (const FieldChange& change : changes.value_or(std::vector<FieldChange>{})) {
            if (!described.empty()) described += ' ';
            described += std::string(kFrameIdNames[change.frame]) + "=" + U8(change.newText);
        }
        EXPECT_EQ(described, c.changes) << c.expression << " on " << c.subject;
    }
}

TEST(RegexGeneration, ReportsEachNameWithoutAMatchAndFillsTheOthers) {
    const RecordPtr first = RecordWith("1999 One.mp3", {{kFrameTDRC, "2000"}});
    const RecordPtr middle = RecordWith("No year.mp3", {{kFrameTIT2, "Kept"}});
    const RecordPtr last = RecordWith("2001 Three.mp3", {});
    const std::vector<RecordPtr> targets = {first, middle, last};
    test::RecordingPrompts prompts;
    const std::u16string expression = u"(?P<year>[0-9]+) (?P<title>.+)\\.mp3";
    const auto plan = PrepareRegexGeneration(expression, targets, NoSaveRunning(), prompts, nullptr);
    ASSERT_TRUE(plan);
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Prompts()[0].caption, ProgramTitle());
    EXPECT_EQ(prompts.Prompts()[0].text,
              u"The regular expression \"(?P<year>[0-9]+) (?P<title>.+)\\.mp3\" didn't match the filename \"No "
              u"year.mp3\"");
    ASSERT_EQ(plan->size(), 2u);
    EXPECT_EQ((*plan)[0].changes[1].frame, kFrameTDRC);
    EXPECT_EQ((*plan)[0].changes[1].oldText, u"2000");
    EXPECT_EQ((*plan)[1].changes[0].oldText, std::nullopt);

    ApplyGeneration(*plan);
    EXPECT_EQ(first->Tag().GetText(kFrameTDRC), u"1999");
    EXPECT_EQ(first->Tag().GetText(kFrameTIT2), u"One");
    EXPECT_EQ(last->Tag().GetText(kFrameTIT2), u"Three");
    EXPECT_FALSE(middle->NeedsSaving());
    EXPECT_EQ(middle->Tag().GetText(kFrameTIT2), u"Kept");
}

TEST(RegexGeneration, AnExpressionThatDoesNotCompileIsNotStored) {
    test::HistoryStore history;
    const std::vector<RecordPtr> targets = {RecordWith("A - B.mp3", {})};
    test::RecordingPrompts prompts;
    EXPECT_FALSE(PrepareRegexGeneration(u"(?P<artist>.+", targets, NoSaveRunning(), prompts, &history.Store()));
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Prompts()[0].caption, ProgramTitle());
    EXPECT_EQ(prompts.Prompts()[0].text, u"The regular expression you entered could not be parsed.");
    EXPECT_FALSE(history.Store().ReadRaw(kRegExpsHistory));
    EXPECT_FALSE(targets[0]->NeedsSaving());
}

TEST(RegexGeneration, IsRefusedWhileASaveCoversATarget) {
    const RecordPtr record = RecordWith("A - B.mp3", {});
    const std::vector<RecordPtr> targets = {record};
    test::RecordingPrompts prompts;
    EXPECT_FALSE(PrepareRegexGeneration(u"(?P<title>.+)", targets, test::SavingGate(record.get()), prompts, nullptr));
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Prompts()[0].text, kEditWhileSaving);
}

TEST(RegexHistory, StartsWithTheDefaultAndAddsWhatCompiled) {
    test::HistoryStore history;
    const std::u16string kDefault = u"(?P<artist>[A-Za-z]+) - (?P<track>[0-9]+) - (?P<title>[A-Za-z]+)";
    EXPECT_EQ(LoadRegExpHistory(history.Store()), std::vector<std::u16string>{kDefault});
    EXPECT_EQ(history.Stored(kRegExpsHistory), std::vector<std::u16string>{kDefault});

    const std::vector<RecordPtr> targets = {RecordWith("x.mp3", {})};
    test::RecordingPrompts prompts;
    for (const char16_t* expression : {u"(?P<title>.+)", u"(", u"x", u"(?P<title>.+)"}) {
        PrepareRegexGeneration(expression, targets, NoSaveRunning(), prompts, &history.Store());
    }
    EXPECT_EQ(LoadRegExpHistory(history.Store()), (std::vector<std::u16string>{u"(?P<title>.+)", u"x", kDefault}));
}

}  // namespace
}  // namespace quorvane
