// Tag generation by pattern: compiling, matching names (every edge case of the page's
// rules), the preview, applying through SetText, the "GenNormals" history and the
// completion from it.
#include <gtest/gtest.h>

#include "library/edit_gate.h"
#include "operations/history.h"
#include "operations/operations_test_support.h"
#include "operations/pattern_generation.h"

namespace quorvane {
namespace {

using test::RecordWith;

// "TRCK=05 TPE1=Brennick", a variable that matched nothing as "TIT2!".
std::string Describe(const std::vector<GenerationPattern::Capture>& captures) {
    std::string out;
    for (const auto& capture : captures) {
        if (!out.empty()) out += ' ';
        out += kFrameIdNames[capture.frame];
        out += capture.text ? "=" + U8(*capture.text) : std::string("!");
    }
    return out;
}

struct MatchCase {
    const char* pattern;
    const char* subject;
    const char* captures;
};

TEST(GenerationPattern, MatchesNames) {
    const MatchCase cases[] = {
        {"<track>_<artist>_<title>", "05_Brennick_Quorvane.mp3", "TRCK=05 TPE1=Brennick TIT2=Quorvane"},
        // The first separator ends a variable; the last one takes the rest.
        {"<artist> - <title>", "X - Y - Z.mp3", "TPE1=X TIT2=Y - Z"},
        {"<artist> - <title>", " - B.mp3", "TPE1= TIT2=B"},
        {"<artist><title>", "Song.mp3", "TPE1= TIT2=Song"},
        // ".mp3" leaves the last variable only when more than those four characters remain.
        {"<title>", "x.mp3", "TIT2=x"},
        {"<title>", ".mp3", "TIT2=.mp3"},
        {"<title>", "x.MP3", "TIT2=x"},
        {"<title>", "x.mp3 ", "TIT2=x.mp3 "},
        {"<title>", "x.ogg", "TIT2=x.ogg"},
        {"<Title>", "Song.mp3", "TIT2=Song"},
        // A final literal is matched, case included, at its first place.
        {"<title>.mp3", "Song.mp3", "TIT2=Song"},
        {"<title>.mp3", "a.mp3.mp3", "TIT2=a"},
        {"<title>.MP3", "Song.mp3", "TIT2!"},
        {"<track>_<title>_", "1_a_b.mp3", "TRCK=1 TIT2=a"},
        {"<year> (<album>)", "1999 (Alb).mp3", "TDRC=1999 TALB=Alb"},
        {"<genre>", "Jazz.mp3", "TCON=Jazz"},
        // Once a token fails, no later variable gets anything: a name that does not fit
        // leaves those frames as they are.
        {"<track>-<artist>", "Song.mp3", "TRCK! TPE1!"},
        {"x<title>", "Song.mp3", "TIT2!"},
        {"<track>_<artist>_<title>", "05_Brennick.mp3", "TRCK=05 TPE1! TIT2!"},
        // The next literal is looked for before each character, not at the very end.
        {"<artist>_<title><album>", "x_", "TPE1=x TIT2! TALB!"},
        // Skipped unknown names: the literals around them join.
        {"<track><x>_<title>", "1_T.mp3", "TRCK=1 TIT2=T"},
        {"<title><x>", "Song.mp3", "TIT2=Song"},
        {"<artist>_<title", "A_B.mp3", "TPE1=A"},  // an unfinished variable is dropped
        {"", "a.mp3", ""},
        {"\xc3\xa9<title>", "\xc3\xa9\xe2\x82\xac.mp3", "TIT2=\xe2\x82\xac"},
    };
    for (const MatchCase& c : cases) {
        test::RecordingPrompts prompts;
        const GenerationPattern pattern = GenerationPattern::Compile(U16(c.pattern), prompts);
        EXPECT_EQ(Describe(pattern.Match(U16(c.subject))), c.captures) << c.pattern << " on " << c.subject;
    }
}

TEST(GenerationPattern, CompilesALiteralBeforeEveryVariable) {
    test::RecordingPrompts prompts;
    using Token = GenerationPattern::Token;
    EXPECT_EQ(GenerationPattern::Compile(u"<track>_<artist><title>", prompts).Tokens(),
              (std::vector<Token>{{false, u"", 0},
                                  {true, {}, kFrameTRCK},
                                  {false, u"_", 0},
                                  {true, {}, kFrameTPE1},
                                  {false, u"", 0},
                                  {true, {}, kFrameTIT2}}));
    EXPECT_EQ(GenerationPattern::Compile(u"a<year>b", prompts).Tokens(),
              (std::vector<Token>{{false, u"a", 0}, {true, {}, kFrameTDRC}, {false, u"b", 0}}));
    EXPECT_EQ(prompts.Count(), 0u);
}

TEST(GenerationPattern, UnknownNamesAreReportedAndSkipped) {
    test::RecordingPrompts prompts;
    const PatternPreviewFields fields = PatternPreview(u"<x>_<artist>_< title>_<title>", u"a_B_c_D.mp3", prompts);
    ASSERT_EQ(prompts.Count(), 2u);
    EXPECT_EQ(prompts.Prompts()[0].caption, ProgramTitle());
    EXPECT_EQ(prompts.Prompts()[0].text, u"Unrecognized field: x");
    EXPECT_EQ(prompts.Prompts()[1].text, u"Unrecognized field:  title");
    // What is left is "_<artist>__<title>", which "a_B_c_D.mp3" does not fit.
    EXPECT_EQ(fields, (PatternPreviewFields{}));
}

TEST(GenerationPattern, PreviewShowsTheCapturesAsCaptured) {
    test::RecordingPrompts prompts;
    EXPECT_EQ(PatternPreview(u"<track>_<artist>_<title>", u"05_Brennick_Quorvane.mp3", prompts),
              (PatternPreviewFields{u"Brennick", u"", u"Quorvane", u"05", u"", u""}));
    EXPECT_EQ(PatternPreview(u"<genre> <year> <album>", u"(17) 1999 A.mp3", prompts),
              (PatternPreviewFields{u"", u"A", u"", u"", u"1999", u"(17)"}));
    EXPECT_EQ(PatternPreview(u"<title>.MP3", u"Song.mp3", prompts), (PatternPreviewFields{}));
}

TEST(PatternGeneration, SetsCapturedFramesThroughTheTagModel) {
    const RecordPtr withTrack = RecordWith("05_Brennick_Quorvane.mp3", {{kFrameTRCK, "3"}, {kFrameTIT2, "Old"}});
    const RecordPtr withoutTrack = RecordWith("07_Other_Song.mp3", {});
    const RecordPtr unfit = RecordWith("Unfit.mp3", {{kFrameTPE1, "Kept"}});
    const std::vector<RecordPtr> targets = {withTrack, withoutTrack, unfit};
    test::RecordingPrompts prompts;
    const auto plan = PreparePatternGeneration(u"<track>_<artist>_<title>", targets, NoSaveRunning(), prompts, nullptr);
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->size(), 2u);  // the name that does not fit plans nothing
    EXPECT_EQ((*plan)[0].record, withTrack);
    ASSERT_EQ((*plan)[0].changes.size(), 3u);
    EXPECT_EQ((*plan)[0].changes[0].oldText, u"3");
    EXPECT_EQ((*plan)[0].changes[0].newText, u"05");
    EXPECT_EQ((*plan)[0].changes[1].oldText, std::nullopt);
    EXPECT_FALSE(withTrack->NeedsSaving());

    ApplyGeneration(*plan);
    // SetText's track rule: an existing TRCK frame drops the leading zero, a new one keeps it.
    EXPECT_EQ(withTrack->Tag().GetText(kFrameTRCK), u"5");
    EXPECT_EQ(withoutTrack->Tag().GetText(kFrameTRCK), u"07");
    EXPECT_EQ(withTrack->Tag().GetText(kFrameTPE1), u"Brennick");
    EXPECT_EQ(withTrack->Tag().GetText(kFrameTIT2), u"Quorvane");
    EXPECT_TRUE(withTrack->NeedsSaving());
    EXPECT_FALSE(unfit->NeedsSaving());
    EXPECT_EQ(unfit->Tag().GetText(kFrameTPE1), u"Kept");

    // An empty capture is set as empty text.
    const RecordPtr song = RecordWith("Song.mp3", {{kFrameTPE1, "Someone"}});
    const std::vector<RecordPtr> one = {song};
    ApplyGeneration(*PreparePatternGeneration(u"<artist><title>", one, NoSaveRunning(), prompts, nullptr));
    std::u16string artist;
    EXPECT_TRUE(song->Tag().GetText(kFrameTPE1, artist));
    EXPECT_EQ(artist, u"");
    EXPECT_EQ(song->Tag().GetText(kFrameTIT2), u"Song");
    EXPECT_EQ(prompts.Count(), 0u);
}

TEST(PatternGeneration, MatchesThePendingNewName) {
    const RecordPtr record = RecordWith("old.mp3", {});
    record->SetFileName(u"A_B.mp3");
    const std::vector<RecordPtr> targets = {record};
    test::RecordingPrompts prompts;
    ApplyGeneration(*PreparePatternGeneration(u"<artist>_<title>", targets, NoSaveRunning(), prompts, nullptr));
    EXPECT_EQ(record->Tag().GetText(kFrameTIT2), u"B");
}

TEST(PatternGeneration, IsRefusedWhileASaveCoversATarget) {
    test::HistoryStore history;
    const RecordPtr record = RecordWith("A_B.mp3", {});
    const std::vector<RecordPtr> targets = {record};
    test::RecordingPrompts prompts;
    EXPECT_FALSE(PreparePatternGeneration(u"<artist>_<title>", targets, test::SavingGate(record.get()), prompts,
                                          &history.Store()));
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Prompts()[0].text, kEditWhileSaving);
    EXPECT_TRUE(history.Stored(kGenNormalsHistory).empty());
}

TEST(PatternHistory, HasNoDefaultAndKeepsEachPatternOnce) {
    test::HistoryStore history;
    EXPECT_TRUE(LoadHistory(history.Store(), kGenNormalsHistory).empty());
    EXPECT_FALSE(history.Store().ReadRaw(kGenNormalsHistory));  // nothing written

    const std::vector<RecordPtr> targets = {RecordWith("a.mp3", {})};
    test::RecordingPrompts prompts;
    for (const char16_t* pattern : {u"<title>", u"<track>_<title>", u"<x>", u"<title>"}) {
        PreparePatternGeneration(pattern, targets, NoSaveRunning(), prompts, &history.Store());
    }
    EXPECT_EQ(LoadHistory(history.Store(), kGenNormalsHistory),
              (std::vector<std::u16string>{u"<title>", u"<x>", u"<track>_<title>"}));
    EXPECT_EQ(history.Stored(kGenNormalsHistory), (std::vector<std::u16string>{u"<track>_<title>", u"<x>", u"<title>"}));
}

TEST(PatternHistory, CompletesTypedTextFromTheFirstFittingEntry) {
    const std::vector<std::u16string> entries = {u"<track>_<artist>_<title>", u"<title>", u"\u00c4rger <title>"};
    const struct {
        std::u16string typed;
        size_t start, end;
        Completion expected;
    } cases[] = {
        {u"<T", 2, 2, {u"<track>_<artist>_<title>", 2, 24}},
        {u"<ti", 3, 3, {u"<title>", 3, 7}},
        {u"<x", 2, 2, {u"<x", 2, 2}},
        {u"<t", 1, 1, {u"<track>_<artist>_<title>", 1, 1}},  // the caret was inside: no selection made
        {u"\u00e4r", 2, 2, {u"\u00c4rger <title>", 2, 13}},
        {u"<title>!", 8, 8, {u"<title>!", 8, 8}},
        {u"", 0, 0, {u"", 0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompleteFromHistory(c.typed, c.start, c.end, entries), c.expected) << U8(c.typed);
    }
    EXPECT_EQ(CompleteFromHistory(u"<t", 2, 2, {}), (Completion{u"<t", 2, 2}));
}

}  // namespace
}  // namespace quorvane
