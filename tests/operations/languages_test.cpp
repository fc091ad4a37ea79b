// The comment-language table: its shape, the lookups both ways, the dialog's list, and
// that the committed table is what the generator makes from the installed data.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "operations/languages.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

using Names = std::vector<std::u16string_view>;

TEST(LanguageTable, ShapeAndLookups) {
    const auto table = LanguageTable();
    // The empty entry, 486 codes, 77 alternative names, and 23 entries for the
    // bibliographic codes of 20 languages (Dutch and Romanian have several names).
    ASSERT_EQ(table.size(), 587u);
    EXPECT_TRUE(table[0].code.empty() && table[0].name.empty());
    EXPECT_EQ(table[1].name, u"Abkhazian");
    EXPECT_EQ(table.back().name, u"Zuni");
    for (size_t i = 1; i < table.size(); ++i) EXPECT_TRUE(IsLanguageCode(table[i].code)) << table[i].code;

    // Name to code: the first entry, so the bibliographic code, even where the
    // terminology code sorts first (cze before ces); names match exactly.
    const std::pair<std::u16string_view, std::string_view> byName[] = {
        {u"English", "eng"}, {u"Albanian", "alb"}, {u"Czech", "cze"}, {u"Adygei", "ady"}, {u"Adyghe", "ady"},
        {u"Flemish", "dut"}, {u"Bokm\u00e5l, Norwegian", "nob"}, {u"", ""}, {u"english", ""}, {u"Albanian ", ""},
    };
    for (const auto& [name, code] : byName) EXPECT_EQ(LanguageCodeForName(name), code) << U8(name);

    const std::pair<std::string_view, std::u16string_view> byCode[] = {
        {"alb", u"Albanian"}, {"sqi", u"Albanian"}, {"ces", u"Czech"}, {"ady", u"Adygei"},
        {"", u""}, {"ENG", u""}, {"XXX", u""},
    };
    for (const auto& [code, name] : byCode) EXPECT_EQ(LanguageNameForCode(code), name) << code;
    EXPECT_EQ(LanguageNamesForCode("nld"), (Names{u"Dutch", u"Flemish"}));
    EXPECT_EQ(LanguageNamesForCode("ron"), (Names{u"Moldavian", u"Moldovan", u"Romanian"}));
    EXPECT_TRUE(LanguageNamesForCode("qaa-qtz").empty());
}

TEST(LanguageTable, DialogNameAndCodeForm) {
    for (std::string_view code : {"", "XXX", "de", "germ", "GER"}) EXPECT_EQ(InitialLanguageName(code), u"English") << code;
    EXPECT_EQ(InitialLanguageName("deu"), u"German");
    for (std::string_view code : {"eng", "ENG", "Xyz"}) EXPECT_TRUE(IsLanguageCode(code)) << code;
    for (std::string_view code : {"", "en", "engl", "en ", "e1g", "\xc3\xa9n", "@ng", "[ng", "`ng", "{ng"})
        EXPECT_FALSE(IsLanguageCode(code)) << code;
}

TEST(LanguageTable, ListIsSortedIgnoringCaseAndAccents) {
    const Names names = LanguageListNames();
    ASSERT_EQ(names.size(), LanguageTable().size());
    const auto key = [](std::u16string_view name) {
        std::u16string k;
        for (char16_t c : name) k.push_back(c == 0xE5 ? u'a' : c == 0xE7 ? u'c' : c == 0xFC ? u'u' : ToLowerChar(c));
        return k;
    };
    for (size_t i = 1; i < names.size(); ++i) {
        EXPECT_LE(key(names[i - 1]), key(names[i])) << U8(names[i - 1]) << " / " << U8(names[i]);
        for (char16_t c : names[i]) EXPECT_TRUE(c < 0x80 || c == 0xE5 || c == 0xE7 || c == 0xFC) << U8(names[i]);
    }
    const auto at = [&](std::u16string_view n) { return std::find(names.begin(), names.end(), n) - names.begin(); };
    EXPECT_EQ(names[at(u"Albanian") + 1], u"Albanian");  // one item per code
    EXPECT_EQ(at(u"Bokm\u00e5l, Norwegian") + 1, at(u"Bosnian"));
    EXPECT_EQ(at(u"tlhIngan-Hol") + 1, at(u"Tlingit"));
}

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(LanguageTable, CommittedTableIsTheGeneratorsOutput) {
    const test::TempDir dir;
    const std::filesystem::path source = std::filesystem::path(QUORVANE_SOURCE_DIR) / "src/operations";
    const auto result = test::RunCommand(
        {test::PythonPath(), (source / "make_languages.py").string(), "--output", (dir / "table.inc").string()});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string committed = ReadText(source / "language_table.inc");
    ASSERT_FALSE(committed.empty());
    EXPECT_TRUE(ReadText(dir / "table.inc") == committed) << "language_table.inc is out of date: run make_languages.py";
}

}  // namespace
}  // namespace quorvane
