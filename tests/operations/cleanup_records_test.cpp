// The clean-up tools on records: Copy from ID3v1, Capitalize, Convert _ to Space and the
// "Track #" numbering, and the save's refusal of each.
#include <functional>

#include "operations/copy_from_v1.h"
#include "operations/text_fields.h"
#include "operations/track_numbering.h"
#include "operations/edit_test_support.h"

namespace quorvane::test {
namespace {

class Cleanup : public EditTest {};

TEST_F(Cleanup, CapitalizeRewritesArtistAlbumAndTitleOnly) {
    const struct {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"the rolling stones", u"The Rolling Stones"},
        {u"hip-hop_mix", u"Hip-Hop_Mix"},
        {u"mcDONALD", u"McDONALD"},
        {u"(live) version", u"(live) Version"},
        {u"\u00e9t\u00e9 indien", u"\u00c9t\u00e9 Indien"},
    };
    for (const auto& c : cases) {
        const RecordPtr record = MemoryRecord({{kFrameTPE1, c.in}, {kFrameTALB, c.in}, {kFrameTIT2, c.in},
                                               {kFrameTCON, c.in}, {kFrameTDRC, c.in}});
        ASSERT_TRUE(CapitalizeFields(Context(), std::vector{record}));
        for (const FrameId id : {kFrameTPE1, kFrameTALB, kFrameTIT2}) EXPECT_EQ(record->Tag().GetText(id), c.out);
        EXPECT_EQ(record->Tag().GetText(kFrameTCON), c.in);
        EXPECT_EQ(record->Tag().GetText(kFrameTDRC), c.in);
    }
}

TEST_F(Cleanup, WritesOnlyWhatChangesAndKeepsEveryValue) {
    const RecordPtr done = MemoryRecord({{kFrameTIT2, u"Already Done"}}, u"done");
    const RecordPtr bare = MemoryRecord({}, u"bare");
    const RecordPtr two = MemoryRecord({}, u"two");
    two->Tag().AddFrame(MakeTextFrame(kFrameTPE1, u""));
    two->Tag().FindFrame(kFrameTPE1)->Text()->Assign(u"solo_act", {u"guest_star"});
    two->Tag().ClearChanged();
    const std::vector<RecordPtr> records = {done, bare, two};

    ASSERT_TRUE(CapitalizeFields(Context(), records));
    EXPECT_FALSE(done->Tag().IsChanged());
    EXPECT_TRUE(bare->Tag().Frames().empty());  // absent frames stay absent
    const TextField* artists = two->Tag().FindFrame(kFrameTPE1)->Text();
    EXPECT_EQ(artists->Text(), u"Solo_Act");
    EXPECT_EQ(artists->MoreValues(), std::vector<std::u16string>{u"Guest_Star"});
    EXPECT_EQ(listener_.events, (std::vector<std::string>{"file:done", "file:bare", "file:two"}));

    two->Tag().ClearChanged();
    ASSERT_TRUE(ConvertUnderscoreFields(Context(), records));
    EXPECT_EQ(artists->Text(), u"Solo Act");
    EXPECT_EQ(artists->MoreValues(), std::vector<std::u16string>{u"Guest Star"});
    EXPECT_TRUE(two->Tag().IsChanged());
    EXPECT_FALSE(done->Tag().IsChanged());

    const RecordPtr underscores = MemoryRecord({{kFrameTALB, u"Some_Title__X"}, {kFrameTCON, u"a_b"}});
    ASSERT_TRUE(ConvertUnderscoreFields(Context(), std::vector{underscores}));
    EXPECT_EQ(underscores->Tag().GetText(kFrameTALB), u"Some Title  X");
    EXPECT_EQ(underscores->Tag().GetText(kFrameTCON), u"a_b");
}

TEST_F(Cleanup, CopyFromV1SkipsFilesWithoutAnId3v1Tag) {
    const struct {
        uint8_t genre;
        uint8_t track;
        const char16_t* tcon;
        const char16_t* trck;
    } cases[] = {
        {255, 0, u"", u"3"},  // no genre empties TCON; track 0 keeps TRCK
        {17, 7, u"(17)", u"7"},
        {125, 255, u"(125)", u"255"},
        {126, 1, u"", u"1"},
    };
    for (const auto& c : cases) {
        Id3v1Record v1;
        v1.SetString(Id3v1Record::kTitle, u"  Title\t");
        v1.SetString(Id3v1Record::kArtist, u"Artist");
        v1.SetString(Id3v1Record::kComment, u"not copied");
        v1.SetGenre(c.genre);
        v1.SetTrack(c.track);
        const RecordPtr withV1 = RecordWithV1(dir_ / "v1.mp3", v1, prompts_);
        withV1->Tag().SetText(kFrameTRCK, u"3");
        const RecordPtr without = MemoryRecord({{kFrameTIT2, u"Keep"}, {kFrameTPE1, u"Me"}}, u"without");
        listener_.events.clear();

        const CopyFromV1Result result = CopyFieldsFromV1(Context(), std::vector{without, withV1});
        EXPECT_FALSE(result.refused);
        EXPECT_EQ(result.withoutV1, std::vector{without});
        EXPECT_FALSE(without->Tag().IsChanged());
        EXPECT_EQ(without->Tag().Frames().size(), 2u);
        EXPECT_EQ(listener_.events, std::vector<std::string>{"file:v1.mp3"});
        const Id3Tag& tag = withV1->Tag();
        EXPECT_EQ(tag.GetText(kFrameTIT2), u"Title");
        EXPECT_EQ(tag.GetText(kFrameTPE1), u"Artist");
        EXPECT_EQ(tag.GetText(kFrameTCON), c.tcon) << int(c.genre);
        EXPECT_EQ(tag.GetText(kFrameTRCK), c.trck) << int(c.track);
        EXPECT_TRUE(tag.FindFrame(kFrameTALB));  // the empty album is copied too
        EXPECT_FALSE(tag.FindFrame(kFrameCOMM));
    }
}

TEST_F(Cleanup, CopyFromV1FollowsTheRecordsId3v1State) {
    Id3v1Record v1;
    v1.SetString(Id3v1Record::kTitle, u"On disk");
    const RecordPtr removed = RecordWithV1(dir_ / "removed.mp3", v1, prompts_);
    removed->RequestRemoveV1();  // the tag goes with the next save
    const RecordPtr typed = MemoryRecord({}, u"typed");
    typed->Tag().V1().SetString(Id3v1Record::kTitle, u"Typed");  // the ID3v1 pane saved into it

    const CopyFromV1Result result = CopyFieldsFromV1(Context(), std::vector{removed, typed});
    EXPECT_EQ(result.withoutV1, std::vector{removed});
    EXPECT_TRUE(removed->Tag().Frames().empty());
    EXPECT_EQ(typed->Tag().GetText(kFrameTIT2), u"Typed");
}

TEST_F(Cleanup, TrackNumbersFollowTheClicks) {
    const std::vector<RecordPtr> records = {MemoryRecord({{kFrameTRCK, u"05"}}, u"x"), MemoryRecord({}, u"y"),
                                            MemoryRecord({{kFrameTRCK, u"1/9"}}, u"z")};
    TrackCounter counter;
    EXPECT_FALSE(NumberTrack(Context(), records[0], counter));  // toggle up
    EXPECT_EQ(records[0]->Tag().GetText(kFrameTRCK), u"05");
    counter.Press();
    for (const RecordPtr& record : records) EXPECT_TRUE(NumberTrack(Context(), record, counter));
    EXPECT_EQ(records[0]->Tag().GetText(kFrameTRCK), u"1");
    EXPECT_EQ(records[1]->Tag().GetText(kFrameTRCK), u"2");
    EXPECT_EQ(records[2]->Tag().GetText(kFrameTRCK), u"3");
    EXPECT_EQ(counter.Caption(), u"Track 4");
    EXPECT_EQ(listener_.events, (std::vector<std::string>{"file:x", "file:y", "file:z"}));

    // A refused click takes no number.
    listener_.events.clear();
    EXPECT_FALSE(NumberTrack(BusyContext(records[1]), records[1], counter));
    ExpectRefused();
    EXPECT_EQ(counter.Caption(), u"Track 4");
}

TEST_F(Cleanup, EveryToolIsRefusedWhileASaveCoversAFile) {
    using Tool = std::function<bool(const EditContext&, std::span<const RecordPtr>)>;
    const std::pair<const char*, Tool> tools[] = {
        {"capitalize", CapitalizeFields},
        {"underscores", ConvertUnderscoreFields},
        {"copy", [](const EditContext& c, std::span<const RecordPtr> r) { return !CopyFieldsFromV1(c, r).refused; }},
    };
    for (const auto& [name, tool] : tools) {
        RecordingPrompts prompts;
        RecordingListener listener;
        const std::vector<RecordPtr> records = {MemoryRecord({{kFrameTIT2, u"a_b"}}),
                                                MemoryRecord({{kFrameTIT2, u"c_d"}})};
        records[0]->Tag().V1().SetString(Id3v1Record::kTitle, u"from v1");
        const BusyGate gate(records[1]);
        EXPECT_FALSE(tool(EditContext{gate, prompts, listener}, records)) << name;
        EXPECT_EQ(prompts.Count(), 1u) << name;
        EXPECT_TRUE(listener.events.empty()) << name;
        EXPECT_EQ(records[0]->Tag().GetText(kFrameTIT2), u"a_b") << name;
    }
}

}  // namespace
}  // namespace quorvane::test
