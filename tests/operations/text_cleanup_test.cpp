// The clean-up tools' text rules: Capitalize, Convert _ to Space, the "Track #" counter.
#include <gtest/gtest.h>

#include "operations/text_cleanup.h"
#include "platform/text_codec.h"

namespace quorvane {
namespace {

struct Case {
    const char* in;  // UTF-8
    const char* out;
};

TEST(Capitalize, RaisesTheFirstLetterOfEachWordOnly) {
    const Case cases[] = {
        {"the rolling stones", "The Rolling Stones"},
        {"hip-hop_mix", "Hip-Hop_Mix"},
        {"mcDONALD", "McDONALD"},                    // nothing is lowered
        {"(live) version", "(live) Version"},        // a bracket neither starts a word nor is raised
        {"rock'n'roll o'neil", "Rock'n'roll O'neil"},  // apostrophes do not start words
        {"2pac the 4th", "2pac The 4th"},             // nor do digits
        {"a  b__c--d", "A  B__C--D"},
        {" leading blank", " Leading Blank"},
        {"_x", "_X"},
        {"", ""},
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
}

TEST(Capitalize, LeavesSurrogatesWhole) {
    // U+1D4B6 and U+1D4B7 (mathematical script a and b, letters without case) and an emoji
    // after word starts, then lone surrogates: every code unit comes back unchanged.
    const std::u16string pairs = u"\U0001D4B6bc \U0001D4B7x_\U0001F600y";
    EXPECT_EQ(Capitalize(pairs), u"\U0001D4B6bc \U0001D4B7x_\U0001F600y");
    const std::u16string lone = {u'a', 0xD835, u' ', u'b', 0xDC00, u'-', u'c'};
    EXPECT_EQ(Capitalize(lone), (std::u16string{u'A', 0xD835, u' ', u'B', 0xDC00, u'-', u'C'}));
}

TEST(ConvertUnderscores, EachUnderscoreBecomesOneBlank) {
    const Case cases[] = {
        {"Some_Title__X", "Some Title  X"}, {"_", " "}, {"no change", "no change"}, {"", ""},
        {"\xef\xbc\xbf", "\xef\xbc\xbf"},  // a fullwidth low line is not an underscore
    };
    for (const Case& c : cases) EXPECT_EQ(U8(ConvertUnderscores(U16(c.in))), c.out) << c.in;
}

TEST(TrackCounter, NumbersClicksWhileDown) {
    TrackCounter counter;
    EXPECT_EQ(counter.Caption(), u"Track #");
    EXPECT_FALSE(counter.TakeNumber());
    counter.Press();
    EXPECT_EQ(counter.Caption(), u"Track 1");
    EXPECT_EQ(counter.TakeNumber(), u"1");
    EXPECT_EQ(counter.TakeNumber(), u"2");
    EXPECT_EQ(counter.TakeNumber(), u"3");
    EXPECT_EQ(counter.Caption(), u"Track 4");
    counter.Release();
    EXPECT_EQ(counter.Caption(), u"Track #");
    EXPECT_FALSE(counter.TakeNumber());
    counter.Press();  // starts again at 1
    EXPECT_EQ(counter.TakeNumber(), u"1");
}

}  // namespace
}  // namespace quorvane
