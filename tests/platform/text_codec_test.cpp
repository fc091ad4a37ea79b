// Text conversions and character classes.
#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/test_support.h"

namespace quorvane {
namespace {

// Each side of each change in the length of a UTF-8 sequence, and of the surrogate range.
TEST(Utf8, BoundariesAreExactAndInvalidSequencesAreRejectedReplacedOrKeptAsBytes) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"\u007F", "\x7F"},           {u"\u0080", "\xC2\x80"},         {u"\u07FF", "\xDF\xBF"},
        {u"\u0800", "\xE0\xA0\x80"},   {u"\uD7FF", "\xED\x9F\xBF"},     {u"\uE000", "\xEE\x80\x80"},
        {u"\uFFFF", "\xEF\xBF\xBF"},   {u"\U00010000", "\xF0\x90\x80\x80"}, {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& [text, bytes] : cases) {
        // Alone, and behind a character that ends the all-ASCII start.
        for (const std::u16string prefix : {u"", u"é"}) {
            const std::string utf8 = (prefix.empty() ? "" : "\xC3\xA9") + bytes;
            SCOPED_TRACE(testing::Message() << std::hex << int(text[0]) << (prefix.empty() ? "" : " after é"));
            EXPECT_EQ(Utf16ToUtf8(prefix + text), utf8);
            EXPECT_EQ(Utf8ToUtf16Strict(utf8), prefix + text);
            EXPECT_EQ(Utf8ToUtf16Lossy(utf8), prefix + text);
            EXPECT_EQ(PathFromNative(utf8), prefix + text);
            EXPECT_EQ(PathToNative(prefix + text), utf8);
        }
    }

    const char* invalid[] = {
        "\xC1\xBF",          // U+007F overlong
        "\xE0\x9F\xBF",      // U+07FF overlong
        "\xF0\x8F\xBF\xBF",  // U+FFFF overlong
        "\xED\xA0\x80",      // a surrogate
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xE0\xA0",          // cut short
        "\x80",              // a lone continuation byte
        "\xFF",
    };
    for (const std::string bytes : invalid) {
        EXPECT_FALSE(Utf8ToUtf16Strict("a" + bytes).has_value()) << bytes;
        EXPECT_EQ(Utf8ToUtf16Lossy("a" + bytes), u"a" + std::u16string(bytes.size(), u'\uFFFD')) << bytes;
        EXPECT_EQ(PathToNative(PathFromNative(bytes)), bytes);  // file names survive as bytes
    }
    std::u16string lone = u"x";
    lone.push_back(0xDC00);
    EXPECT_EQ(Utf16ToUtf8(lone), "x\xEF\xBF\xBD");
    EXPECT_EQ(PathFromNative("caf\xE9.mp3")[3], 0xDC00 + 0xE9);
}

TEST(CodePage, Windows1252IsTheSystemDefaultAndAnyEightBitOneCanBeNamed) {
    if (std::getenv("QUORVANE_CODEPAGE")) GTEST_SKIP() << "another code page is configured";
    EXPECT_EQ(CodePageName(), "CP1252");
    EXPECT_EQ(FromCodePage("\x7F\x80\x81\x9F\xA0\xFF"), u"\u007F\u20AC\u0081\u0178\u00A0\u00FF");
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(ToCodePage(FromCodePage(all)), all);
    // What the code page cannot hold becomes one '?' a character, a surrogate pair included.
    EXPECT_EQ(ToCodePage(u"\u0100\U0001F3B5!"), "?" "?!");
    EXPECT_FALSE(CodePage::System().CanEncode(u"a\u0100"));
    EXPECT_TRUE(CodePage::System().CanEncode(u"a\u20AC"));

    // Any other 8-bit code page by name.
    const CodePage cp1251("CP1251");
    EXPECT_EQ(cp1251.Name(), "CP1251");
    EXPECT_EQ(cp1251.Decode("\xCF\xF0\xE8\xE2\xE5\xF2"), u"Привет");
    EXPECT_EQ(cp1251.Encode(u"Привет é"), "\xCF\xF0\xE8\xE2\xE5\xF2 ?");
    EXPECT_TRUE(cp1251.CanEncode(u"Ёё"));
    // Unknown names and code pages of more than one byte a character give Windows-1252.
    for (const char* name : {"NO-SUCH-PAGE", "UTF-8", ""}) EXPECT_EQ(CodePage(name).Name(), "CP1252") << name;
}

// The system code page is fixed for the life of a process: the test runs itself again
// in a child process with the variable set, where it checks the code page.
TEST(CodePage, TheSystemOneComesFromTheEnvironment) {
    if (const char* env = std::getenv("QUORVANE_CODEPAGE"); env && std::string(env) == "CP1251") {
        EXPECT_EQ(CodePageName(), "CP1251");
        EXPECT_EQ(FromCodePage("\xCF\xF0\xE8\xE2\xE5\xF2"), u"Привет");
        return;
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const auto r = test::RunCommand(
        {"env", "QUORVANE_CODEPAGE=CP1251", self, "--gtest_filter=CodePage.TheSystemOneComesFromTheEnvironment"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << r.out;
}

TEST(Characters, CaseAndClassesCoverMoreThanAscii) {
    EXPECT_EQ(ToLower(u"ÄBC Ünïcode ΣΑΣ"), u"äbc ünïcode σασ");
    EXPECT_EQ(ToUpper(u"straße"), u"STRAßE");  // one unit stays one unit
    EXPECT_TRUE(EqualsIgnoreCase(u"Rock & Roll", u"rOCK & rOLL"));
    EXPECT_FALSE(EqualsIgnoreCase(u"Rock", u"Rocks"));
    for (char16_t c : {u'é', u'日'}) EXPECT_TRUE(IsLetterChar(c));
    EXPECT_FALSE(IsLetterChar(u'_'));
    for (char16_t c : {u'7', u'\u0663', u'\uFF19'}) EXPECT_TRUE(IsDigitChar(c)) << int(c);
    for (char16_t c : {u'x', u'\u065F', u'\uFF1A'}) EXPECT_FALSE(IsDigitChar(c)) << int(c);
    for (char16_t c : {u'\t', u'\u00A0', u'\u0085', u'\u3000'}) EXPECT_TRUE(IsWhiteSpaceChar(c)) << int(c);
    EXPECT_FALSE(IsWhiteSpaceChar(u'a'));
}

}  // namespace
}  // namespace quorvane
