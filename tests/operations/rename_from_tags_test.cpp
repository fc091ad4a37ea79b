// Rename from tags: compiling and expanding name expressions, the stored names, the
// preview, the "Renames" history in a real settings file, and the plan.
#include <gtest/gtest.h>

#include "library/edit_gate.h"
#include "operations/history.h"
#include "operations/operations_test_support.h"
#include "operations/rename_from_tags.h"
#include "operations/target_files.h"

namespace quorvane {
namespace {

using test::RecordWith;

struct ExpansionCase {
    const char* expression;
    test::Frames frames;
    const char* preview;  // the expansion, ".mp3" included
    const char* stored;   // the record's new FileName()
};

TEST(NameExpression, ExpandsAndStoresNames) {
    const ExpansionCase cases[] = {
        {"<track>. <title>", {{kFrameTRCK, "7"}, {kFrameTIT2, "Intro"}}, "07. Intro.mp3", "07. Intro.mp3"},
        {"<track>. <title>", {{kFrameTRCK, "07/12"}, {kFrameTIT2, "Intro"}}, "07/12. Intro.mp3", "07 12. Intro.mp3"},
        {"<track>", {{kFrameTRCK, "12"}}, "12.mp3", "12.mp3"},
        {"<track>", {{kFrameTRCK, "5/12"}}, "5/12.mp3", "5 12.mp3"},  // only a one-character track is padded
        {"<track>", {{kFrameTRCK, "0"}}, "00.mp3", "00.mp3"},
        {"<track>|", {}, "|.mp3", " .mp3"},  // no frame, nothing; a literal is replaced too
        {"<artist> - <title>", {{kFrameTIT2, "Title"}}, " - Title.mp3", " - Title.mp3"},
        {"<artist>", {{kFrameTPE1, "AC/DC"}}, "AC/DC.mp3", "AC DC.mp3"},
        {"<title>", {{kFrameTIT2, "a\\b/c:d?e\"f<g>h|i*j"}}, "a\\b/c:d?e\"f<g>h|i*j.mp3", "a b c d e f g h i*j.mp3"},
        {"<Artist> - <TRACK>", {{kFrameTPE1, "X"}, {kFrameTRCK, "3"}}, "X - 03.mp3", "X - 03.mp3"},
        {"<genre>", {{kFrameTCON, "(17)"}}, "Rock.mp3", "Rock.mp3"},
        {"<genre>", {{kFrameTCON, "(17)Heavy"}}, "Heavy.mp3", "Heavy.mp3"},
        {"<GENRE>", {{kFrameTCON, "Jazz"}}, "Jazz.mp3", "Jazz.mp3"},
        {"<year> <album>", {{kFrameTDRC, "1999"}, {kFrameTALB, "  Spaced "}}, "1999   Spaced .mp3", "1999   Spaced .mp3"},
        {"<album> <artist", {{kFrameTALB, "Alb"}, {kFrameTPE1, "X"}}, "Alb .mp3", "Alb .mp3"},  // unfinished: dropped
        {"", {{kFrameTIT2, "T"}}, ".mp3", ".mp3"},
        {"<title>.mp3", {{kFrameTIT2, "x"}}, "x.mp3.mp3", "x.mp3.mp3"},
        {"\xc3\xa9<title>", {{kFrameTIT2, "\xe2\x82\xac"}}, "\xc3\xa9\xe2\x82\xac.mp3", "\xc3\xa9\xe2\x82\xac.mp3"},
    };
    for (const ExpansionCase& c : cases) {
        test::RecordingPrompts prompts;
        const RecordPtr record = RecordWith("old.mp3", c.frames);
        const std::vector<RecordPtr> targets = {record};
        EXPECT_EQ(U8(RenamePreview(U16(c.expression), targets, prompts)), c.preview) << c.expression;
        const auto plan = PrepareRename(U16(c.expression), targets, NoSaveRunning(), prompts, nullptr);
        ASSERT_TRUE(plan) << c.expression;
        ApplyRenames(*plan);
        EXPECT_EQ(U8(record->FileName()), c.stored) << c.expression;
        EXPECT_EQ(record->DiskName(), u"old.mp3");
        EXPECT_EQ(prompts.Count(), 0u) << c.expression;
    }
}

TEST(NameExpression, CompilesLiteralRunsAndVariablesThenTheExtension) {
    test::RecordingPrompts prompts;
    using Kind = NameExpression::TokenKind;
    const auto compiled = NameExpression::Compile(u"a<title>b - <track><genre><year>", prompts);
    ASSERT_TRUE(compiled);
    EXPECT_EQ(compiled->Tokens(), (std::vector<NameExpression::Token>{{Kind::Literal, u"a", 0},
                                                                      {Kind::Frame, {}, kFrameTIT2},
                                                                      {Kind::Literal, u"b - ", 0},
                                                                      {Kind::Track, {}, 0},
                                                                      {Kind::Genre, {}, 0},
                                                                      {Kind::Frame, {}, kFrameTDRC},
                                                                      {Kind::Literal, u".mp3", 0}}));
}

TEST(NameExpression, AnUnknownVariableFailsWithItsNameAsTyped) {
    const struct {
        const char* expression;
        const char* message;
    } cases[] = {
        {"<artist> <x>", "Unrecognized field: x"},
        {"<>", "Unrecognized field: "},
        {"< artist >", "Unrecognized field:  artist "},
        {"<tracks><x>", "Unrecognized field: tracks"},  // the first one ends compiling
        {"<<title>", "Unrecognized field: <title"},
        {"<t\xc4\xb0tle>", "Unrecognized field: t\xc4\xb0tle"},  // only ASCII letters fold
    };
    for (const auto& c : cases) {
        test::RecordingPrompts prompts;
        const RecordPtr record = RecordWith("old.mp3", {{kFrameTIT2, "T"}});
        const std::vector<RecordPtr> targets = {record};
        EXPECT_EQ(RenamePreview(U16(c.expression), targets, prompts), u"");
        EXPECT_FALSE(PrepareRename(U16(c.expression), targets, NoSaveRunning(), prompts, nullptr));
        ASSERT_EQ(prompts.Count(), 2u) << c.expression;
        for (const auto& shown : prompts.Prompts()) {
            EXPECT_EQ(shown.kind, "error");
            EXPECT_EQ(shown.caption, u"Error");
            EXPECT_EQ(U8(shown.text), c.message);
        }
        EXPECT_EQ(record->FileName(), u"old.mp3");
    }
}

TEST(RenamePlan, ListsChangedNamesInTargetOrderAndAppliesThem) {
    const RecordPtr a = RecordWith("a.mp3", {{kFrameTIT2, "One"}});
    const RecordPtr b = RecordWith("Two.mp3", {{kFrameTIT2, "Two"}});  // already named so
    const RecordPtr c = RecordWith("c.mp3", {{kFrameTIT2, "Th/ree"}});
    const std::vector<RecordPtr> listed = {a, b, c};
    const std::vector<RecordPtr> selected = {c, a};
    test::RecordingPrompts prompts;

    const auto plan = PrepareRename(u"<title>", TargetFiles(selected, listed), NoSaveRunning(), prompts, nullptr);
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->size(), 2u);
    EXPECT_EQ((*plan)[0].record, c);
    EXPECT_EQ((*plan)[0].oldName, u"c.mp3");
    EXPECT_EQ((*plan)[0].newName, u"Th ree.mp3");
    EXPECT_EQ((*plan)[1].record, a);
    EXPECT_FALSE(a->NeedsSaving());  // planning changes nothing
    ApplyRenames(*plan);
    EXPECT_EQ(a->FileName(), u"One.mp3");
    EXPECT_EQ(c->FileName(), u"Th ree.mp3");
    EXPECT_TRUE(a->NeedsSaving());
    EXPECT_FALSE(b->NeedsSaving());

    // Nothing selected: every listed file, in list order.
    EXPECT_EQ(TargetFiles({}, listed), listed);
    EXPECT_TRUE(TargetFiles({}, {}).empty());
    EXPECT_EQ(RenamePreview(u"<title>", {}, prompts), u"");
}

TEST(RenamePlan, IsRefusedWhileASaveCoversATarget) {
    test::HistoryStore history;
    const RecordPtr a = RecordWith("a.mp3", {{kFrameTIT2, "One"}});
    const RecordPtr b = RecordWith("b.mp3", {{kFrameTIT2, "Two"}});
    const std::vector<RecordPtr> targets = {a, b};
    test::RecordingPrompts prompts;
    EXPECT_FALSE(PrepareRename(u"<title>", targets, test::SavingGate(b.get()), prompts, &history.Store()));
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Prompts()[0].text, kEditWhileSaving);
    EXPECT_TRUE(history.Stored(kRenamesHistory).empty());
    EXPECT_TRUE(PrepareRename(u"<title>", targets, test::SavingGate(nullptr), prompts, &history.Store()));
}

TEST(RenameHistory, StartsWithTheDefaultAndListsTheNewestFirst) {
    test::HistoryStore history;
    EXPECT_EQ(LoadRenameHistory(history.Store()), std::vector<std::u16string>{u"<artist> - <track> - <title>"});
    EXPECT_EQ(history.Stored(kRenamesHistory), std::vector<std::u16string>{u"<artist> - <track> - <title>"});

    test::RecordingPrompts prompts;
    const std::vector<RecordPtr> targets = {RecordWith("a.mp3", {})};
    for (const char16_t* expression : {u"<title>", u"<artist> <x>", u"<title>", u"<Title>"}) {
        PrepareRename(expression, targets, NoSaveRunning(), prompts, &history.Store());
    }
    // The same expression used twice is listed once, at the top; one that failed to
    // compile is kept too (it was stored first), and the comparison keeps case.
    EXPECT_EQ(LoadRenameHistory(history.Store()),
              (std::vector<std::u16string>{u"<Title>", u"<title>", u"<artist> <x>", u"<artist> - <track> - <title>"}));
}

TEST(RenameHistory, ConvertsTheOlderNotationAndStoresIt) {
    EXPECT_EQ(ConvertOlderNotation(u"%artist - %title"), u"<artist> - <title>");
    EXPECT_EQ(ConvertOlderNotation(u"%track%album%genre%year%artists 100%"),
              u"<track><album><genre><year><artist>s 100%");
    EXPECT_EQ(ConvertOlderNotation(u"%Artist"), u"%Artist");  // the old notation had one spelling

    test::HistoryStore history;
    history.Store().WriteStringList(kRenamesHistory,
                                    {u"%artist - %title", u"<title>", u"", u"<artist> - <title>", u"%title"});
    EXPECT_EQ(LoadRenameHistory(history.Store()),
              (std::vector<std::u16string>{u"<title>", u"<artist> - <title>"}));
    EXPECT_EQ(history.Stored(kRenamesHistory), (std::vector<std::u16string>{u"<artist> - <title>", u"<title>"}));
}

TEST(RenameHistory, AValueOfAnotherKindCountsAsAbsent) {
    test::HistoryStore history;
    history.Store().WriteStringValue(kRenamesHistory, u"<title>");
    EXPECT_EQ(LoadRenameHistory(history.Store()), std::vector<std::u16string>{u"<artist> - <track> - <title>"});
    history.Store().WriteStringList(kRenamesHistory, {u""});
    EXPECT_EQ(LoadRenameHistory(history.Store()), std::vector<std::u16string>{u"<artist> - <track> - <title>"});
}

}  // namespace
}  // namespace quorvane
