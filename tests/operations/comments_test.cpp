// The comments tab: the shared list, the dialog's values, add/edit/delete of a picked
// comment (also with two comments of one short description), delete all, and the
// language a user names.
#include "operations/comment_edit.h"
#include "operations/languages.h"
#include "operations/edit_test_support.h"

namespace quorvane::test {
namespace {

struct Comment {
    std::string language;
    std::u16string description;
    std::u16string text;
    bool operator==(const Comment&) const = default;
};
using Comments = std::vector<Comment>;

void PrintTo(const Comment& c, std::ostream* out) {
    *out << c.language << " \"" << U8(c.description) << "\" \"" << U8(c.text) << "\"";
}

RecordPtr WithComments(const Comments& comments, std::u16string name = u"a.mp3") {
    RecordPtr record = MemoryRecord({{kFrameTIT2, u"t"}}, std::move(name));
    for (const Comment& c : comments) record->Tag().AddFrame(MakeCommentFrame(c.language, c.description, c.text));
    record->Tag().ClearChanged();
    return record;
}

Comments CommentsOf(const RecordPtr& record) {
    Comments comments;
    for (const auto& frame : record->Tag().Frames()) {
        if (frame->Id() != kFrameCOMM) continue;
        comments.push_back({frame->Ascii(FieldRole::Language)->Value(), frame->Text(FieldRole::Description)->Text(),
                            frame->Text(FieldRole::Text)->Text()});
    }
    return comments;
}

std::vector<std::u16string> ListedTexts(std::span<const RecordPtr> records) {
    std::vector<std::u16string> texts;
    for (const ListedComment& c : SharedComments(records)) texts.push_back(c.text);
    return texts;
}

class Comments_ : public EditTest {};

TEST_F(Comments_, ListHoldsTheCommentsEveryFileHas) {
    const Comments shared = {{"eng", u"note", u"hi"}, {"XXX", u"", u"odd"}};
    const std::vector<RecordPtr> records = {
        WithComments({shared[0], {"eng", u"only here", u"x"}, shared[1], {"eng", u"note", u"other"}}),
        WithComments({shared[1], {"deu", u"note", u"hi"}, shared[0]})};
    const std::vector<ListedComment> list = SharedComments(records);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], (ListedComment{0, "eng", u"English", u"note", u"hi"}));
    EXPECT_EQ(list[1], (ListedComment{2, "XXX", u"", u"", u"odd"}));  // a code not in the table has no name
    EXPECT_EQ(InitialCommentValues(records, &list[1]), (CommentDialogValues{u"", u"English", u"odd"}));
    EXPECT_TRUE(SharedComments({}).empty());
    EXPECT_EQ(SharedComments(std::vector{records[0]}).size(), 4u);
}

TEST_F(Comments_, AddOpensWithTheFirstFilesCommentAndSetsItEverywhere) {
    const std::vector<RecordPtr> records = {WithComments({{"eng", u"", u"a"}}), WithComments({{"eng", u"", u"b"}})};
    EXPECT_TRUE(SharedComments(records).empty());
    const CommentDialogValues values = InitialCommentValues(records, nullptr);
    EXPECT_EQ(values, (CommentDialogValues{u"", u"English", u"a"}));
    ASSERT_TRUE(SaveComment(Context(), records, {values.description, "eng", u"c"}));
    for (const RecordPtr& record : records) EXPECT_EQ(CommentsOf(record), (Comments{{"eng", u"", u"c"}}));
    EXPECT_EQ(listener_.events, std::vector<std::string>{"selection"});

    const std::vector<RecordPtr> bare = {WithComments({})};
    EXPECT_EQ(InitialCommentValues(bare, nullptr), (CommentDialogValues{u"", u"English", u""}));
    EXPECT_EQ(InitialCommentValues({}, nullptr), (CommentDialogValues{u"", u"English", u""}));
}

TEST_F(Comments_, ALanguageThatIsNoCodeKeepsTheCommentsOwn) {
    const struct {
        std::string chosen;    // the code of the chosen name ("" for the empty first item)
        std::string existing;  // "" when the file has no comment
        std::string stored;
    } cases[] = {
        {"", "deu", "deu"}, {"", "XXX", "XXX"}, {"de", "deu", "deu"}, {"engl", "fra", "fra"},
        {"", "", "eng"},    {"de", "", "eng"},  {"fre", "deu", "fre"}, {"alb", "", "alb"},
    };
    for (const auto& c : cases) {
        const RecordPtr record =
            c.existing.empty() ? WithComments({}) : WithComments({{c.existing, u"d", u"old"}});
        ASSERT_TRUE(SaveComment(Context(), std::vector{record}, {u"d", c.chosen, u"new"}));
        EXPECT_EQ(CommentsOf(record), (Comments{{c.stored, u"d", u"new"}})) << c.chosen << "/" << c.existing;
    }
    EXPECT_EQ(LanguageCodeForName(u"Albanian"), "alb");
    EXPECT_EQ(LanguageCodeForName(u""), "");
}

TEST_F(Comments_, EditAndDeleteFindALongDescriptionWhole) {
    const std::u16string longText(300, u'd');
    const std::u16string prefix(255, u'd');
    const std::vector<RecordPtr> records = {WithComments({{"eng", prefix, u"short one"}, {"eng", longText, u"a"}}),
                                            WithComments({{"eng", longText, u"a"}})};
    const std::vector<ListedComment> list = SharedComments(records);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].description, longText);
    EXPECT_EQ(InitialCommentValues(records, &list[0]).description, longText);

    ASSERT_TRUE(SaveComment(Context(), records, {longText, "eng", u"b"}, &list[0]));
    EXPECT_EQ(CommentsOf(records[0]), (Comments{{"eng", prefix, u"short one"}, {"eng", longText, u"b"}}));
    EXPECT_EQ(CommentsOf(records[1]), (Comments{{"eng", longText, u"b"}}));

    ASSERT_TRUE(DeleteComment(Context(), records, SharedComments(records).at(0)));
    EXPECT_EQ(CommentsOf(records[0]), (Comments{{"eng", prefix, u"short one"}}));
    EXPECT_TRUE(CommentsOf(records[1]).empty());
}

TEST_F(Comments_, EditAndDeleteActOnThePickedOfTwoWithOneDescription) {
    const Comment english{"eng", u"", u"a"};
    const Comment german{"deu", u"", u"b"};
    const std::vector<RecordPtr> records = {WithComments({english, german}, u"one"),
                                            WithComments({german, english}, u"two")};  // the other order
    const std::vector<ListedComment> list = SharedComments(records);
    ASSERT_EQ(list.size(), 2u);
    ASSERT_EQ(list[1].language, "deu");
    EXPECT_EQ(InitialCommentValues(records, &list[1]), (CommentDialogValues{u"", u"German", u"b"}));

    // The user picks the German row and makes it French.
    ASSERT_TRUE(SaveComment(Context(), records, {u"", "fre", u"z"}, &list[1]));
    EXPECT_EQ(CommentsOf(records[0]), (Comments{english, {"fre", u"", u"z"}}));
    EXPECT_EQ(CommentsOf(records[1]), (Comments{{"fre", u"", u"z"}, english}));

    const std::vector<ListedComment> now = SharedComments(records);
    ASSERT_EQ(now.size(), 2u);
    ASSERT_TRUE(DeleteComment(Context(), records, now[1]));
    EXPECT_EQ(CommentsOf(records[0]), Comments{english});
    EXPECT_EQ(CommentsOf(records[1]), Comments{english});
}

TEST_F(Comments_, ThePickedPositionTellsEqualCommentsApartInTheFirstFile) {
    const Comment same{"eng", u"x", u"dup"};
    const RecordPtr record = WithComments({same, {"eng", u"y", u"between"}, same});
    const std::vector<ListedComment> list = SharedComments(std::vector{record});
    ASSERT_EQ(list.size(), 3u);
    ASSERT_TRUE(SaveComment(Context(), std::vector{record}, {u"x", "eng", u"second"}, &list[2]));
    EXPECT_EQ(CommentsOf(record), (Comments{same, {"eng", u"y", u"between"}, {"eng", u"x", u"second"}}));
    // A stale row (the frame changed since) is found by its content elsewhere, or not at all.
    EXPECT_EQ(FindListedComment(record->Tag(), list[2], true), FindListedComment(record->Tag(), list[0], true));
    EXPECT_EQ(FindListedComment(record->Tag(), list[0], true), record->Tag().FindFrame(kFrameCOMM));
    EXPECT_EQ(FindListedComment(record->Tag(), ListedComment{1, "eng", u"", u"y", u"gone"}, true), nullptr);
}

TEST_F(Comments_, EditFallsBackToTheDescriptionAndANewDescriptionAdds) {
    const std::vector<RecordPtr> records = {WithComments({{"eng", u"n", u"old"}}),
                                            WithComments({{"eng", u"n", u"old"}, {"fra", u"n", u"vieux"}})};
    const std::vector<ListedComment> list = SharedComments(records);
    ASSERT_EQ(list.size(), 1u);
    // A changed short description adds a comment; the old one stays.
    ASSERT_TRUE(SaveComment(Context(), records, {u"m", "eng", u"new"}, &list[0]));
    EXPECT_EQ(CommentsOf(records[0]), (Comments{{"eng", u"n", u"old"}, {"eng", u"m", u"new"}}));

    // Without a pick, the comment in the chosen language goes first; "ger" is German too.
    const RecordPtr german = WithComments({{"eng", u"", u"e"}, {"deu", u"", u"d"}});
    ASSERT_TRUE(SaveComment(Context(), std::vector{german}, {u"", "ger", u"neu"}));
    EXPECT_EQ(CommentsOf(german), (Comments{{"eng", u"", u"e"}, {"ger", u"", u"neu"}}));
    ASSERT_TRUE(SaveComment(Context(), std::vector{records[1]}, {u"n", "fre", u"nouveau"}));
    EXPECT_EQ(CommentsOf(records[1]),
              (Comments{{"eng", u"n", u"old"}, {"fre", u"n", u"nouveau"}, {"eng", u"m", u"new"}}));
}

TEST_F(Comments_, DeleteAllTakesUnlistedCommentsToo) {
    const std::vector<RecordPtr> records = {WithComments({{"eng", u"a", u"1"}}),
                                            WithComments({{"eng", u"b", u"2"}, {"deu", u"", u"3"}}),
                                            WithComments({})};
    records[2]->Tag().AddFrame(std::make_unique<Id3Frame>(kFrameCOMM, 0, FrameFamily::Raw));  // kept as read
    EXPECT_TRUE(ListedTexts(records).empty());
    ASSERT_TRUE(DeleteAllComments(Context(), records));
    for (const RecordPtr& record : records) EXPECT_FALSE(record->Tag().FindFrame(kFrameCOMM));
    EXPECT_EQ(records[0]->Tag().GetText(kFrameTIT2), u"t");
}

TEST_F(Comments_, DeleteByDescriptionNeverGuessesBetweenTwo) {
    const std::vector<RecordPtr> records = {WithComments({{"eng", u"", u"a"}, {"deu", u"", u"b"}}, u"two"),
                                            WithComments({{"eng", u"", u"c"}, {"eng", u"x", u"d"}}, u"one"),
                                            WithComments({{"eng", u"x", u"e"}}, u"none")};
    ASSERT_TRUE(DeleteCommentByDescription(Context(), records, u""));
    EXPECT_EQ(CommentsOf(records[0]).size(), 2u);
    EXPECT_EQ(CommentsOf(records[1]), (Comments{{"eng", u"x", u"d"}}));
    EXPECT_EQ(CommentsOf(records[2]), (Comments{{"eng", u"x", u"e"}}));
    ASSERT_EQ(prompts_.Count(), 1u);
    EXPECT_NE(prompts_.Prompts()[0].text.find(u"/music/two\""), std::u16string::npos);

    const std::vector<std::string> german = FindLanguageCodes("German");
    ASSERT_TRUE(DeleteCommentByDescription(Context(), records, u"", german));
    EXPECT_EQ(CommentsOf(records[0]), (Comments{{"eng", u"", u"a"}}));
    EXPECT_EQ(prompts_.Count(), 1u);
}

TEST(LanguageWords, CodesAndNamesAsUsersTypeThem) {
    const struct {
        const char* word;
        std::vector<std::string> codes;
    } cases[] = {
        {"eng", {"eng"}},     {"ENG", {"eng"}},   {"English", {"eng"}}, {"english", {"eng"}},
        {"German", {"ger", "deu"}}, {"deu", {"deu"}}, {"Albanian", {"alb", "sqi"}}, {"Ido", {"ido"}},
        {"Flemish", {"dut", "nld"}}, {"xx", {}},         {"XXX", {}},          {"", {}}, {"Englis", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindLanguageCodes(c.word), c.codes) << c.word;
        EXPECT_EQ(FindLanguageCode(c.word), c.codes.empty() ? std::nullopt : std::optional(c.codes[0])) << c.word;
    }
}

TEST_F(Comments_, RefusedWhileSaving) {
    const std::vector<RecordPtr> records = {WithComments({{"eng", u"", u"a"}})};
    const ListedComment picked = SharedComments(records).at(0);
    EXPECT_FALSE(SaveComment(BusyContext(records[0]), records, {u"", "eng", u"b"}, &picked));
    EXPECT_FALSE(DeleteComment(BusyContext(records[0]), records, picked));
    EXPECT_FALSE(DeleteAllComments(BusyContext(records[0]), records));
    EXPECT_FALSE(DeleteCommentByDescription(BusyContext(records[0]), records, u""));
    EXPECT_EQ(prompts_.Count(), 4u);
    EXPECT_TRUE(listener_.events.empty());
    EXPECT_EQ(CommentsOf(records[0]), (Comments{{"eng", u"", u"a"}}));
}

}  // namespace
}  // namespace quorvane::test
