// The clean-up tools: the text rules of Capitalize and Convert _ to Space, the tools on
// records (Copy from ID3v1, Capitalize, Convert _ to Space, "Track #"), and the refusal
// of every operation while a save covers one of its files.
#include <functional>

#include "operations/comment_edit.h"
#include "operations/copy_from_v1.h"
#include "operations/operations_test_support.h"
#include "operations/text_cleanup.h"
#include "operations/text_fields.h"
#include "operations/track_numbering.h"
#include "operations/v1_pane.h"
#include "operations/v2_pane.h"

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

TEST_F(Cleanup, CopyFromV1SkipsFilesWithoutAnId3v1Tag) {
    const struct {
        uint8_t genre, track;
        const char16_t *tcon, *trck;
    } cases[] = {{255, 0, u"", u"3"}, {17, 7, u"(17)", u"7"}, {125, 255, u"(125)", u"255"}, {126, 1, u"", u"1"}};
    for (const auto& c : cases) {
        Id3v1Record v1;
        v1.SetString(Id3v1Record::kTitle, u"  Title\t");
        v1.SetGenre(c.genre);
        v1.SetTrack(c.track);
        const RecordPtr withV1 = RecordWithV1(dir_ / "v1", v1, prompts_);
        withV1->Tag().SetText(kFrameTRCK, u"3");
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
        EXPECT_EQ(tag.GetText(kFrameTIT2), u"Title");
        EXPECT_EQ(tag.GetText(kFrameTCON), c.tcon) << int(c.genre);
        EXPECT_EQ(tag.GetText(kFrameTRCK), c.trck) << int(c.track);
    }
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

}  // namespace
}  // namespace quorvane::test
