#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/test_support.h"

namespace quorvane {
namespace {

TEST(Utf8, RoundTripsEveryPlaneAndRejectsInvalidBytes) {
    const std::u16string text = u"a\u00e9\u65e5\U0001F3B5z";
    EXPECT_EQ(Utf16ToUtf8(text), "a\xc3\xa9\xe6\x97\xa5\xf0\x9f\x8e\xb5z");
    EXPECT_EQ(Utf8ToUtf16Strict(Utf16ToUtf8(text)), text);
    for (const char* bad : {"\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xc3", "\x80", "\xff"}) {
        EXPECT_FALSE(Utf8ToUtf16Strict(bad).has_value()) << bad;
    }
    EXPECT_EQ(Utf8ToUtf16Lossy("a\xffz"), u"a\ufffdz");
    std::u16string lone = u"x";
    lone.push_back(0xDC00);
    EXPECT_EQ(Utf16ToUtf8(lone), "x\xef\xbf\xbd");
}

TEST(CodePage, Windows1252IsTheDefaultAndEveryByteRoundTrips) {
    if (std::getenv("QUORVANE_CODEPAGE")) GTEST_SKIP() << "another code page is configured";
    EXPECT_EQ(CodePageName(), "CP1252");
    EXPECT_EQ(FromCodePage("\x80\xe9\x9f"), u"\u20ac\u00e9\u0178");
    EXPECT_EQ(ToCodePage(u"\u20ac\u00e9\u0178"), "\x80\xe9\x9f");
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(ToCodePage(FromCodePage(all)), all);
    // What the code page cannot hold becomes '?', one per character.
    EXPECT_EQ(ToCodePage(u"\u65e5\U0001F3B5!"), "?" "?!");
}

// Run by the test below in a child process with QUORVANE_CODEPAGE=CP1251, since the
// code page is fixed for the life of a process.
TEST(CodePageChild, Cp1251FromTheEnvironment) {
    const char* env = std::getenv("QUORVANE_CODEPAGE");
    if (!env || std::string(env) != "CP1251") GTEST_SKIP() << "run by AnotherCodePageComesFromTheEnvironment";
    EXPECT_EQ(CodePageName(), "CP1251");
    EXPECT_EQ(FromCodePage("\xcf\xf0\xe8\xe2\xe5\xf2"), u"\u041f\u0440\u0438\u0432\u0435\u0442");
    EXPECT_EQ(ToCodePage(u"\u041f\u0440\u0438\u0432\u0435\u0442 \u00e9"), "\xcf\xf0\xe8\xe2\xe5\xf2 ?");
}

TEST(CodePage, AnotherCodePageComesFromTheEnvironment) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const auto r = test::RunCommand({"env", "QUORVANE_CODEPAGE=CP1251", self,
                                     "--gtest_filter=CodePageChild.*"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << r.out;
}

TEST(Paths, NamesThatAreNotUtf8SurviveTheRoundTrip) {
    const std::string raw = "caf\xe9 \xff\xfe.mp3";  // Latin-1 bytes on disk
    const std::u16string name = PathFromNative(raw);
    EXPECT_EQ(name.substr(0, 3), u"caf");
    EXPECT_EQ(name[3], 0xDC00 + 0xE9);
    EXPECT_EQ(PathToNative(name), raw);
    const std::string utf8 = "Bj\xc3\xb6rk/\xe6\x97\xa5.mp3";
    EXPECT_EQ(PathFromNative(utf8), u"Bj\u00f6rk/\u65e5.mp3");
    EXPECT_EQ(PathToNative(PathFromNative(utf8)), utf8);
    // A valid UTF-8 encoding of a surrogate is not valid UTF-8: kept as three bytes.
    EXPECT_EQ(PathToNative(PathFromNative("\xed\xb2\x80")), "\xed\xb2\x80");
}

TEST(Characters, CaseAndClassesCoverMoreThanAscii) {
    EXPECT_EQ(ToLower(u"ÄBC Ünïcode ΣΑΣ"), u"äbc ünïcode σασ");
    EXPECT_EQ(ToUpper(u"straße"), u"STRAßE");  // one unit stays one unit
    EXPECT_TRUE(EqualsIgnoreCase(u"Rock & Roll", u"rOCK & rOLL"));
    EXPECT_FALSE(EqualsIgnoreCase(u"Rock", u"Rocks"));
    EXPECT_TRUE(IsLetterChar(u'é'));
    EXPECT_TRUE(IsLetterChar(u'日'));
    EXPECT_FALSE(IsLetterChar(u'_'));
    EXPECT_TRUE(IsDigitChar(u'7'));
    EXPECT_TRUE(IsDigitChar(u'\u0663'));  // ARABIC-INDIC DIGIT THREE
    EXPECT_FALSE(IsDigitChar(u'x'));
    EXPECT_TRUE(IsWhiteSpaceChar(u'\t'));
    EXPECT_TRUE(IsWhiteSpaceChar(u'\u00a0'));
    EXPECT_FALSE(IsWhiteSpaceChar(u'a'));
}

}  // namespace
}  // namespace quorvane
