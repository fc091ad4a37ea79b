// Rename from tags: expressions compiled and expanded, the stored names, the preview,
// the plan, and the "Renames" history in a real settings file.
#include <gtest/gtest.h>

#include "operations/history.h"
#include "operations/operations_test_support.h"
#include "operations/rename_from_tags.h"
#include "operations/target_files.h"

namespace quorvane {
namespace {

using test::RecordWith;

TEST(NameExpression, ExpandsPreviewsAndStoresNames) {
    const struct {
        const char* expression;
        test::Frames frames;
        const char* preview;  // the expansion, before the characters are replaced
        const char* stored;   // the record's FileName() afterwards
    } cases[] = {
        {"<track>. <title>", {{kFrameTRCK, "7"}, {kFrameTIT2, "Intro"}}, "07. Intro.mp3", "07. Intro.mp3"},
        {"<track>. <title>", {{kFrameTRCK, "07/12"}, {kFrameTIT2, "Intro"}}, "07/12. Intro.mp3", "07 12. Intro.mp3"},
        {"<track>", {{kFrameTRCK, "12"}}, "12.mp3", "12.mp3"},
        {"<track>", {{kFrameTRCK, "0"}}, "00.mp3", "00.mp3"},
        {"<track>|", {}, "|.mp3", " .mp3"},
        {"<artist> - <title>", {{kFrameTIT2, "Title"}}, " - Title.mp3", " - Title.mp3"},
        {"<title>", {{kFrameTIT2, "AC\\/:?\"<>|*"}}, "AC\\/:?\"<>|*.mp3", "AC        *.mp3"},
        {"<Artist> - <TRACK>", {{kFrameTPE1, "X"}, {kFrameTRCK, "3"}}, "X - 03.mp3", "X - 03.mp3"},
        {"<genre>/<GENRE>", {{kFrameTCON, "(17)"}}, "Rock/Rock.mp3", "Rock Rock.mp3"},
        {"<year> <album> <artist", {{kFrameTDRC, "1999"}, {kFrameTALB, " A "}}, "1999  A  .mp3", "1999  A  .mp3"},
        {"", {{kFrameTIT2, "T"}}, ".mp3", ".mp3"},
        {"<title>.mp3", {{kFrameTIT2, "\xe2\x82\xac"}}, "\xe2\x82\xac.mp3.mp3", "\xe2\x82\xac.mp3.mp3"},
    };
    for (const auto& c : cases) {
        test::RecordingPrompts prompts;
        const std::vector<RecordPtr> targets = {RecordWith("old.mp3", c.frames)};
        EXPECT_EQ(U8(RenamePreview(U16(c.expression), targets, prompts)), c.preview);
        ApplyRenames(*PrepareRename(U16(c.expression), targets, NoSaveRunning(), prompts, nullptr));
        EXPECT_EQ(U8(targets[0]->FileName()), c.stored) << c.expression;
        EXPECT_EQ(targets[0]->DiskName(), u"old.mp3");
        EXPECT_EQ(prompts.Count(), 0u);
    }
}

TEST(NameExpression, AnUnknownVariableStopsWithItsNameAsTyped) {
    for (const char* name : {"x", "", " artist ", "<title", "tracks", "t\xc4\xb0tle"}) {
        test::RecordingPrompts prompts;
        const std::vector<RecordPtr> targets = {RecordWith("old.mp3")};
        const std::u16string expression = u"<artist> <" + U16(name) + u"> <x>";
        EXPECT_EQ(RenamePreview(expression, targets, prompts), u"");
        EXPECT_FALSE(PrepareRename(expression, targets, NoSaveRunning(), prompts, nullptr));
        ASSERT_EQ(prompts.Count(), 2u);
        EXPECT_EQ(prompts.Prompts()[1].caption, u"Error");
        EXPECT_EQ(prompts.Prompts()[1].text, u"Unrecognized field: " + U16(name));
    }
}

TEST(RenamePlan, HoldsTheChangedNamesOfTheTargetsInOrder) {
    const RecordPtr a = RecordWith("a.mp3", {{kFrameTIT2, "One"}});
    const RecordPtr b = RecordWith("Two.mp3", {{kFrameTIT2, "Two"}});
    const RecordPtr c = RecordWith("c.mp3", {{kFrameTIT2, "Th/ree"}});
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
    EXPECT_FALSE(PrepareRename(u"<title>", listed, test::SavingGate(b), prompts, &history.store));
    EXPECT_EQ(prompts.Prompts().back().text, kEditWhileSaving);
    EXPECT_TRUE(history.Stored(kRenamesHistory).empty());
}

TEST(RenameHistory, DefaultNewestFirstAndTheOlderNotation) {
    test::HistoryStore history;
    EXPECT_EQ(LoadRenameHistory(history.store), std::vector<std::u16string>{u"<artist> - <track> - <title>"});
    EXPECT_EQ(history.Stored(kRenamesHistory), std::vector<std::u16string>{u"<artist> - <track> - <title>"});
    test::RecordingPrompts prompts;
    const std::vector<RecordPtr> targets = {RecordWith("a.mp3")};
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
